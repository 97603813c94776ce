// Reading PNG files back for comparisons: 8-bit RGBA pixels, rows top first, through
// libpng's simplified reading interface.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

namespace png_test {

struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // red, green, blue, alpha

    const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
};

// False when the bytes are not a PNG file libpng can read.
inline bool DecodePng(const std::string& bytes, RgbaPicture* picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return false;
    image.format = PNG_FORMAT_RGBA;
    picture->width = static_cast<int>(image.width);
    picture->height = static_cast<int>(image.height);
    picture->pixels.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, picture->pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// How dark a pixel is over white, 0 (white or transparent) to 255 (black and opaque).
inline int Ink(const RgbaPicture& picture, int x, int y)
{
    const uint8_t* p = picture.At(x, y);
    const int grey = (p[0] + p[1] + p[2]) / 3;
    return (255 - grey) * p[3] / 255;
}

}  // namespace png_test
