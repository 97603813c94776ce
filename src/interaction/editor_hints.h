// The status bar's hint while the pointer moves over the picture: what the gestures do on the
// point, knee or empty space under the pointer.
#pragma once

#include <cstdint>
#include <string>

class CPattern;

// The knee flags as words: "forward", "reverse", "mirror", "reverse, mirror", with ", hidden"
// and ", static" added for those bits.
std::string KneeFlagsText(uint8_t flags);

// The hint for the hit state of `pattern` (kind HIT_NONE, HIT_POINT or HIT_KNEE, and index as
// CPattern::HitTest gives them), for example
//   "Point 2: drag to move · Ctrl+click removes · right-click for more",
//   "Knee 1 (reverse): click steps the direction · Shift+click hides · right-click for more",
//   "Ctrl+click adds a point to segment 3".
std::string EditorHintText(const CPattern& pattern, uint8_t hitKind, int32_t hitIndex);
