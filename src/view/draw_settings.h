// The renderer's drawing settings as one value: what a picture depends on besides the
// pattern. Two pictures drawn from equal settings and equal patterns are the same picture.
#pragma once

#include <cstdint>

struct CDrawSettings {
    int32_t iterations = 7;
    int32_t detail = 2;
    int32_t drawLimit = 1000;  // milliseconds one picture may take when timeLimit is set
    uint8_t timeLimit = 1;
    uint8_t showPattern = 1;
    uint8_t showFractal = 1;
    uint8_t fill = 0;
    // The view transform (its centre follows from the canvas size).
    float originX = 0.0f;
    float originY = 0.0f;
    float scale = 1.0f;
    bool flipY = false;
    int32_t width = 0;  // canvas size in pixels
    int32_t height = 0;
    // The window's picture antialiased (Smooth Drawing); the renderer itself ignores it.
    bool smooth = false;

    bool operator==(const CDrawSettings&) const = default;
};
