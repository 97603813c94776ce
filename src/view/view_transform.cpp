#include "view/view_transform.h"

#include <algorithm>
#include <cmath>

#include "document/pattern.h"
#include "platform/archive.h"
#include "platform/text_format.h"

PointF CViewTransform::s_panOrigin{0.0f, 0.0f};
PointF CViewTransform::s_panAnchor{0.0f, 0.0f};

void CViewTransform::Reset()
{
    m_origin = PointF{0.0f, 0.0f};
    m_scale = 1.0f;
}

PointF CViewTransform::ScreenToWorld(int32_t px, int32_t py) const
{
    float k = 1.0f / m_scale;
    float x = static_cast<float>(px - m_center.x) * k + m_origin.x;
    float y = m_flipY ? m_origin.y + k * static_cast<float>(py - m_center.y)
                      : m_origin.y + k * static_cast<float>(m_center.y - py);
    return PointF{x, y};
}

void CViewTransform::Pan(POINT pointer, bool start)
{
    if (start) {
        s_panOrigin = m_origin;
        s_panAnchor = ScreenToWorld(pointer);
        return;
    }
    m_origin = s_panOrigin;
    PointF w = ScreenToWorld(pointer);
    m_origin.x = s_panOrigin.x - (w.x - s_panAnchor.x);
    m_origin.y = s_panOrigin.y - (w.y - s_panAnchor.y);
}

void CViewTransform::ZoomAt(float x, float y, float notches)
{
    float f = std::exp(0.1f * notches);
    float scale = m_scale * f;
    if (!std::isfinite(f) || !(scale >= kMinScale && scale <= kMaxScale))
        return;
    float k = 1.0f / f;
    PointF origin{k * m_origin.x + (1.0f - k) * x, k * m_origin.y + (1.0f - k) * y};
    if (!std::isfinite(origin.x) || !std::isfinite(origin.y))
        return;
    m_scale = scale;
    m_origin = origin;
}

bool CViewTransform::BakeIntoPoints(CPattern& pattern, int n)
{
    const PointF old = m_origin;
    const float ratio = m_scale / 1.0f;
    const int last = std::min(n, PATTERN_MAX_SEGMENTS);
    PointF baked[PATTERN_MAX_SEGMENTS + 1];
    for (int i = 0; i <= last; ++i) {
        const PointF& p = pattern.m_points[i];
        baked[i] = PointF{(p.x - old.x) * ratio + 0.0f, (p.y - old.y) * ratio + 0.0f};
        // A far zoom-in on a far point overflows: such a document could not be shown, saved
        // and read back, so the command is refused as a whole.
        if (!std::isfinite(baked[i].x) || !std::isfinite(baked[i].y))
            return false;
    }
    Reset();
    for (int i = 0; i <= last; ++i)
        pattern.m_points[i] = baked[i];
    pattern.UpdateKnees();
    return true;
}

void CViewTransform::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        std::string text = "Origin: ";
        AppendFixed(text, m_origin.x, 6);
        text += ' ';
        AppendFixed(text, m_origin.y, 6);
        text += "\r\nScale: ";
        AppendFixed(text, m_scale, 6);
        text += "\r\n";
        ar.WriteString(text);
        return;
    }
    // A number that is not converted leaves its field as it was; a scale must be positive
    // and within the zoom range to be taken.
    std::string line;
    ar.ReadString(line);
    CScanner origin(line);
    float v = 0.0f;
    if (origin.MatchLiteral("Origin:")) {
        if (origin.ScanFloat(v)) {
            m_origin.x = v;
            if (origin.ScanFloat(v))
                m_origin.y = v;
        }
    }
    ar.ReadString(line);
    CScanner scale(line);
    if (scale.MatchLiteral("Scale:") && scale.ScanFloat(v) && v >= kMinScale && v <= kMaxScale)
        m_scale = v;
}
