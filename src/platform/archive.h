// A byte-stream archive over an in-memory buffer: documents are read whole into memory
// and written whole, then handed to the file layer (see file.h) for an atomic replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CArchive {
public:
    enum Mode { load, store };

    // An archive for storing starts empty; one for loading reads `bytes`.
    explicit CArchive(Mode mode, std::string bytes = {});

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }

    // Storing: appends the bytes of `text`, adding nothing.
    void WriteString(std::string_view text);
    const std::string& Bytes() const { return m_bytes; }

    // Loading: the next line without its terminator (LF or CR LF). A last line without a
    // terminator is still a line. False, with an empty line, at end of file.
    bool ReadString(std::string& line);
    // Loading: four raw bytes as a little-endian int32. Fails at end of file, when fewer
    // than four bytes remain; then nothing is consumed and the archive records the error.
    bool ReadInt32(int32_t& value);
    // Loading: up to `count` raw bytes; returns how many were read.
    size_t Read(void* buffer, size_t count);
    // Loading: what has not been read yet.
    size_t Remaining() const { return m_bytes.size() - m_pos; }

    // A refusal found while reading: the first message is kept; the load is then abandoned.
    void SetError(std::string message);
    bool HasError() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }

private:
    Mode m_mode;
    std::string m_bytes;
    size_t m_pos = 0;
    std::string m_error;
};
