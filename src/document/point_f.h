// A point in pattern coordinates; y grows upward on the screen in the normal view.
#pragma once

struct PointF {
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const PointF&, const PointF&) = default;
};
