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
// Documents are a few kilobytes; anything beyond this is not one (and /dev/zero never ends).
constexpr size_t kMaxReadSize = size_t{256} << 20;

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

// A name for the temporary file in the target's folder, hidden and unlikely to collide.
std::string TempPathFor(const std::string& path)
{
    std::filesystem::path target(path);
    std::string name = ".";
    name += target.filename().string();
    name += ".tmp-";
    static std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; i < 8; ++i)
        name += digits[generator() % 36];
    return (target.parent_path() / name).string();
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "it is a folder, not a file";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = ErrnoText(errno);
        return false;
    }
    bytes.clear();
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (bytes.size() + n > kMaxReadSize) {
            std::fclose(f);
            error = "the file is too large to be a document";
            return false;
        }
        bytes.append(chunk, n);
    }
    bool failed = std::ferror(f) != 0;
    int err = errno;
    std::fclose(f);
    if (failed) {
        error = ErrnoText(err);
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
    std::error_code ec;
    if (path.empty()) {
        m_error = "no file name given";
        return false;
    }
    if (std::filesystem::is_directory(path, ec)) {
        m_error = "a folder of that name exists";
        return false;
    }
    // An existing target must be writable, as it would be if it were opened for writing.
    if (std::filesystem::exists(path, ec) && ::access(path.c_str(), W_OK) != 0) {
        m_error = ErrnoText(errno);
        return false;
    }
    m_tempPath = TempPathFor(path);
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
    if (size >= m_buffer.size()) {
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
    // The new file keeps the permissions of the file it replaces, or takes those a newly
    // created file would get.
    struct stat existing {};
    mode_t mode;
    if (::stat(m_path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
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
    if (!m_failed && std::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        m_failed = true;
        m_error = ErrnoText(errno);
    }
    if (m_failed)
        ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    return !m_failed;
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
