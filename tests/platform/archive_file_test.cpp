// The byte-stream archive (lines, little-endian integers, raw reads) and the file layer's
// whole-file reads and atomic replacing writes.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "common/test_util.h"
#include "platform/archive.h"
#include "platform/file.h"

using testutil::FileExists;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

std::vector<std::string> AllLines(const std::string& bytes)
{
    CArchive ar(CArchive::load, bytes);
    std::vector<std::string> lines;
    std::string line = "stale";
    while (ar.ReadString(line))
        lines.push_back(line);
    EXPECT_EQ(line, "") << "the end of the file gives an empty line";
    EXPECT_FALSE(ar.ReadString(line)) << "the end of the file stays the end";
    EXPECT_FALSE(ar.HasError()) << "reading lines never fails";
    return lines;
}

using Lines = std::vector<std::string>;

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Makes writes beyond `bytes` fail (EFBIG) while it lives; works for every user, root too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool Active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return s;
}

}  // namespace

TEST(ArchiveReadString, LineEndsAndTheLastLine)
{
    EXPECT_EQ(AllLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(AllLines("one\r\ntwo\r\n"), (Lines{"one", "two"}));
    EXPECT_EQ(AllLines("one\ntwo\n"), (Lines{"one", "two"}));
    EXPECT_EQ(AllLines(""), Lines{});
    EXPECT_EQ(AllLines("\r\n"), Lines{""});
    EXPECT_EQ(AllLines("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(AllLines("x\r\n\r\ny"), (Lines{"x", "", "y"}));
    EXPECT_EQ(AllLines("no end"), Lines{"no end"});
    // A CR that is not part of a CR LF stays in the line.
    EXPECT_EQ(AllLines("a\rb\r\nc"), (Lines{"a\rb", "c"}));
    EXPECT_EQ(AllLines("a\r\r\n"), Lines{"a\r"});
    EXPECT_EQ(AllLines("tail\r"), Lines{"tail\r"});
    EXPECT_EQ(AllLines(std::string("nul\0inside\r\nnext", 16)),
              (Lines{std::string("nul\0inside", 10), "next"}));
}

TEST(ArchiveReadString, LinesOfAMegabyteAreReadWhole)
{
    std::string big(1 << 20, '7');
    big[12345] = ' ';
    std::string bytes = big + "\r\n" + big + "x\nend";
    Lines lines = AllLines(bytes);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), big.size());
    EXPECT_TRUE(lines[0] == big);
    EXPECT_TRUE(lines[1] == big + "x");
    EXPECT_EQ(lines[2], "end");
}

TEST(ArchiveReadInt32, LittleEndianAndFailsWhenShort)
{
    CArchive ar(CArchive::load, std::string("\x01\x02\x03\x04\xff\xff\xff\xff\x00\x00\x00\x80rest\n", 17));
    int32_t v = 0;
    ASSERT_TRUE(ar.ReadInt32(v));
    EXPECT_EQ(v, 0x04030201);
    ASSERT_TRUE(ar.ReadInt32(v));
    EXPECT_EQ(v, -1);
    ASSERT_TRUE(ar.ReadInt32(v));
    EXPECT_EQ(v, INT32_MIN);
    std::string line;
    ASSERT_TRUE(ar.ReadString(line));
    EXPECT_EQ(line, "rest");
    EXPECT_FALSE(ar.HasError());

    for (size_t size = 0; size <= 3; ++size) {
        CArchive shortAr(CArchive::load, std::string("ZAR", size));
        int32_t value = 77;
        EXPECT_FALSE(shortAr.ReadInt32(value)) << size << " bytes";
        EXPECT_EQ(value, 77) << size << " bytes";
        EXPECT_TRUE(shortAr.HasError()) << size << " bytes";
        EXPECT_FALSE(shortAr.Error().empty());
        // Nothing was consumed: the bytes are still there to read.
        EXPECT_EQ(shortAr.Remaining(), size);
    }
}

TEST(ArchiveRead, RawBytesFewerAtTheEnd)
{
    CArchive ar(CArchive::load, "abcdef");
    char buffer[8] = {};
    EXPECT_EQ(ar.Read(buffer, 4), 4u);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(ar.Read(buffer, 8), 2u);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(ar.Read(buffer, 8), 0u);
    EXPECT_FALSE(ar.HasError());

    CArchive store(CArchive::store);
    EXPECT_TRUE(store.IsStoring());
    EXPECT_FALSE(store.IsLoading());
    store.WriteString("ZARNIX4\r\n");
    store.WriteString("");
    store.WriteString(std::string("\0\r\n", 3));
    EXPECT_EQ(store.Bytes(), std::string("ZARNIX4\r\n\0\r\n", 12));

    // The first refusal is the one reported.
    CArchive errors(CArchive::load);
    errors.SetError("first");
    errors.SetError("second");
    EXPECT_EQ(errors.Error(), "first");
}

TEST(WriteFileAtomically, WritesExactlyAndReplacesWithoutLeftovers)
{
    TempDir dir;
    const std::string target = dir.File("doc.zarnix");
    std::string error;
    const std::string first = Pattern(5000);
    ASSERT_TRUE(WriteFileAtomically(target, first, error)) << error;
    EXPECT_TRUE(ReadFile(target) == first);

    // A shorter file replaces a longer one completely.
    ASSERT_TRUE(WriteFileAtomically(target, "short\r\n", error)) << error;
    EXPECT_EQ(ReadFile(target), "short\r\n");
    ASSERT_TRUE(WriteFileAtomically(target, "", error)) << error;
    EXPECT_TRUE(FileExists(target));
    EXPECT_EQ(ReadFile(target), "");
    // Larger than the write buffer.
    const std::string big = Pattern(3 * 1024 * 1024 + 17);
    ASSERT_TRUE(WriteFileAtomically(target, big, error)) << error;
    EXPECT_TRUE(ReadFile(target) == big);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.zarnix"});

    std::string read;
    ASSERT_TRUE(ReadWholeFile(target, read, error)) << error;
    EXPECT_TRUE(read == big);
}

TEST(WriteFileAtomically, FailsWhereNoFileCanBeWritten)
{
    TempDir dir;
    WriteFile(dir.File("plain"), "keep me");
    std::filesystem::create_directory(dir.File("folder"));
    std::string error;

    EXPECT_FALSE(WriteFileAtomically(dir.File("missing/doc.zarnix"), "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(FileExists(dir.File("missing")));

    error.clear();
    EXPECT_FALSE(WriteFileAtomically(dir.File("folder"), "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));

    error.clear();
    EXPECT_FALSE(WriteFileAtomically(dir.File("plain/doc.zarnix"), "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(dir.File("plain")), "keep me");

    error.clear();
    EXPECT_FALSE(WriteFileAtomically("", "x", error));
    EXPECT_FALSE(error.empty());

    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder", "plain"}));
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileIntact)
{
    TempDir dir;
    const std::string target = dir.File("doc.zarnix");
    const std::string old = "ZARNIX4\r\nthe previous document\r\n";
    WriteFile(target, old);

    // One write larger than the buffer, and one that fails only when flushed at the end.
    for (size_t size : {size_t{3 * 1024 * 1024}, size_t{6000}}) {
        std::string error;
        bool written;
        {
            FileSizeLimit limit(4096);
            ASSERT_TRUE(limit.Active());
            written = WriteFileAtomically(target, Pattern(size), error);
        }
        EXPECT_FALSE(written) << size << " bytes past a 4096-byte limit were reported as written";
        EXPECT_FALSE(error.empty()) << size;
        EXPECT_EQ(ReadFile(target), old) << size;
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.zarnix"}) << size;
    }

    // No old file: a failed write leaves nothing, not a partial file.
    const std::string fresh = dir.File("fresh.zarnix");
    std::string error;
    bool written;
    {
        FileSizeLimit limit(4096);
        written = WriteFileAtomically(fresh, Pattern(10000), error);
    }
    EXPECT_FALSE(written);
    EXPECT_FALSE(FileExists(fresh));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.zarnix"});
}

TEST(WriteFileAtomically, KeepsThePermissionsOfTheReplacedFile)
{
    TempDir dir;
    const std::string target = dir.File("doc.zarnix");
    WriteFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(target, "new", error)) << error;
    EXPECT_EQ(ModeOf(target), 0640u);
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    ASSERT_TRUE(WriteFileAtomically(target, "newer", error)) << error;
    EXPECT_EQ(ModeOf(target), 0604u);

    // A new file gets what the umask allows, like any newly created file.
    mode_t oldMask = ::umask(027);
    bool created = WriteFileAtomically(dir.File("new.zarnix"), "x", error);
    ::umask(oldMask);
    ASSERT_TRUE(created) << error;
    EXPECT_EQ(ModeOf(dir.File("new.zarnix")), 0640u);
}

TEST(CFileTest, PiecesAssembleInOrder)
{
    TempDir dir;
    const std::string target = dir.File("out.bin");
    const std::string big = Pattern(2 * 1024 * 1024 + 3);
    std::string expected;
    CFile file;
    ASSERT_TRUE(file.Open(target)) << file.Error();
    EXPECT_TRUE(file.IsOpen());
    // Nothing appears under the target's name before Close.
    EXPECT_FALSE(FileExists(target));
    for (int round = 0; round < 3; ++round) {
        std::string small = "line " + std::to_string(round) + "\r\n";
        file.Write(small);
        expected += small;
        std::string chunk = big.substr(static_cast<size_t>(round) * 700000, 700000);
        file.Write(chunk.data(), chunk.size());
        expected += chunk;
    }
    file.Write(big);
    expected += big;
    ASSERT_TRUE(file.Close()) << file.Error();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(ReadFile(target) == expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bin"});
    EXPECT_FALSE(file.Close()) << "closing twice reports failure";
}

TEST(CFileTest, AbandonedWritesLeaveNothingBehind)
{
    TempDir dir;
    const std::string target = dir.File("doc.zarnix");
    {
        CFile file;
        ASSERT_TRUE(file.Open(target));
        file.Write("partial");
    }  // destroyed without Close
    EXPECT_FALSE(FileExists(target));
    EXPECT_TRUE(dir.Entries().empty());

    WriteFile(target, "old");
    CFile file;
    ASSERT_TRUE(file.Open(target));
    file.Write(Pattern(3 * 1024 * 1024));
    file.Abort();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.zarnix"});

    CFile missing;
    EXPECT_FALSE(missing.Open(dir.File("no/such/folder.zarnix")));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.Error().empty());
}

TEST(ReadWholeFile, ExactBytesOrAnError)
{
    TempDir dir;
    const std::string bytes = Pattern(70000);  // more than one read chunk
    WriteFile(dir.File("data"), bytes);
    std::string read = "stale";
    std::string error;
    ASSERT_TRUE(ReadWholeFile(dir.File("data"), read, error)) << error;
    EXPECT_TRUE(read == bytes);

    WriteFile(dir.File("empty"), "");
    ASSERT_TRUE(ReadWholeFile(dir.File("empty"), read, error)) << error;
    EXPECT_EQ(read, "");

    error.clear();
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), read, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(ReadWholeFile(dir.Path().string(), read, error));
    EXPECT_FALSE(error.empty());
}
