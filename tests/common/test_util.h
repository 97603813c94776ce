// Helpers shared by the test programs: closeness checks for floats and points that print
// both values, a temporary folder that cleans up after itself, and whole-file read/write.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "document/point_f.h"
#include "view/draw_settings.h"

// Lets GoogleTest print points in failure messages.
inline void PrintTo(const PointF& p, std::ostream* os)
{
    *os << std::setprecision(9) << "(" << p.x << ", " << p.y << ")";
}

// Lets GoogleTest print the renderer's drawing settings in failure messages.
inline void PrintTo(const CDrawSettings& s, std::ostream* os)
{
    *os << std::setprecision(9) << "{iterations " << s.iterations << ", detail " << s.detail << ", draw limit "
        << s.drawLimit << ", time limit " << int(s.timeLimit) << ", pattern " << int(s.showPattern)
        << ", fractal " << int(s.showFractal) << ", fill " << int(s.fill) << ", origin (" << s.originX << ", "
        << s.originY << "), scale " << s.scale << ", flip " << s.flipY << ", " << s.width << " by " << s.height
        << ", smooth " << s.smooth << "}";
}

namespace testutil {

inline std::string FloatText(double v)
{
    std::ostringstream s;
    s << std::setprecision(9) << v;
    return s.str();
}

// |actual - expected| <= tolerance, printing both values with enough digits to tell
// neighbouring floats apart.
inline ::testing::AssertionResult FloatNear(const char* actualExpr, const char* expectedExpr,
                                            const char* tolExpr, double actual, double expected,
                                            double tolerance)
{
    if (std::fabs(actual - expected) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actualExpr << " is " << FloatText(actual) << ", expected " << expectedExpr << " = "
           << FloatText(expected) << " within " << tolExpr << " = " << FloatText(tolerance)
           << " (off by " << FloatText(actual - expected) << ")";
}

// Both coordinates within `tolerance`.
inline ::testing::AssertionResult PointNear(const char* actualExpr, const char* expectedExpr,
                                            const char* tolExpr, const PointF& actual,
                                            const PointF& expected, double tolerance)
{
    if (std::fabs(static_cast<double>(actual.x) - expected.x) <= tolerance &&
        std::fabs(static_cast<double>(actual.y) - expected.y) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actualExpr << " is (" << FloatText(actual.x) << ", " << FloatText(actual.y)
           << "), expected " << expectedExpr << " = (" << FloatText(expected.x) << ", "
           << FloatText(expected.y) << ") within " << tolExpr << " = " << FloatText(tolerance);
}

}  // namespace testutil

#define EXPECT_FLOAT_CLOSE(actual, expected, tol) \
    EXPECT_PRED_FORMAT3(::testutil::FloatNear, actual, expected, tol)
#define ASSERT_FLOAT_CLOSE(actual, expected, tol) \
    ASSERT_PRED_FORMAT3(::testutil::FloatNear, actual, expected, tol)
#define EXPECT_POINT_NEAR(actual, expected, tol) \
    EXPECT_PRED_FORMAT3(::testutil::PointNear, actual, expected, tol)
#define ASSERT_POINT_NEAR(actual, expected, tol) \
    ASSERT_PRED_FORMAT3(::testutil::PointNear, actual, expected, tol)

namespace testutil {

// A fresh, empty folder under the system's temporary folder, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir()
    {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
        std::string templ = (base / "zarnix-test-XXXXXX").string();
        std::vector<char> buffer(templ.begin(), templ.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) {
            ADD_FAILURE() << "cannot create a temporary folder from " << templ;
            return;
        }
        m_path = buffer.data();
    }
    ~TempDir()
    {
        if (m_path.empty())
            return;
        std::error_code ec;
        // Undo any permission changes a test made, so everything can be removed.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code ignored;
            if (it->is_directory(ignored) && !it->is_symlink(ignored))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The full path of `name` inside the folder.
    std::string File(const std::string& name) const { return (m_path / name).string(); }

    // The names of everything in the folder, sorted.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_path, ec))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};

// The bytes of a file; empty when it cannot be read (tests check existence separately).
inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        ADD_FAILURE() << "cannot write the test file " << path;
}

inline bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// A path of this test's data folder (tests/data).
inline std::string DataFile(const std::string& name)
{
    return (std::filesystem::path(ZARNIX_TEST_DATA_DIR) / name).string();
}

// Joins lines with CR LF after each, as the program writes its text files.
inline std::string CrLfLines(std::initializer_list<std::string> lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace testutil
