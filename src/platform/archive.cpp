#include "platform/archive.h"

#include <cstring>
#include <utility>

CArchive::CArchive(Mode mode, std::string bytes) : m_mode(mode), m_bytes(std::move(bytes)) {}

void CArchive::WriteString(std::string_view text)
{
    m_bytes.append(text);
}

bool CArchive::ReadString(std::string& line)
{
    line.clear();
    if (m_pos >= m_bytes.size())
        return false;
    size_t end = m_bytes.find('\n', m_pos);
    size_t next = end == std::string::npos ? m_bytes.size() : end + 1;
    if (end == std::string::npos)
        end = m_bytes.size();
    // A CR directly before the LF belongs to the terminator; any other CR stays in the line.
    size_t lineEnd = end;
    if (end < m_bytes.size() && lineEnd > m_pos && m_bytes[lineEnd - 1] == '\r')
        --lineEnd;
    line.assign(m_bytes, m_pos, lineEnd - m_pos);
    m_pos = next;
    return true;
}

bool CArchive::ReadInt32(int32_t& value)
{
    if (Remaining() < 4) {
        SetError("the file ends too early");
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(m_bytes.data() + m_pos);
    uint32_t v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                 (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    value = static_cast<int32_t>(v);
    m_pos += 4;
    return true;
}

size_t CArchive::Read(void* buffer, size_t count)
{
    size_t n = count < Remaining() ? count : Remaining();
    if (n > 0)
        std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    return n;
}

void CArchive::SetError(std::string message)
{
    if (m_error.empty())
        m_error = std::move(message);
}
