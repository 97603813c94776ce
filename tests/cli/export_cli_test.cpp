// zarnix4 FILE --export OUT, run as a separate program in a scratch folder: the files it
// writes, its silence on success, and its messages, status and absence of files on failure.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/command_line.h"
#include "common/export_test_support.h"

using namespace export_test;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s)
{
    std::string q(1, '\'');
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    q += '\'';
    return q;
}

class ExportCliTest : public ::testing::Test {
protected:
    // Runs zarnix4 with the arguments in the scratch folder; its stdout and stderr are kept.
    RunResult Run(const std::vector<std::string>& args)
    {
        std::string command = "cd ";
        command += Quote(folder.Path().string());
        command += " && ";
        command += Quote(ZARNIX_EXECUTABLE);
        for (const std::string& a : args) {
            command += ' ';
            command += Quote(a);
        }
        command += " >";
        command += Quote(outPath);
        command += " 2>";
        command += Quote(errPath);
        command += " </dev/null";
        RunResult r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadBytes(outPath);
        r.err = ReadBytes(errPath);
        std::filesystem::remove(outPath);
        std::filesystem::remove(errPath);
        return r;
    }

    // A document of the worked-example pattern with a view section (iterations 2).
    std::string WriteExampleDocument()
    {
        WriteBytes(folder.File("example.zarnix"), "ZARNIX4\r\n2\r\n-100.000000 0.000000\r\n0.000000 50.000000\r\n"
                                                  "100.000000 0.000000\r\n0\r\n0\r\nIterations: 2\r\n"
                                                  "Pattern: 1\r\nFractal: 1\r\nFill: 0\r\n"
                                                  "Origin: 0.000000 0.000000\r\nScale: 1.000000\r\n");
        return "example.zarnix";
    }

    std::vector<std::string> FilesBesidesDocuments() const
    {
        std::vector<std::string> names;
        for (const std::string& n : folder.Entries())
            if (n.size() < 7 || n.substr(n.size() - 7) != ".zarnix")
                names.push_back(n);
        return names;
    }

    ScratchFolder folder;
    ScratchFolder streams;
    std::string outPath = streams.File("stdout.txt");
    std::string errPath = streams.File("stderr.txt");
};

TEST_F(ExportCliTest, IllustratorExportIsTheWindowsExport)
{
    const std::string doc = WriteExampleDocument();
    const RunResult r = Run({doc, "--export", "out.ai", "--view", "200x100"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    const std::string golden = ReadBytes(std::string(ZARNIX_TEST_DATA_DIR) + "/export_worked_example.ai");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(NormaliseCreationDate(ReadBytes(folder.File("out.ai"))), NormaliseCreationDate(golden));
    EXPECT_EQ(FilesBesidesDocuments(), std::vector<std::string>{"out.ai"});
}

TEST_F(ExportCliTest, BitmapExportHasTheRequestedSize)
{
    const std::string doc = WriteExampleDocument();
    const RunResult r = Run({doc, "--export", "out.bmp", "--width", "256", "--height", "160", "--detail", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string file = ReadBytes(folder.File("out.bmp"));
    ASSERT_EQ(file.size(), 54u + 256u * 160u * 4u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<uint8_t>(file[19]), 1);  // 256 = 0x100
    EXPECT_EQ(static_cast<uint8_t>(file[22]), 160);
    size_t dark = 0;
    for (size_t at = 54; at < file.size(); at += 4)
        dark += static_cast<uint8_t>(file[at]) < 64;
    EXPECT_GT(dark, 20u);  // the fractal is there

    // Without --width and --height the picture is 800 x 600.
    EXPECT_EQ(Run({doc, "--export", "default.bmp"}).status, 0);
    EXPECT_EQ(std::filesystem::file_size(folder.File("default.bmp")), 1920054u);
}

TEST_F(ExportCliTest, TypeComesFromTheOptionOrTheExtension)
{
    const std::string doc = WriteExampleDocument();
    EXPECT_EQ(Run({doc, "--export", "upper.AI", "--width", "20", "--height", "10"}).status, 0);
    EXPECT_EQ(ReadBytes(folder.File("upper.AI")).substr(0, 4), "%!PS");
    EXPECT_EQ(Run({doc, "--export", "plain", "--width", "20", "--height", "10"}).status, 0);
    EXPECT_EQ(ReadBytes(folder.File("plain.bmp")).substr(0, 2), "BM");
    EXPECT_EQ(Run({doc, "--export", "drawing", "--type", "ai", "--width", "20", "--height", "10"}).status, 0);
    EXPECT_EQ(ReadBytes(folder.File("drawing.ai")).substr(0, 4), "%!PS");
    EXPECT_EQ(Run({doc, "--export", "picture.png", "--type", "bmp", "--width", "20", "--height", "10"}).status, 0);
    EXPECT_EQ(ReadBytes(folder.File("picture.png")).substr(0, 2), "BM");
    EXPECT_EQ(FilesBesidesDocuments(),
              (std::vector<std::string>{"drawing.ai", "picture.png", "plain.bmp", "upper.AI"}));
}

TEST_F(ExportCliTest, IterationsFromTheOptionElseTheDocumentElseSeven)
{
    auto countLines = [](const std::string& text) {
        const std::vector<std::string> lines = SplitCrLf(text);
        const auto fractal = std::find(lines.begin(), lines.end(), "(Fractal) Ln");
        return std::count_if(fractal, lines.end(), [](const std::string& l) { return !l.empty() && l.back() == 'L'; });
    };
    const std::string doc = WriteExampleDocument();
    ASSERT_EQ(Run({doc, "--export", "one.ai", "--iterations", "1"}).status, 0);
    EXPECT_EQ(countLines(ReadBytes(folder.File("one.ai"))), 2);
    ASSERT_EQ(Run({doc, "--export", "stored.ai"}).status, 0);
    EXPECT_EQ(countLines(ReadBytes(folder.File("stored.ai"))), 4);

    // A document without view settings: the renderer's 7 iterations and the default view.
    WriteBytes(folder.File("bare.zarnix"), "ZARNIX4\r\n2\r\n-100 0\r\n0 50\r\n100 0\r\n0\r\n0\r\n");
    ASSERT_EQ(Run({"bare.zarnix", "--export", "bare.ai", "--view", "200x100"}).status, 0);
    const std::string bare = ReadBytes(folder.File("bare.ai"));
    EXPECT_EQ(countLines(bare), 128);
    EXPECT_NE(bare.find("\r\n%%BoundingBox: -100 -50 100 50\r\n"), std::string::npos);
}

TEST_F(ExportCliTest, ErrorsExplainThemselvesAndWriteNothing)
{
    const std::string doc = WriteExampleDocument();
    std::filesystem::create_directory(folder.File("folder.ai"));
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{"missing.zarnix", "--export", "out.ai"}, "missing.zarnix"},
        {{doc, "--export", "out.ai", "--type", "gif"}, "gif"},
        {{doc, "--export", "out.svg", "--line-width", "30"}, "--line-width"},
        {{doc, "--export", "out.svg", "--line-width", "1,5"}, "--line-width"},
        {{doc, "--export", "out.svg", "--color", "nope"}, "--color"},
        {{doc, "--export", "out.svg", "--gradient", "red"}, "--gradient"},
        {{doc, "--export", "out.svg", "--view", "800"}, "--view"},
        {{doc, "--export", "out.bmp", "--color", "red"}, "PNG and SVG"},
        {{doc, "--save-as", "copy.zarnix", "--fit"}, "--export"},
        {{doc, "--export", "out.ai", "--iterations", "300"}, "--iterations"},
        {{doc, "--export", "out.bmp", "--width", "0"}, "--width"},
        {{doc, "--export", "out.bmp", "--height", "-3"}, "--height"},
        {{doc, "--export", "folder.ai"}, "folder.ai"},
        {{doc, "--export", "no/such/folder/out.ai"}, "out.ai"},
        {{"--export", "out.ai"}, "document"},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(c.args);
        std::string shown;
        for (const std::string& a : c.args)
            shown += a + " ";
        EXPECT_NE(r.status, 0) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << shown << "\n" << r.err;
    }
    EXPECT_EQ(FilesBesidesDocuments(), std::vector<std::string>{"folder.ai"});
}

TEST_F(ExportCliTest, ThreadsFromTheOptionOverTheEnvironmentAndBadCountsRefused)
{
    const std::string doc = WriteExampleDocument();
    // The same file on one thread and on three; --threads wins over ZARNIX_THREADS.
    ASSERT_EQ(Run({doc, "--export", "one.ai", "--iterations", "12", "--threads", "1"}).status, 0);
    ::setenv("ZARNIX_THREADS", "seven", 1);
    const RunResult three = Run({doc, "--export", "three.ai", "--iterations", "12", "--threads=3"});
    EXPECT_EQ(three.status, 0) << three.err;
    EXPECT_EQ(NormaliseCreationDate(ReadBytes(folder.File("three.ai"))), NormaliseCreationDate(ReadBytes(folder.File("one.ai"))));

    // An invalid ZARNIX_THREADS is refused like a bad option; so are bad --threads values.
    const RunResult refused = Run({doc, "--export", "env.ai"});
    ::unsetenv("ZARNIX_THREADS");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("ZARNIX_THREADS"), std::string::npos) << refused.err;
    for (const char* bad : {"0", "-2", "two", "65", "99999999999", "2x", ""}) {
        const RunResult r = Run({doc, "--export", "bad.ai", "--threads", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("--threads"), std::string::npos) << bad << "\n" << r.err;
    }
    EXPECT_EQ(Run({doc, "--save-as", "copy.zarnix", "--threads", "2"}).status, 2);  // an export option
    EXPECT_EQ(FilesBesidesDocuments(), (std::vector<std::string>{"one.ai", "three.ai"}));
}

TEST_F(ExportCliTest, AnExportLargerThanTheDiskIsRefusedAtOnce)
{
    // Koch saved at 255 iterations: 4^255 points, some 6.7e154 bytes.
    WriteBytes(folder.File("koch255.zarnix"), "ZARNIX4\r\n4\r\n-150 0\r\n-50 0\r\n0 86.60254\r\n50 0\r\n150 0\r\n"
                                              "0\r\n0\r\n0\r\n0\r\nIterations: 255\r\nPattern: 1\r\nFractal: 1\r\n"
                                              "Fill: 0\r\nOrigin: 0 43\r\nScale: 2.4\r\n");
    RunResult r = Run({"koch255.zarnix", "--export", "k.ai"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("would take about 6.7e154 bytes"), std::string::npos) << r.err;
    EXPECT_TRUE(FilesBesidesDocuments().empty());

    // Into a file system of 1 MiB: 4^7 points (some 330 kB) fit, 4^8 do not.
    const std::string disk = folder.File("disk");
    std::filesystem::create_directory(disk);
    if (std::system(("mount -t tmpfs -o size=1m tmpfs " + Quote(disk) + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    r = Run({"koch255.zarnix", "--export", "disk/small.ai", "--iterations", "7"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run({"koch255.zarnix", "--export", "disk/k.ai", "--iterations", "8"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(" are free"), std::string::npos) << r.err;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(disk))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"small.ai"});
    std::system(("umount " + Quote(disk)).c_str());
}

TEST(ExportProgressLineTest, LinesPercentageAndTimeLeft)
{
    EXPECT_EQ(FormatExportProgress(1234567, 0.1234, 30.0), "1,234,567 lines, 12.3%, about 4 min left");
    EXPECT_EQ(FormatExportProgress(999, 0.99999, 100.0), "999 lines, 99.9%, about 0 s left");
    EXPECT_EQ(FormatExportProgress(1, 0.0, 5.0), "1 line, 0.0%");
    EXPECT_EQ(FormatExportProgress(4096, 0.5, 7300.0), "4,096 lines, 50.0%, about 2 h 2 min left");
    EXPECT_EQ(FormatExportProgress(0, std::nan(""), 1.0), "0 lines, 0.0%");
    EXPECT_EQ(FormatExportProgress(5000, 0.001, 1e9), "5,000 lines, 0.1%, more than 100 days left");
}

TEST_F(ExportCliTest, InterruptStopsTheExportAndRemovesThePartialFile)
{
    // Four segments at 14 iterations: 268 million points, far more than the test waits for.
    WriteBytes(folder.File("big.zarnix"), "ZARNIX4\r\n4\r\n-100 0\r\n-30 40\r\n0 -30\r\n30 40\r\n100 0\r\n"
                                          "0\r\n1\r\n2\r\n0\r\nIterations: 14\r\nPattern: 1\r\nFractal: 1\r\n"
                                          "Fill: 0\r\nOrigin: 0 0\r\nScale: 1\r\n");
    // Ctrl+C, and the signals of a shutdown and of a closed terminal, alike; an older export
    // of the same name stays as it was.
    WriteBytes(folder.File("big.ai"), "the previous export");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (chdir(folder.Path().c_str()) != 0)
                _exit(99);
            const std::string errFile = errPath;
            if (!freopen(errFile.c_str(), "w", stderr))
                _exit(98);
            execl(ZARNIX_EXECUTABLE, ZARNIX_EXECUTABLE, "big.zarnix", "--export", "big.ai", static_cast<char*>(nullptr));
            _exit(97);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(child, signal);
        int raw = 0;
        pid_t done = 0;
        for (int i = 0; i < 100 && done == 0; ++i) {  // up to 10 s
            done = waitpid(child, &raw, WNOHANG);
            if (done == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (done == 0) {
            kill(child, SIGKILL);
            waitpid(child, &raw, 0);
            FAIL() << "the export did not stop on the signal";
        }
        ASSERT_TRUE(WIFEXITED(raw)) << "ended by the signal instead of stopping";
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signal);
        EXPECT_NE(ReadBytes(errPath).find("interrupted"), std::string::npos) << ReadBytes(errPath);
        EXPECT_EQ(FilesBesidesDocuments(), std::vector<std::string>{"big.ai"});
        EXPECT_EQ(ReadBytes(folder.File("big.ai")), "the previous export");
    }
}

TEST_F(ExportCliTest, HelpAndVersionToAFullDeviceFail)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    for (const char* option : {"--help", "--version"}) {
        const std::string command = Quote(ZARNIX_EXECUTABLE) + " " + option + " >/dev/full 2>" + Quote(errPath);
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_NE(WEXITSTATUS(raw), 0) << option;
        EXPECT_NE(ReadBytes(errPath).find("cannot write"), std::string::npos) << ReadBytes(errPath);
    }
}

}  // namespace
