// The PNG file of an antialiased picture, written with libpng in the smallest of the 8-bit
// colour types that holds it exactly: grey, grey and alpha, RGB or RGBA.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/file.h"
#include "render/smooth_renderer.h"

namespace {

struct PngOutput {
    std::vector<uint8_t>* bytes = nullptr;
    char message[200] = {};
};

void WriteBytes(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
    try {
        out->bytes->insert(out->bytes->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "Not enough memory for the PNG data");
    }
}

void FlushBytes(png_structp) {}

void OnError(png_structp png, png_const_charp message)
{
    auto* out = static_cast<PngOutput*>(png_get_error_ptr(png));
    std::strncpy(out->message, message != nullptr ? message : "PNG error", sizeof out->message - 1);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The fewest channels that hold every pixel exactly: 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA.
int ChannelsNeeded(const CRgbaImage& image)
{
    bool grey = true;
    bool opaque = true;
    const uint8_t* p = image.pixels.data();
    const size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    for (size_t i = 0; i < count && (grey || opaque); ++i, p += 4) {
        grey = grey && p[0] == p[1] && p[1] == p[2];
        opaque = opaque && p[3] == 255;
    }
    return grey ? (opaque ? 1 : 2) : (opaque ? 3 : 4);
}

// Converts one RGBA row to `channels` channels.
void PackRow(const uint8_t* rgba, int32_t width, int channels, uint8_t* out)
{
    switch (channels) {
    case 1:
        for (int32_t x = 0; x < width; ++x)
            out[x] = rgba[4 * x];
        break;
    case 2:
        for (int32_t x = 0; x < width; ++x) {
            out[2 * x] = rgba[4 * x];
            out[2 * x + 1] = rgba[4 * x + 3];
        }
        break;
    case 3:
        for (int32_t x = 0; x < width; ++x) {
            out[3 * x] = rgba[4 * x];
            out[3 * x + 1] = rgba[4 * x + 1];
            out[3 * x + 2] = rgba[4 * x + 2];
        }
        break;
    default:
        std::memcpy(out, rgba, static_cast<size_t>(width) * 4);
        break;
    }
}

// The libpng calls, in a function that holds nothing that needs destroying, since an error
// leaves it through longjmp. `row` has room for a packed row.
bool EncodeRows(png_structp png, png_infop info, const CRgbaImage& image, int channels, const PngOptions& options,
                uint8_t* row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    static const int kColorTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                       PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 kColorTypes[channels], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // The pixels are sRGB.
    png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_set_compression_level(png, options.level);
    png_set_compression_strategy(png, options.strategy);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, options.filters);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(image.width) * 4;
    for (int32_t y = 0; y < image.height; ++y) {
        PackRow(image.pixels.data() + stride * static_cast<size_t>(y), image.width, channels, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool EncodePng(const CRgbaImage& image, std::vector<uint8_t>* bytes, std::string* error)
{
    return EncodePng(image, PngOptions{}, bytes, error);
}

bool EncodePng(const CRgbaImage& image, const PngOptions& options, std::vector<uint8_t>* bytes, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes == nullptr)
        return fail("No buffer for the PNG data");
    if (image.width <= 0 || image.height <= 0 || image.width > 0x7FFFFFFF / 4 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)
        return fail("The picture has no pixels to write");

    bytes->clear();
    std::vector<uint8_t> row;
    try {
        row.resize(static_cast<size_t>(image.width) * 4);
        bytes->reserve(64 * 1024);
    } catch (const std::bad_alloc&) {
        return fail("Not enough memory for the PNG data");
    }
    PngOutput output;
    output.bytes = bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, OnError, OnWarning);
    if (png == nullptr)
        return fail("The PNG encoder could not be started");
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return fail("The PNG encoder could not be started");
    }
    png_set_write_fn(png, &output, WriteBytes, FlushBytes);
    const bool ok = EncodeRows(png, info, image, ChannelsNeeded(image), options, row.data());
    png_destroy_write_struct(&png, &info);
    if (!ok) {
        bytes->clear();
        return fail(std::string("The PNG data could not be made: ") + output.message);
    }
    return true;
}

bool WritePng(const CRgbaImage& image, const std::string& fileName, std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!EncodePng(image, &bytes, error))
        return false;
    CFile file;
    if (!file.Open(fileName)) {
        if (error)
            *error = file.Error();
        return false;
    }
    file.Write(bytes.data(), bytes.size());
    if (!file.Close()) {
        if (error)
            *error = file.Error();
        return false;
    }
    return true;
}
