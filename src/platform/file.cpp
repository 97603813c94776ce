#include "platform/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 1 << 20;
constexpr size_t kDirectWriteSize = 1 << 16;
// The longest file name (one path component) the usual Linux file systems take, in bytes.
constexpr size_t kNameMax = 255;
constexpr int kMaxLinkHops = 40;

const volatile std::sig_atomic_t* g_interruptFlag = nullptr;

bool Interrupted()
{
    return g_interruptFlag != nullptr && *g_interruptFlag != 0;
}

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

// What an existing name is when it is not a regular file, in words.
const char* NotAFileReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a FIFO (named pipe), not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device, not a regular file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a regular file";
    return "it is not a regular file";
}

// A name for the temporary file in the target's folder, hidden and unlikely to collide, and
// never longer than a file name may be: a long target name is shortened in the temporary
// name (at a character boundary), never the other way round.
std::string TempPathFor(const std::string& path)
{
    std::filesystem::path target(path);
    static std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix = ".tmp-";
    for (int i = 0; i < 8; ++i)
        suffix += digits[generator() % 36];
    std::string base = target.filename().string();
    const size_t room = kNameMax - 1 - suffix.size();
    if (base.size() > room) {
        size_t cut = room;
        // Not in the middle of a UTF-8 sequence: continuation bytes are 10xxxxxx.
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
        base.resize(cut);
    }
    return (target.parent_path() / ("." + base + suffix)).string();
}

}  // namespace

void SetWriteInterruptFlag(const volatile std::sig_atomic_t* flag)
{
    g_interruptFlag = flag;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    // Only a regular file is opened: opening a FIFO would wait for a writer, and a device
    // may never end or may act on being opened.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = NotAFileReason(st.st_mode);
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxDocumentFileSize) {
        error = "the file is too large to be a document";
        return false;
    }
    // Non-blocking, in case the name was replaced by a FIFO after the check.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = ErrnoText(errno);
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISREG(st.st_mode) ? ErrnoText(errno) : NotAFileReason(st.st_mode);
        ::close(fd);
        return false;
    }
    bytes.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = ErrnoText(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        // The file may have grown since its size was checked.
        if (bytes.size() + static_cast<size_t>(n) > kMaxDocumentFileSize) {
            ::close(fd);
            error = "the file is too large to be a document";
            return false;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool ResolveWriteTarget(const std::string& path, std::string& resolved, std::string& error)
{
    std::filesystem::path current(path);
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            resolved = current.string();
            return true;
        }
        std::error_code ec;
        std::filesystem::path next = std::filesystem::read_symlink(current, ec);
        if (ec) {
            error = ec.message();
            return false;
        }
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    error = ErrnoText(ELOOP);
    return false;
}

bool CheckWriteTarget(const std::string& path, std::string& error)
{
    if (path.empty()) {
        error = "no file name given";
        return false;
    }
    std::string target;
    if (!ResolveWriteTarget(path, target, error))
        return false;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;  // a new file; creating it shows whether the folder takes it
        error = ErrnoText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = NotAFileReason(st.st_mode);
        return false;
    }
    // The file is replaced by a rename, which the system allows even for a read-only file
    // (and root may write anything); the program keeps the promise of the read-only mark.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        error = "the file is read-only";
        return false;
    }
    if (::access(target.c_str(), W_OK) != 0) {
        error = ErrnoText(errno);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error)
{
    CFile file;
    if (!file.Open(path)) {
        error = file.Error();
        return false;
    }
    file.Write(bytes);
    if (!file.Close()) {
        error = file.Error();
        return false;
    }
    return true;
}

CFile::~CFile()
{
    Abort();
}

bool CFile::Open(const std::string& path)
{
    Abort();
    m_error.clear();
    m_failed = false;
    m_used = 0;
    if (!CheckWriteTarget(path, m_error))
        return false;
    std::string target;
    if (!ResolveWriteTarget(path, target, m_error))
        return false;
    m_tempPath = TempPathFor(target);
    int fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_error = ErrnoText(errno);
        m_tempPath.clear();
        return false;
    }
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        m_error = ErrnoText(errno);
        ::close(fd);
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_path = path;
    m_targetPath = target;
    m_buffer.resize(kBufferSize);
    return true;
}

void CFile::Flush()
{
    if (!m_file || m_used == 0)
        return;
    if (!m_failed && std::fwrite(m_buffer.data(), 1, m_used, m_file) != m_used) {
        m_failed = true;
        m_error = ErrnoText(errno);
    }
    m_used = 0;
}

void CFile::Write(const void* data, size_t size)
{
    if (!m_file || m_failed)
        return;
    const char* p = static_cast<const char*>(data);
    // A large block (a part of a path formatted on another thread, rows of a picture) goes
    // to the file as it is, without a copy into the buffer.
    if (size >= kDirectWriteSize || size >= m_buffer.size()) {
        Flush();
        if (!m_failed && std::fwrite(p, 1, size, m_file) != size) {
            m_failed = true;
            m_error = ErrnoText(errno);
        }
        return;
    }
    if (m_used + size > m_buffer.size())
        Flush();
    std::memcpy(m_buffer.data() + m_used, p, size);
    m_used += size;
}

bool CFile::Close()
{
    if (!m_file)
        return false;
    Flush();
    if (!m_failed && std::fflush(m_file) != 0) {
        m_failed = true;
        m_error = ErrnoText(errno);
    }
    // On the disk before it replaces the old file, so a power cut leaves one or the other.
    if (!m_failed && ::fsync(::fileno(m_file)) != 0 && errno != EINVAL) {
        m_failed = true;
        m_error = ErrnoText(errno);
    }
    // The new file keeps the owner, group and permissions of the file it replaces, as far as
    // this process may set them, or takes those a newly created file would get.
    struct stat existing {};
    mode_t mode;
    if (::stat(m_targetPath.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
        const int fd = ::fileno(m_file);
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
            (void)!::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(::fileno(m_file), mode);
    if (std::fclose(m_file) != 0 && !m_failed) {
        m_failed = true;
        m_error = ErrnoText(errno);
    }
    m_file = nullptr;
    if (!m_failed && Interrupted()) {
        m_failed = true;
        m_error = "interrupted";
    }
    if (!m_failed)
        ReplaceTarget();
    if (m_failed && !m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return !m_failed;
}

bool CFile::ReplaceTarget()
{
    // A file with other names (hard links) is written in place, so that every name shows
    // the new content; a rename would give only this name the new file.
    struct stat st {};
    if (::stat(m_targetPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink > 1)
        return OverwriteInPlace();
    if (std::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0) {
        m_failed = true;
        m_error = ErrnoText(errno);
        return false;
    }
    return true;
}

bool CFile::OverwriteInPlace()
{
    auto fail = [this](int err) {
        m_failed = true;
        m_error = ErrnoText(err);
        return false;
    };
    const int in = ::open(m_tempPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        const int err = errno;
        ::close(in);
        return fail(err);
    }
    const int out = ::open(m_targetPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return fail(err);
    }
    // The room for the new content is taken before a byte of the old one is overwritten, so a
    // full disk refuses here and leaves the old content whole.
    const int reserved = ::posix_fallocate(out, 0, st.st_size);
    if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
        ::close(in);
        ::close(out);
        return fail(reserved);
    }
    std::vector<char> chunk(kBufferSize);
    int err = 0;
    bool begun = false;
    for (;;) {
        const ssize_t n = ::read(in, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            begun = true;
            const ssize_t w = ::write(out, chunk.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                err = errno;
                break;
            }
            done += w;
        }
        if (err != 0)
            break;
    }
    if (err == 0 && ::ftruncate(out, st.st_size) != 0)
        err = errno;
    if (err == 0 && ::fsync(out) != 0 && errno != EINVAL)
        err = errno;
    if (::close(out) != 0 && err == 0)
        err = errno;
    ::close(in);
    if (err != 0 && begun) {
        // The old content is partly overwritten: the complete new one is kept, and named.
        fail(err);
        m_error += "; the file was only partly rewritten, its complete new content is in '" + m_tempPath + "'";
        m_tempPath.clear();
        return false;
    }
    if (err != 0)
        return fail(err);
    ::unlink(m_tempPath.c_str());
    return true;
}

void CFile::Abort()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_used = 0;
}
