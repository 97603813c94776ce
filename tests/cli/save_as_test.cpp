// The program run from the command line: --save-as writes documents without a window,
// errors are reported on stderr with a non-zero status and leave no file, and --help and
// --version answer as on any Linux tool.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <locale.h>
#include <sys/wait.h>

#include "common/test_util.h"

using testutil::DataFile;
using testutil::FileExists;
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
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Runs the program with `args` (already quoted as needed) in `dir`; `env` is put before it.
RunResult RunProgram(const TempDir& dir, const std::string& args, const std::string& env = "")
{
    TempDir capture;
    const std::string command = "cd " + Quote(dir.Path().string()) + " && " + env + " " +
                                Quote(ZARNIX_EXECUTABLE) + " " + args + " </dev/null >" +
                                Quote(capture.File("out")) + " 2>" + Quote(capture.File("err"));
    int raw = std::system(command.c_str());
    RunResult r;
    r.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFile(capture.File("out"));
    r.err = ReadFile(capture.File("err"));
    return r;
}

bool HaveGermanLocale()
{
    locale_t loc = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (!loc)
        return false;
    ::freelocale(loc);
    return true;
}

std::string Replace(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

}  // namespace

TEST(SaveAs, NewDocumentIsTheDocumentedExample)
{
    const std::string expected = ReadFile(DataFile("new_document.zarnix"));
    ASSERT_EQ(expected.size(), 177u);
    TempDir dir;
    RunResult r = RunProgram(dir, "--save-as new.zarnix");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(dir.File("new.zarnix")), expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"new.zarnix"});
}

TEST(SaveAs, NewDocumentUnderAGermanLocale)
{
    if (!HaveGermanLocale())
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    const std::string expected = ReadFile(DataFile("new_document.zarnix"));
    TempDir dir;
    RunResult r = RunProgram(dir, "--save-as new.zarnix", "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("new.zarnix")), expected);

    // Reading under that locale too: a re-saved example keeps its decimals.
    RunResult again = RunProgram(dir, Quote(DataFile("koch_like.zarnix")) + " --save-as koch.zarnix",
                          "LC_ALL=de_DE.UTF-8");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(ReadFile(dir.File("koch.zarnix")), ReadFile(DataFile("koch_like.zarnix")));
}

TEST(SaveAs, ReadingAndResavingKeepsADocument)
{
    TempDir dir;
    for (const char* name : {"new_document.zarnix", "koch_like.zarnix"}) {
        const std::string original = ReadFile(DataFile(name));
        ASSERT_FALSE(original.empty()) << name;
        RunResult r = RunProgram(dir, Quote(DataFile(name)) + " --save-as out.zarnix");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(ReadFile(dir.File("out.zarnix")), original) << name;

        // The same document with LF line ends comes out with CR LF again.
        WriteFile(dir.File("lf.zarnix"), Replace(original, "\r\n", "\n"));
        r = RunProgram(dir, "lf.zarnix --save-as out.zarnix");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(ReadFile(dir.File("out.zarnix")), original) << name;

        // Saving onto the file that was read.
        WriteFile(dir.File("same.zarnix"), original);
        r = RunProgram(dir, "same.zarnix --save-as same.zarnix");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(ReadFile(dir.File("same.zarnix")), original) << name;
    }
}

TEST(SaveAs, FilesWithoutViewSectionGetTheDefaultSettings)
{
    const std::string original = ReadFile(DataFile("koch_like.zarnix"));
    const std::string pattern = original.substr(0, original.find("Iterations:"));
    const std::string defaults = testutil::CrLfLines(
        {"Iterations: 7", "Pattern: 1", "Fractal: 1", "Fill: 0", "Origin: 0.000000 0.000000", "Scale: 1.000000"});
    TempDir dir;
    WriteFile(dir.File("pattern.zarnix"), pattern);
    RunResult r = RunProgram(dir, "pattern.zarnix --save-as out.zarnix");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("out.zarnix")), pattern + defaults);

    // A legacy binary pattern is written in the text format.
    std::string legacy("\x02\x00\x00\x00", 4);
    auto putFloat = [&](float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i)
            legacy += static_cast<char>((bits >> (8 * i)) & 0xFF);
    };
    for (float f : {-100.0f, 0.0f, 12.5f, -50.0f, 100.0f, 0.0f})
        putFloat(f);
    legacy += '\x01';
    legacy += '\x0C';
    ASSERT_EQ(legacy.size(), 30u);
    WriteFile(dir.File("legacy.zarnix"), legacy);
    r = RunProgram(dir, "legacy.zarnix --save-as legacy-out.zarnix");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("legacy-out.zarnix")),
              testutil::CrLfLines({"ZARNIX4", "2", "-100.000000 0.000000", "12.500000 -50.000000",
                                   "100.000000 0.000000", "1", "12"}) +
                  defaults);
}

TEST(SaveAs, ErrorsNameTheFileAndWriteNothing)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    WriteFile(dir.File("bad.zarnix"), "ZARNIX4\r\n40\r\n");
    WriteFile(dir.File("short.zarnix"), "ZA");
    WriteFile(dir.File("good.zarnix"), ReadFile(DataFile("new_document.zarnix")));
    const std::vector<std::string> before = dir.Entries();

    struct Case {
        std::string args;
        std::string named;  // what the message must mention
    };
    const Case cases[] = {
        {"missing.zarnix --save-as out.zarnix", "missing.zarnix"},
        {"bad.zarnix --save-as out.zarnix", "bad.zarnix"},
        {"short.zarnix --save-as out.zarnix", "short.zarnix"},
        {"folder --save-as out.zarnix", "folder"},
        {"good.zarnix --save-as nowhere/out.zarnix", "nowhere/out.zarnix"},
        {"--save-as folder", "folder"},
        {"--save-as good.zarnix/out.zarnix", "good.zarnix/out.zarnix"},
        {"--bogus --save-as out.zarnix", "--bogus"},
        {"--save-as out.zarnix --width 100", "--width"},
        {"good.zarnix --save-as out.zarnix --iterations 3", "--iterations"},
        {"--save-as", "--save-as"},
    };
    for (const Case& c : cases) {
        RunResult r = RunProgram(dir, c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << c.args << ": stderr was: " << r.err;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(dir.Entries(), before) << c.args;
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder"))) << c.args;
    }

    // A failed conversion leaves an existing output file as it was.
    WriteFile(dir.File("out.zarnix"), "the old file");
    RunResult r = RunProgram(dir, "bad.zarnix --save-as out.zarnix");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(ReadFile(dir.File("out.zarnix")), "the old file");
    // A file that is read but is no document says so first, the detail after.
    EXPECT_EQ(r.err.rfind("zarnix4: 'bad.zarnix' is not a Zarnix document (", 0), 0u) << r.err;

    // A FIFO is refused at once (no writer ever comes), and so is writing to one.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0666), 0);
    r = RunProgram(dir, "fifo --save-as out.zarnix");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("FIFO"), std::string::npos) << r.err;
    r = RunProgram(dir, "--save-as fifo");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("FIFO"), std::string::npos) << r.err;
}

TEST(CommandLine, VersionAndHelp)
{
    TempDir dir;
    RunResult version = RunProgram(dir, "--version");
    EXPECT_EQ(version.status, 0) << version.err;
    // The number is the project's version; the install test compares it with the package's.
    EXPECT_TRUE(std::regex_match(version.out, std::regex("Zarnix [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
    EXPECT_EQ(version.err, "");

    RunResult help = RunProgram(dir, "--help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("--save-as"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Usage"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_TRUE(dir.Entries().empty());
}
