// The fixed text of an Illustrator 5 file: the header lines, prolog, setup, layer framing,
// styles and path endings, kept as a table keyed by the ids the writer asks for; and the
// creation date in the file's own "%d:%d %d.%d.%d" form.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

// Ids of the text pieces.
constexpr int AI_TEXT_HEADER = 61205;           // "%!PS-Adobe-3.0", creator, about, title
constexpr int AI_TEXT_CREATION_DATE = 61207;    // "%%CreationDate: "
constexpr int AI_TEXT_PROLOG = 61208;
constexpr int AI_TEXT_SETUP = 61209;
constexpr int AI_TEXT_BOUNDING_BOX = 61210;     // "%%BoundingBox: "
constexpr int AI_TEXT_HIRES_BOUNDING_BOX = 61211;
constexpr int AI_TEXT_COMMENTS_END = 61213;
constexpr int AI_TEXT_LAYER_BEGIN = 61214;
constexpr int AI_TEXT_LAYER_END = 61215;
constexpr int AI_TEXT_TRAILER = 61216;
constexpr int AI_TEXT_EVEN_ODD_FILL = 61217;    // fill rule even-odd, fill overprint off
constexpr int AI_TEXT_STROKE_OVERPRINT = 61218;
constexpr int AI_TEXT_LINE_STYLE = 61219;       // butt caps, mitre joins, width 0.5
constexpr int AI_TEXT_STROKE_PLAIN = 61220;     // pattern segment colour
constexpr int AI_TEXT_STROKE_REVERSED = 61222;  // reversed pattern segment colour
constexpr int AI_TEXT_STROKE_HIDDEN = 61224;    // 10 % black
constexpr int AI_TEXT_STROKE_BLACK = 61225;
constexpr int AI_TEXT_FILL_GREY = 61226;        // 60 % black fill
constexpr int AI_TEXT_DASH_SOLID = 61227;
constexpr int AI_TEXT_DASH_MIRRORED = 61228;    // 15 on, 15 off
constexpr int AI_TEXT_DASH_HIDDEN = 61229;      // 5 on, 5 off
constexpr int AI_TEXT_LAYER_PATTERN = 61230;
constexpr int AI_TEXT_LAYER_FRACTAL = 61231;
constexpr int AI_TEXT_CLOSE_FILL = 61232;       // "b"
constexpr int AI_TEXT_STROKE_PATH = 61233;      // "S"

// The text piece with the given id; empty for an id that has none.
std::string_view IllustratorText(int id);

// The creation date as the file writes it: hour, minute, day, month and year in UTC,
// "%d:%d %d.%d.%d" without leading zeros, for example "7:5 7.12.2026".
std::string FormatCreationDate(std::chrono::system_clock::time_point time);

// The clock that dates new Illustrator files; the system clock unless replaced. Tests set a
// fixed clock so that whole files can be compared byte for byte; null restores the system clock.
using CreationClock = std::chrono::system_clock::time_point (*)();
void SetCreationClock(CreationClock clock);
std::chrono::system_clock::time_point CreationTime();
