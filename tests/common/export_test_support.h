// Helpers shared by the export and command-line tests: a scratch folder, whole-file reading,
// small patterns and renderers, and the Illustrator files' date line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "document/pattern.h"
#include "view/fractal_renderer.h"

namespace export_test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::random_device device;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = base / ("zarnix-export-test-" + std::to_string(device()));
            if (std::filesystem::create_directory(candidate)) {
                m_path = candidate;
                return;
            }
        }
        ADD_FAILURE() << "cannot create a scratch folder";
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

    // Names of everything in the folder, temporary files included, sorted.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Splits a text on CR LF; a CR or LF alone stays part of its line.
inline std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

// The text with the date of its "%%CreationDate: " line replaced by a fixed placeholder.
inline std::string NormaliseCreationDate(std::string text)
{
    const std::string key = "\r\n%%CreationDate: ";
    const size_t at = text.find(key);
    if (at == std::string::npos)
        return text;
    const size_t from = at + key.size();
    const size_t to = text.find("\r\n", from);
    text.replace(from, (to == std::string::npos ? text.size() : to) - from, "DATE");
    return text;
}

struct PatternPoint {
    float x;
    float y;
};

// A pattern through the given points with the given knee flags (missing flags are 0).
inline CPattern MakePattern(std::initializer_list<PatternPoint> points, std::initializer_list<uint8_t> flags = {})
{
    CPattern pattern;
    int i = 0;
    for (const PatternPoint& p : points)
        pattern.m_points[i++] = PointF{p.x, p.y};
    pattern.m_count = i - 1;
    int k = 0;
    for (uint8_t f : flags)
        pattern.m_kneeFlags[k++] = f;
    pattern.UpdateKnees();
    return pattern;
}

// A renderer as a view of width x height pixels shows a document at the default view.
inline std::unique_ptr<CFractalRenderer> MakeRenderer(int32_t width, int32_t height)
{
    auto renderer = std::make_unique<CFractalRenderer>();
    renderer->SetScreenSize(width, height);
    renderer->SetCanvasSize(width, height);
    renderer->m_transform.Reset();
    return renderer;
}

// Fixed creation time for whole-file comparisons: 07:05:42 UTC on 7 December 2026.
inline std::chrono::system_clock::time_point FixedCreationTime()
{
    using namespace std::chrono;
    return sys_days{year{2026} / December / 7} + hours{7} + minutes{5} + seconds{42};
}

}  // namespace export_test
