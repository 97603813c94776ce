// The renderer's construction, canvas size and the drawing of a scene: the white background,
// the pattern overlay (point squares and knee lines) and the fractal on top.
#include "view/fractal_renderer.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <new>

namespace {

constexpr COLORREF kLightGreen = RGB(207, 223, 207);
constexpr COLORREF kLightRed = RGB(223, 207, 207);
constexpr COLORREF kLightGrey = RGB(239, 239, 239);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

constexpr int kPenSquares = 0;  // also a plain knee: pens 0 to 3 are the knee's flags AND 3
constexpr int kPenHidden = 4;
constexpr int kPenFractal = 5;  // also a static knee

// Half the side of a point square: each square covers x-3 .. x+2 by y-3 .. y+2.
constexpr int64_t kSquareHalf = 3;

// Fills the distance table: each row from the integer square root of the sum, which grows
// with j, so that no square root is taken. The same values as the truncated std::sqrt of the
// sum (exact below 2^52), in a small fraction of the time.
void FillDistanceTable(int32_t (&table)[DISTANCE_TABLE_SIZE][DISTANCE_TABLE_SIZE])
{
    for (int32_t i = 0; i < DISTANCE_TABLE_SIZE; ++i) {
        int32_t root = i;
        for (int32_t j = 0; j < DISTANCE_TABLE_SIZE; ++j) {
            const int32_t square = i * i + j * j;
            while ((root + 1) * (root + 1) <= square)
                ++root;
            table[i][j] = root;
        }
    }
}

std::once_flag g_distanceTableFilled;

}  // namespace

int32_t CFractalRenderer::m_nDistance[DISTANCE_TABLE_SIZE][DISTANCE_TABLE_SIZE];

CFractalRenderer::CFractalRenderer()
{
    m_bRedraw = 1;
    m_bShowPattern = 1;
    m_bShowFractal = 1;
    m_bFill = 0;

    m_pens[0].CreatePen(PS_SOLID, 1, kLightGreen);
    m_pens[1].CreatePen(PS_DASH, 1, kLightGreen);
    m_pens[2].CreatePen(PS_SOLID, 1, kLightRed);
    m_pens[3].CreatePen(PS_DASH, 1, kLightRed);
    m_pens[4].CreatePen(PS_DOT, 1, kLightGrey);
    m_pens[5].CreatePen(PS_SOLID, 1, kBlack);

    m_nIterations = 7;
    m_nDrawLimit = 1000;
    m_nDetail = 2;

    // One fixed block for the whole life of the renderer. Without it fill mode has nowhere
    // to put points: the capacity is then 0 and the fractal's polygon stays empty.
    m_pPolygon = new (std::nothrow) POINT[POLYGON_ALLOCATED];
    m_nPolygonMax = m_pPolygon != nullptr ? POLYGON_CAPACITY : 0;

    m_bTimeLimit = 1;
    m_bIllustrator = 0;
}

void CFractalRenderer::PrepareDistanceTable()
{
    std::call_once(g_distanceTableFilled, [] { FillDistanceTable(m_nDistance); });
}

CFractalRenderer::~CFractalRenderer()
{
    delete[] m_pPolygon;
    m_pPolygon = nullptr;
}

void CFractalRenderer::SetCanvasSize(int32_t cx, int32_t cy)
{
    if (cx == m_nWidth && cy == m_nHeight)
        return;
    m_nWidth = cx;
    m_nHeight = cy;
    m_transform.m_center = POINT{cx >> 1, cy >> 1};
    m_rcClient = RECT{0, 0, cx, cy};
    m_bRedraw = 1;
}

void CFractalRenderer::DrawScene(const CPattern& pattern)
{
    // Without a bitmap (one that could not be created) there is nothing to draw on.
    if (!m_dc.IsAttached()) {
        m_bRedraw = 0;
        return;
    }

    const int n = pattern.m_count;
    m_nSegments = n;
    m_drawOutcome = DrawOutcome::Complete;
    // Points 0 .. n of the pattern; a count outside the record's bounds never reads past it.
    const int lastPoint = n < 0 ? -1 : (n > PATTERN_MAX_SEGMENTS ? PATTERN_MAX_SEGMENTS : n);

    if (!ClearInBands(kWhite))
        m_dc.FillSolidRect(0, 0, m_nWidth, m_nHeight, kWhite);

    if (m_bShowPattern) {
        // Squares outlined with the light green pen and filled white, whatever brush an
        // earlier scene on this surface left selected.
        m_dc.SelectPen(m_pens[kPenSquares]);
        m_dc.SelectBrush(CBrush{});
        for (int i = 0; i <= lastPoint; ++i) {
            const POINT p = m_transform.WorldToScreen(pattern.m_points[i]);
            // A square wholly outside the canvas draws nothing; skipping it also keeps the
            // corner arithmetic away from the ends of the integer range.
            const int64_t x = p.x;
            const int64_t y = p.y;
            if (x + kSquareHalf <= 0 || y + kSquareHalf <= 0 || x - kSquareHalf >= m_nWidth || y - kSquareHalf >= m_nHeight)
                continue;
            m_dc.Rectangle(p.x - 3, p.y - 3, p.x + 3, p.y + 3);
        }

        if (lastPoint >= 0) {
            const POINT p0 = m_transform.WorldToScreen(pattern.m_points[0]);
            m_dc.MoveTo(p0.x, p0.y);
        }
        for (int i = 1; i <= lastPoint; ++i) {
            const uint8_t f = pattern.m_kneeFlags[i - 1];
            int pen = f & (KNEE_REVERSE | KNEE_MIRROR);
            if (f & KNEE_HIDE)
                pen = kPenHidden;
            else if (f & KNEE_STATIC)
                pen = kPenFractal;
            m_dc.SelectPen(m_pens[pen]);
            const POINT p = m_transform.WorldToScreen(pattern.m_points[i]);
            m_dc.LineTo(p.x, p.y);
        }
    }

    if (m_bShowFractal) {
        if (m_bFill) {
            m_nPolygonCount = 0;
            m_dc.SelectBrush(GrayBrush());
        }
        m_dc.SelectPen(m_pens[kPenFractal]);
        if (m_bFill || !DrawFractalInBands(pattern))
            Generate(pattern, pattern.m_kneeFlags);
        if (m_bFill) {
            CloseFill(pattern);
            if (m_pPolygon != nullptr && m_nPolygonCount > 0 && !PolygonInBands(m_pPolygon, m_nPolygonCount))
                m_dc.Polygon(m_pPolygon, m_nPolygonCount);
        }
    }

    m_bRedraw = 0;
}
