// Reading back the SVG files the program writes: the root's attributes and every path
// element with its attributes and its subpaths as point lists.
#pragma once

#include <charconv>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace svg_test {

struct SvgPoint {
    double x = 0.0;
    double y = 0.0;
};

struct SvgSubpath {
    std::vector<SvgPoint> points;
    bool closed = false;
};

struct SvgPath {
    std::map<std::string, std::string> attributes;
    std::vector<SvgSubpath> subpaths;
};

// The attributes of the element whose tag starts at `at` ("<name ...>").
inline std::map<std::string, std::string> Attributes(const std::string& text, size_t at)
{
    std::map<std::string, std::string> result;
    const size_t end = text.find('>', at);
    size_t p = text.find(' ', at);
    while (p != std::string::npos && p < end) {
        const size_t eq = text.find("=\"", p);
        if (eq == std::string::npos || eq > end)
            break;
        const size_t close = text.find('"', eq + 2);
        result[text.substr(p + 1, eq - p - 1)] = text.substr(eq + 2, close - eq - 2);
        p = text.find(' ', close);
        // Spaces inside a later value are not separators: continue after the closing quote.
        if (p != std::string::npos && p > end)
            break;
    }
    return result;
}

// The numbers of an attribute, in order (viewBox, path data without the letters).
inline std::vector<double> Numbers(std::string_view text)
{
    std::vector<double> numbers;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '-' || c == '.' || (c >= '0' && c <= '9')) {
            double v = 0.0;
            auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), v);
            if (ec != std::errc())
                break;
            numbers.push_back(v);
            i = static_cast<size_t>(ptr - text.data());
        } else {
            ++i;
        }
    }
    return numbers;
}

// Path data made of "M x y x y ...", " M x y ..." and " Z", as the writer makes it.
inline std::vector<SvgSubpath> ParsePathData(std::string_view d)
{
    std::vector<SvgSubpath> subpaths;
    size_t i = 0;
    while (i < d.size()) {
        const char c = d[i];
        if (c == 'M') {
            subpaths.emplace_back();
            ++i;
        } else if (c == 'Z') {
            if (!subpaths.empty())
                subpaths.back().closed = true;
            ++i;
        } else if (c == ' ') {
            ++i;
        } else {
            size_t end = d.find_first_of("MZ", i);
            if (end == std::string_view::npos)
                end = d.size();
            const std::vector<double> numbers = Numbers(d.substr(i, end - i));
            if (subpaths.empty())
                subpaths.emplace_back();
            for (size_t k = 0; k + 1 < numbers.size(); k += 2)
                subpaths.back().points.push_back(SvgPoint{numbers[k], numbers[k + 1]});
            i = end;
        }
    }
    return subpaths;
}

// Every <path> element of the document, in order.
inline std::vector<SvgPath> Paths(const std::string& text)
{
    std::vector<SvgPath> paths;
    for (size_t at = text.find("<path"); at != std::string::npos; at = text.find("<path", at + 1)) {
        SvgPath path;
        path.attributes = Attributes(text, at);
        path.subpaths = ParsePathData(path.attributes["d"]);
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace svg_test
