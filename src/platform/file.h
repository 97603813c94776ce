// Files as the program writes them: every write goes to a temporary file beside the
// target, which replaces the target only when the whole file was written. A failed or
// abandoned write therefore never leaves a partial file, and never damages an older one.
#pragma once

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Documents are a few kilobytes; a file larger than this is refused from its size alone.
constexpr size_t kMaxDocumentFileSize = size_t{256} << 20;

// Reads a whole regular file of at most kMaxDocumentFileSize bytes. A folder, FIFO, device or
// socket is refused without reading (and without waiting for a writer), as is a larger file.
// On failure `error` says why (in words, without the file name).
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// The name a write to `path` replaces: a symbolic link (or a chain of them) is followed to the
// name it points to, which need not exist yet, so the link itself stays a link. False with
// `error` for a loop of links.
bool ResolveWriteTarget(const std::string& path, std::string& resolved, std::string& error);
// True when an existing `path` (after following links) may be replaced by a write: it is a
// regular file that is not read-only (no write permission for anyone; root is refused too)
// and that this process may write. A name that does not exist yet is fine. Nothing is
// written or created either way.
bool CheckWriteTarget(const std::string& path, std::string& error);

// A flag, set by a signal handler, that stops every write in progress: a file being written
// while it is set is abandoned instead of replacing its target. Null for none.
void SetWriteInterruptFlag(const volatile std::sig_atomic_t* flag);

// Writes `bytes` to `path` through a temporary file and a rename.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// A buffered output file with the atomic replace described above. A target with other hard
// links is written in place once the complete new content is on the disk, so that every
// name of the file shows the new content; a symbolic link is written through.
class CFile {
public:
    CFile() = default;
    ~CFile();  // abandons an open file: the temporary file is removed
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Checks the target (CheckWriteTarget) and creates the temporary file beside the file
    // the name finally points to. False, with nothing created, when either is not possible.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    // Appends bytes; a write error is remembered and reported by Close.
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Room for up to `size` bytes (at most 4096) in the write buffer, to be filled in place
    // and then handed over with Commit(count), count <= size; null when the file is not
    // open or has failed (nothing is written then).
    char* Reserve(size_t size)
    {
        if (m_file == nullptr || m_failed || size > kMaxReserve)
            return nullptr;
        if (m_used + size > m_buffer.size())
            Flush();
        return m_failed ? nullptr : m_buffer.data() + m_used;
    }
    void Commit(size_t count) { m_used += count; }

    // Flushes and moves the temporary file over the target. False on any write error,
    // in which case nothing is left behind.
    bool Close();
    // Discards everything written: the temporary file is removed, the target untouched.
    void Abort();

    // True once a write has failed; later writes are dropped, and Error() gives the first
    // failure's reason.
    bool Failed() const { return m_failed; }
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }

private:
    static constexpr size_t kMaxReserve = 4096;
    void Flush();

    bool ReplaceTarget();
    bool OverwriteInPlace();

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_targetPath;  // m_path with its symbolic links followed
    std::string m_tempPath;
    std::vector<char> m_buffer;
    size_t m_used = 0;
    bool m_failed = false;
    std::string m_error;
};
