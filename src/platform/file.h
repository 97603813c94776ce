// Files as the program writes them: every write goes to a temporary file beside the
// target, which replaces the target only when the whole file was written. A failed or
// abandoned write therefore never leaves a partial file, and never damages an older one.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Reads a whole file. On failure `error` says why (in words, without the file name).
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Writes `bytes` to `path` through a temporary file and a rename.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// A buffered output file with the atomic replace described above.
class CFile {
public:
    CFile() = default;
    ~CFile();  // abandons an open file: the temporary file is removed
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Creates the temporary file in the target's folder. False when that is not possible.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    // Appends bytes; a write error is remembered and reported by Close.
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }

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
    void Flush();

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_tempPath;
    std::vector<char> m_buffer;
    size_t m_used = 0;
    bool m_failed = false;
    std::string m_error;
};
