// zarnix4 FILE --info: one JSON object on stdout with the fractal's figures, no window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <sys/wait.h>

#include "common/test_util.h"

using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

RunResult RunInfo(const TempDir& dir, const std::string& args)
{
    TempDir capture;
    const std::string command = "cd " + Quote(dir.Path().string()) + " && env -u DISPLAY -u WAYLAND_DISPLAY " +
                                Quote(ZARNIX_EXECUTABLE) + " " + args + " </dev/null >" +
                                Quote(capture.File("out")) + " 2>" + Quote(capture.File("err"));
    const int raw = std::system(command.c_str());
    RunResult r;
    r.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFile(capture.File("out"));
    r.err = ReadFile(capture.File("err"));
    return r;
}

// The text of a value in a flat JSON object, up to the next ',' or '}' (objects inside are
// returned whole).
std::string Value(const std::string& json, const std::string& key)
{
    const std::string tag = "\"" + key + "\": ";
    const size_t at = json.find(tag);
    if (at == std::string::npos)
        return "<missing>";
    const size_t from = at + tag.size();
    if (json[from] == '{')
        return json.substr(from, json.find('}', from) + 1 - from);
    return json.substr(from, json.find_first_of(",}", from) - from);
}

double Number(const std::string& json, const std::string& key)
{
    return std::strtod(Value(json, key).c_str(), nullptr);
}

}  // namespace

TEST(InfoCli, KochFiguresAsOneJsonObject)
{
    TempDir dir;
    const std::string koch = std::string(ZARNIX_TEST_DATA_DIR) + "/../../examples/koch.zarnix";
    const RunResult r = RunInfo(dir, Quote(koch) + " --info");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // One object on one line.
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);

    EXPECT_EQ(Value(r.out, "segments"), "4");
    EXPECT_EQ(Value(r.out, "iterations"), "6");
    EXPECT_EQ(Value(r.out, "lines"), "4096");
    EXPECT_EQ(Value(r.out, "linesSaturated"), "false");
    EXPECT_NEAR(Number(r.out, "dimension"), 1.2619, 5e-5);
    EXPECT_EQ(Value(r.out, "dimensionUnbounded"), "false");
    // The Koch curve over a baseline of 300 rises to 300 * sqrt(3) / 6 at its first peak.
    const std::string box = Value(r.out, "boundingBox");
    EXPECT_NEAR(Number(box, "minX"), -150.0, 1e-3) << box;
    EXPECT_NEAR(Number(box, "maxX"), 150.0, 1e-3);
    EXPECT_NEAR(Number(box, "minY"), 0.0, 1e-3);
    EXPECT_NEAR(Number(box, "maxY"), 86.60254, 1e-3);
    EXPECT_EQ(Value(r.out, "boundingBoxExact"), "true");
}

TEST(InfoCli, UnboundedDimensionSaturatedLinesAndAQuotedName)
{
    TempDir dir;
    // 32 segments at 255 iterations, the middle one three times the baseline.
    std::string text = "ZARNIX4\r\n32\r\n";
    for (int i = 0; i <= 32; ++i)
        text += std::to_string(i) + ".000000 " + (i == 16 ? "-96.000000" : "0.000000") + "\r\n";
    for (int i = 0; i < 32; ++i)
        text += "0\r\n";
    text += "Iterations: 255\r\n";
    WriteFile(dir.File("a\"b.zarnix"), text);
    const RunResult r = RunInfo(dir, Quote("a\"b.zarnix") + " --info");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Value(r.out, "file"), "\"a\\\"b.zarnix\"");
    EXPECT_EQ(Value(r.out, "lines"), "18446744073709551615");
    EXPECT_EQ(Value(r.out, "linesSaturated"), "true");
    EXPECT_EQ(Value(r.out, "dimension"), "null");
    EXPECT_EQ(Value(r.out, "dimensionUnbounded"), "true");
    EXPECT_EQ(Value(r.out, "boundingBox"), "null");
}

TEST(InfoCli, ErrorsGoToStderrWithNothingOnStdout)
{
    TempDir dir;
    for (const char* args : {"--info", "missing.zarnix --info", "x.zarnix --info --save-as y.zarnix"}) {
        const RunResult r = RunInfo(dir, args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err, "") << args;
    }
}
