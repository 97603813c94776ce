// The view-settings section of a document: the iteration count, the three display switches
// and the view transform, after the pattern section.
#include "platform/archive.h"
#include "platform/text_format.h"
#include "view/fractal_renderer.h"

namespace {

// Reads "<word> <int>" at the start of a line.
bool ScanSetting(const std::string& line, std::string_view word, int32_t& value)
{
    CScanner scan(line);
    return scan.MatchLiteral(word) && scan.ScanInt(value);
}

void AppendSetting(std::string& text, std::string_view word, int64_t value)
{
    text += word;
    text += ' ';
    AppendInt(text, value);
    text += "\r\n";
}

}  // namespace

void CFractalRenderer::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        std::string text;
        AppendSetting(text, "Iterations:", m_nIterations);
        AppendSetting(text, "Pattern:", m_bShowPattern);
        AppendSetting(text, "Fractal:", m_bShowFractal);
        AppendSetting(text, "Fill:", m_bFill);
        ar.WriteString(text);
        m_transform.Serialize(ar);
        return;
    }

    std::string line;
    if (!ar.ReadString(line))
        return;  // no view section: settings and transform stay as they are

    // A line that is missing or does not match keeps the current value. Iteration counts
    // are taken from 0 to 255, the depths the generator can reach.
    int32_t value = 0;
    if (ScanSetting(line, "Iterations:", value) && value >= 0 && value <= 255)
        m_nIterations = value;
    ar.ReadString(line);
    if (ScanSetting(line, "Pattern:", value))
        m_bShowPattern = static_cast<uint8_t>(value & 0xFF);
    ar.ReadString(line);
    if (ScanSetting(line, "Fractal:", value))
        m_bShowFractal = static_cast<uint8_t>(value & 0xFF);
    ar.ReadString(line);
    if (ScanSetting(line, "Fill:", value))
        m_bFill = static_cast<uint8_t>(value & 0xFF);
    m_bLoadedFromFile = 1;
    m_transform.Serialize(ar);
}

CDrawSettings CFractalRenderer::DrawSettings() const
{
    CDrawSettings s;
    s.iterations = m_nIterations;
    s.detail = m_nDetail;
    s.drawLimit = m_nDrawLimit;
    s.timeLimit = m_bTimeLimit;
    s.showPattern = m_bShowPattern;
    s.showFractal = m_bShowFractal;
    s.fill = m_bFill;
    s.originX = m_transform.m_origin.x;
    s.originY = m_transform.m_origin.y;
    s.scale = m_transform.m_scale;
    s.flipY = m_transform.m_flipY;
    s.width = m_nWidth;
    s.height = m_nHeight;
    return s;
}

void CFractalRenderer::ApplyDrawSettings(const CDrawSettings& settings)
{
    CDrawSettings wanted = settings;
    wanted.smooth = false;
    if (wanted == DrawSettings())
        return;
    SetDrawSettings(settings);
    m_bRedraw = 1;
}

void CFractalRenderer::SetDrawSettings(const CDrawSettings& settings)
{
    SetCanvasSize(settings.width, settings.height);
    m_nIterations = settings.iterations;
    m_nDetail = settings.detail;
    m_nDrawLimit = settings.drawLimit;
    m_bTimeLimit = settings.timeLimit;
    m_bShowPattern = settings.showPattern;
    m_bShowFractal = settings.showFractal;
    m_bFill = settings.fill;
    m_transform.m_origin = PointF{settings.originX, settings.originY};
    m_transform.m_scale = settings.scale;
    m_transform.m_flipY = settings.flipY;
}
