#include "interaction/editor_hints.h"

#include "document/pattern.h"
#include "platform/text_format.h"

namespace {

constexpr const char* kDot = " \xC2\xB7 ";  // a middle dot between the gestures

}  // namespace

std::string KneeFlagsText(uint8_t flags)
{
    std::string text;
    if (flags & KNEE_REVERSE)
        text = "reverse";
    if (flags & KNEE_MIRROR)
        text += text.empty() ? "mirror" : ", mirror";
    if (text.empty())
        text = "forward";
    if (flags & KNEE_HIDE)
        text += ", hidden";
    if (flags & KNEE_STATIC)
        text += ", static";
    return text;
}

std::string EditorHintText(const CPattern& pattern, uint8_t hitKind, int32_t hitIndex)
{
    const int32_t n = pattern.m_count;
    if (n < PATTERN_MIN_SEGMENTS || n > PATTERN_MAX_SEGMENTS)
        return std::string();
    if (hitKind == HIT_POINT && hitIndex >= 0 && hitIndex <= n) {
        std::string text = "Point " + FormatInt(hitIndex) + ": drag to move";
        if (n > PATTERN_MIN_SEGMENTS)
            text += std::string(kDot) + "Ctrl+click removes";
        return text + kDot + "right-click for more";
    }
    if (hitKind == HIT_KNEE && hitIndex >= 0 && hitIndex < n) {
        const uint8_t flags = pattern.m_kneeFlags[hitIndex];
        return "Knee " + FormatInt(hitIndex) + " (" + KneeFlagsText(flags) + "): click steps the direction" + kDot +
               ((flags & KNEE_HIDE) ? "Shift+click shows" : "Shift+click hides") + kDot + "right-click for more";
    }
    std::string text;
    if (n >= PATTERN_MAX_SEGMENTS)
        text = "The pattern has its most segments (" + FormatInt(PATTERN_MAX_SEGMENTS) + ")";
    else if (hitIndex < 0)
        text = "Ctrl+click adds a point before point 0";
    else if (hitIndex >= n)
        text = "Ctrl+click adds a point after point " + FormatInt(n);
    else
        text = "Ctrl+click adds a point to segment " + FormatInt(hitIndex);
    return text;
}
