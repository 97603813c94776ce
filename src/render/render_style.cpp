#include "render/render_style.h"

#include <array>
#include <cctype>
#include <string>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

struct NamedColor {
    std::string_view name;
    RgbColor color;
};

constexpr std::array<NamedColor, 7> NAMED_COLORS{{
    {"black", {0, 0, 0}},
    {"white", {255, 255, 255}},
    {"grey", {128, 128, 128}},
    {"gray", {128, 128, 128}},
    {"red", {255, 0, 0}},
    {"green", {0, 128, 0}},
    {"blue", {0, 0, 255}},
}};

}  // namespace

bool ParseColor(std::string_view text, RgbColor* out)
{
    for (const NamedColor& named : NAMED_COLORS) {
        if (EqualsIgnoringCase(text, named.name)) {
            *out = named.color;
            return true;
        }
    }
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    if (text.size() != 6 && text.size() != 3)
        return false;
    int digits[6];
    for (size_t i = 0; i < text.size(); ++i) {
        digits[i] = HexDigit(text[i]);
        if (digits[i] < 0)
            return false;
    }
    if (text.size() == 3) {
        *out = RgbColor{static_cast<uint8_t>(digits[0] * 17), static_cast<uint8_t>(digits[1] * 17),
                        static_cast<uint8_t>(digits[2] * 17)};
    } else {
        *out = RgbColor{static_cast<uint8_t>(digits[0] * 16 + digits[1]), static_cast<uint8_t>(digits[2] * 16 + digits[3]),
                        static_cast<uint8_t>(digits[4] * 16 + digits[5])};
    }
    return true;
}

std::string FormatColor(RgbColor color)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string text = "#";
    for (uint8_t channel : {color.r, color.g, color.b}) {
        text += HEX[channel >> 4];
        text += HEX[channel & 15];
    }
    return text;
}
