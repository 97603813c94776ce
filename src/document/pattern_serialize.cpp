// Reading and writing the pattern section of a document.
//
// Text layout (each line ends with CR LF): "ZARNIX4"; the segment count n; n + 1 lines
// "x y" ("%f %f"); n lines of knee flags ("%d"). The older binary layout, read only: int32 n,
// n + 1 pairs of float32, n flag bytes, all little-endian. The two are told apart by the
// first four bytes, "ZARN" for text.
#include <cmath>
#include <cstring>

#include "document/pattern.h"
#include "platform/archive.h"
#include "platform/text_format.h"

namespace {

constexpr int32_t kTextMagic = 'Z' | ('A' << 8) | ('R' << 16) | ('N' << 24);

bool CountInRange(int32_t count)
{
    return count >= PATTERN_MIN_SEGMENTS && count <= PATTERN_MAX_SEGMENTS;
}

std::string CountError(int32_t count)
{
    return "the segment count " + FormatInt(count) + " is outside 2 to 32";
}

}  // namespace

void CPattern::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        std::string text = "ZARNIX4\r\n";
        AppendInt(text, m_count);
        text += "\r\n";
        for (int i = 0; i <= m_count; ++i) {
            AppendFixed(text, m_points[i].x, 6);
            text += ' ';
            AppendFixed(text, m_points[i].y, 6);
            text += "\r\n";
        }
        for (int i = 0; i < m_count; ++i) {
            AppendInt(text, m_kneeFlags[i]);
            text += "\r\n";
        }
        ar.WriteString(text);
        return;
    }

    int32_t first = 0;
    if (!ar.ReadInt32(first))
        return;
    if (first == kTextMagic)
        SerializeText(ar);
    else
        SerializeLegacy(ar, first);
    if (!ar.HasError())
        UpdateKnees();
}

void CPattern::SerializeText(CArchive& ar)
{
    std::string line;
    ar.ReadString(line);  // the rest of the magic line, not compared

    ar.ReadString(line);
    int32_t count = 0;
    if (!CScanner(line).ScanInt(count)) {
        ar.SetError("the segment count line \"" + line.substr(0, 40) + "\" is not a number");
        return;
    }
    if (!CountInRange(count)) {
        ar.SetError(CountError(count));
        return;
    }
    m_count = count;

    // A number that is not converted leaves its field as it was.
    for (int i = 0; i <= m_count; ++i) {
        ar.ReadString(line);
        CScanner scan(line);
        float x = 0.0f;
        float y = 0.0f;
        if (!scan.ScanFloat(x))
            continue;
        m_points[i].x = x;
        scan.SkipSpace();
        if (scan.ScanFloat(y))
            m_points[i].y = y;
    }
    for (int i = 0; i < m_count; ++i) {
        ar.ReadString(line);
        int32_t flags = 0;
        if (CScanner(line).ScanInt(flags))
            m_kneeFlags[i] = static_cast<uint8_t>(flags & 0xFF);
    }
}

void CPattern::SerializeLegacy(CArchive& ar, int32_t count)
{
    if (!CountInRange(count)) {
        ar.SetError(CountError(count) + " (or the file is not a Zarnix document)");
        return;
    }
    m_count = count;
    // Only whole, finite numbers are taken; a file that ends early leaves the rest as it was.
    for (int i = 0; i <= m_count; ++i) {
        for (float* field : {&m_points[i].x, &m_points[i].y}) {
            unsigned char b[4];
            if (ar.Read(b, 4) != 4)
                return;
            uint32_t bits = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                            (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
            float v;
            std::memcpy(&v, &bits, sizeof v);
            if (std::isfinite(v))
                *field = v;
        }
    }
    for (int i = 0; i < m_count; ++i) {
        unsigned char flag;
        if (ar.Read(&flag, 1) != 1)
            return;
        m_kneeFlags[i] = flag;
    }
}
