#include "export/illustrator_text.h"

#include <atomic>

#include "platform/text_format.h"

namespace {

// Every piece but the first begins with its own line end; none ends with one, so the next
// piece or number continues the line or starts a new one as it needs.
struct Piece {
    int id;
    std::string_view text;
};

constexpr Piece kPieces[] = {
    {AI_TEXT_HEADER,
     "%!PS-Adobe-3.0\r\n"
     "%%Creator: Zarnix 3.0 by the Zarnix authors\r\n"
     "%%About: Zarnix line fractals, 1 March 2026, https://zarnix.example.org/\r\n"
     "%%Title: Zarnix Image"},
    {AI_TEXT_CREATION_DATE, "\r\n%%CreationDate: "},
    {AI_TEXT_PROLOG,
     "\r\n%%BeginProlog"
     "\r\n%%IncludeResource: procset Adobe_level2_AI5 1.2 0"
     "\r\n%%IncludeResource: procset Adobe_typography_AI5 1.0 0"
     "\r\n%%IncludeResource: procset Adobe_ColorImage_AI6 1.1 0"
     "\r\n%%IncludeResource: procset Adobe_Illustrator_AI5 1.0 0"
     "\r\n%%EndProlog"},
    {AI_TEXT_SETUP,
     "\r\n%%BeginSetup"
     "\r\nAdobe_level2_AI5 /initialize get exec"
     "\r\nAdobe_Illustrator_AI5_vars Adobe_Illustrator_AI5 Adobe_typography_AI5 /initialize get exec"
     "\r\nAdobe_ColorImage_AI6 /initialize get exec"
     "\r\nAdobe_Illustrator_AI5 /initialize get exec"
     "\r\n%%EndSetup"},
    {AI_TEXT_BOUNDING_BOX, "\r\n%%BoundingBox: "},
    {AI_TEXT_HIRES_BOUNDING_BOX, "\r\n%%HiResBoundingBox: "},
    {AI_TEXT_COMMENTS_END,
     "\r\n%AI3_ColorUsage: Color"
     "\r\n%AI3_DocumentPreview: None"
     "\r\n%AI5_NumLayers: 1"
     "\r\n%AI5_FileFormat 2.0"
     "\r\n%%EndComments"},
    {AI_TEXT_LAYER_BEGIN, "\r\n%AI5_BeginLayer\r\n1 1 1 1 0 0 0 0 0 0 Lb"},
    {AI_TEXT_LAYER_END, "\r\nLB\r\n%AI5_EndLayer--"},
    {AI_TEXT_TRAILER,
     "\r\n%%PageTrailer"
     "\r\ngsave annotatepage grestore showpage"
     "\r\n%%Trailer"
     "\r\nAdobe_Illustrator_AI5 /terminate get exec"
     "\r\nAdobe_ColorImage_AI6 /terminate get exec"
     "\r\nAdobe_typography_AI5 /terminate get exec"
     "\r\nAdobe_level2_AI5 /terminate get exec"
     "\r\n%%EOF"},
    {AI_TEXT_EVEN_ODD_FILL, "\r\n1 XR\r\n0 O"},
    {AI_TEXT_STROKE_OVERPRINT, "\r\n0 R"},
    {AI_TEXT_LINE_STYLE, "\r\n0 J\r\n0 j\r\n0.5 w"},
    {AI_TEXT_STROKE_PLAIN, "\r\n0.2500 0.0000 0.2500 0.0000 K"},
    {AI_TEXT_STROKE_REVERSED, "\r\n0.1000 0.2500 0.1500 0.0000 K"},
    {AI_TEXT_STROKE_HIDDEN, "\r\n0.0000 0.0000 0.0000 0.1000 K"},
    {AI_TEXT_STROKE_BLACK, "\r\n0.0000 0.0000 0.0000 1.0000 K"},
    {AI_TEXT_FILL_GREY, "\r\n0.0000 0.0000 0.0000 0.6000 k"},
    {AI_TEXT_DASH_SOLID, "\r\n[]0 d"},
    {AI_TEXT_DASH_MIRRORED, "\r\n[15.0 15.0]0 d"},
    {AI_TEXT_DASH_HIDDEN, "\r\n[5.0 5.0]0 d"},
    {AI_TEXT_LAYER_PATTERN, "\r\n(Pattern) Ln"},
    {AI_TEXT_LAYER_FRACTAL, "\r\n(Fractal) Ln"},
    {AI_TEXT_CLOSE_FILL, "\r\nb"},
    {AI_TEXT_STROKE_PATH, "\r\nS"},
};

std::chrono::system_clock::time_point SystemNow()
{
    return std::chrono::system_clock::now();
}

std::atomic<CreationClock> g_clock{&SystemNow};

}  // namespace

std::string_view IllustratorText(int id)
{
    for (const Piece& piece : kPieces) {
        if (piece.id == id)
            return piece.text;
    }
    return {};
}

std::string FormatCreationDate(std::chrono::system_clock::time_point time)
{
    using namespace std::chrono;
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{floor<minutes>(time - day)};
    std::string text;
    AppendInt(text, clock.hours().count());
    text += ':';
    AppendInt(text, clock.minutes().count());
    text += ' ';
    AppendInt(text, static_cast<unsigned>(date.day()));
    text += '.';
    AppendInt(text, static_cast<unsigned>(date.month()));
    text += '.';
    AppendInt(text, static_cast<int>(date.year()));
    return text;
}

void SetCreationClock(CreationClock clock)
{
    g_clock.store(clock != nullptr ? clock : &SystemNow);
}

std::chrono::system_clock::time_point CreationTime()
{
    return g_clock.load()();
}
