// Writing and reading files safely: symbolic and hard links, names that are not regular
// files, read-only files, owner and permissions, long names, and reads that never hang.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/test_util.h"
#include "export/export_target.h"
#include "platform/file.h"

using testutil::FileExists;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;

namespace {

bool IsLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A Unix socket bound at `path`; closed (the name stays) when the object goes.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() < sizeof address.sun_path)
            path.copy(address.sun_path, path.size());
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~BoundSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Bound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

// Neither a save nor an export writes to `path`, and both say why in words.
void ExpectRefused(const std::string& path, const std::string& words)
{
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, "new", error)) << path;
    EXPECT_NE(error.find(words), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(CheckExportTarget(path, &error)) << path;
    EXPECT_NE(error.find(words), std::string::npos) << error;
}

TEST(FileSafety, SymbolicLinksAreWrittenThroughAndStayLinks)
{
    TempDir dir;
    WriteFile(dir.File("real.zarnix"), "old");
    ASSERT_EQ(::symlink("real.zarnix", dir.File("link.zarnix").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("link.zarnix").c_str(), dir.File("chain.zarnix").c_str()), 0);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir.File("chain.zarnix"), "new", error)) << error;
    EXPECT_EQ(ReadFile(dir.File("real.zarnix")), "new");
    EXPECT_TRUE(IsLink(dir.File("link.zarnix")));
    EXPECT_TRUE(IsLink(dir.File("chain.zarnix")));

    // A dangling link: the file it names is created, the link stays.
    ASSERT_EQ(::symlink("created.zarnix", dir.File("dangling.zarnix").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("dangling.zarnix"), "fresh", error)) << error;
    EXPECT_EQ(ReadFile(dir.File("created.zarnix")), "fresh");
    EXPECT_TRUE(IsLink(dir.File("dangling.zarnix")));

    // A loop of links is refused, and nothing is created.
    ASSERT_EQ(::symlink("loop_b", dir.File("loop_a").c_str()), 0);
    ASSERT_EQ(::symlink("loop_a", dir.File("loop_b").c_str()), 0);
    EXPECT_FALSE(WriteFileAtomically(dir.File("loop_a"), "x", error));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"chain.zarnix", "created.zarnix", "dangling.zarnix", "link.zarnix",
                                                       "loop_a", "loop_b", "real.zarnix"}));
}

TEST(FileSafety, EveryNameOfAHardLinkedFileShowsTheNewContent)
{
    TempDir dir;
    WriteFile(dir.File("doc.zarnix"), "the old content, longer than the new one");
    ASSERT_EQ(::link(dir.File("doc.zarnix").c_str(), dir.File("other_name.zarnix").c_str()), 0);
    ASSERT_EQ(::chmod(dir.File("doc.zarnix").c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir.File("doc.zarnix"), "new", error)) << error;
    EXPECT_EQ(ReadFile(dir.File("other_name.zarnix")), "new");
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("doc.zarnix").c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"doc.zarnix", "other_name.zarnix"}));
}

TEST(FileSafety, NamesThatAreNotRegularFilesAreRefusedBeforeWriting)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0666), 0);
    ExpectRefused(dir.File("fifo"), "FIFO");
    ASSERT_EQ(::symlink("fifo", dir.File("fifo_link").c_str()), 0);
    ExpectRefused(dir.File("fifo_link"), "FIFO");
    std::filesystem::create_directory(dir.File("folder"));
    ExpectRefused(dir.File("folder"), "folder");
    BoundSocket socket(dir.File("socket"));
    ASSERT_TRUE(socket.Bound());
    ExpectRefused(dir.File("socket"), "socket");
    // Nothing was created beside them, and they are what they were.
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"fifo", "fifo_link", "folder", "socket"}));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(FileSafety, ADeviceIsRefusedBeforeWriting)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    TempDir dir;
    // The null device's numbers: writing to it would lose the document without a word.
    ASSERT_EQ(::mknod(dir.File("device").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ExpectRefused(dir.File("device"), "device");
    std::string bytes, error;
    EXPECT_FALSE(ReadWholeFile(dir.File("device"), bytes, error));
    EXPECT_NE(error.find("device"), std::string::npos) << error;
}

TEST(FileSafety, AReadOnlyFileIsRefusedBySaveAndExportAlikeEvenForRoot)
{
    TempDir dir;
    WriteFile(dir.File("doc.zarnix"), "keep me");
    ASSERT_EQ(::chmod(dir.File("doc.zarnix").c_str(), 0444), 0);
    ExpectRefused(dir.File("doc.zarnix"), "read-only");
    EXPECT_EQ(ReadFile(dir.File("doc.zarnix")), "keep me");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.zarnix"});
}

TEST(FileSafety, TheReplacedFileKeepsItsOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another owner needs root";
    TempDir dir;
    const std::string target = dir.File("doc.zarnix");
    WriteFile(target, "old");
    ASSERT_EQ(::chown(target.c_str(), 4321, 8765), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0664), 0);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(target, "new", error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}

TEST(FileSafety, NamesUpToTheFileSystemLimitWork)
{
    TempDir dir;
    for (size_t length : {size_t{250}, size_t{255}}) {
        const std::string name = std::string(length - 7, 'n') + ".zarnix";
        std::string error;
        ASSERT_TRUE(WriteFileAtomically(dir.File(name), "first", error)) << length << ": " << error;
        ASSERT_TRUE(WriteFileAtomically(dir.File(name), "second", error)) << length << ": " << error;
        EXPECT_EQ(ReadFile(dir.File(name)), "second");
    }
    // A name of multi-byte characters is shortened in the temporary name whole characters at a time.
    std::string wide;
    while (wide.size() + 2 <= 248)
        wide += "\xC3\xA9";  // é
    wide += ".zarnix";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir.File(wide), "x", error)) << error;
    EXPECT_EQ(dir.Entries().size(), 3u);
}

TEST(FileSafety, ReadingTakesOnlyRegularFilesOfADocumentsSize)
{
    TempDir dir;
    std::string bytes, error;
    // A FIFO with no writer: refused at once instead of waiting.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0666), 0);
    EXPECT_FALSE(ReadWholeFile(dir.File("fifo"), bytes, error));
    EXPECT_NE(error.find("FIFO"), std::string::npos) << error;
    EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, error));
    EXPECT_NE(error.find("device"), std::string::npos) << error;
    BoundSocket socket(dir.File("socket"));
    ASSERT_TRUE(socket.Bound());
    EXPECT_FALSE(ReadWholeFile(dir.File("socket"), bytes, error));
    EXPECT_NE(error.find("socket"), std::string::npos) << error;

    // Too large: refused from its size, before a byte is read (the file is sparse, so
    // reading it would take a while).
    const std::string large = dir.File("large.zarnix");
    WriteFile(large, "ZARNIX4\r\n");
    ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(kMaxDocumentFileSize) + 1), 0);
    EXPECT_FALSE(ReadWholeFile(large, bytes, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    EXPECT_TRUE(bytes.empty());
}

}  // namespace
