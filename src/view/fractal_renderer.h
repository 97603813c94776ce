// The renderer: the canvas, the pointer editor (with the view transform), the drawing
// settings, the pens and the fractal generator with its working tables. The view owns one;
// the command line and the tests make their own. Its generator tables are large, so it is
// always allocated on the heap.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/pattern.h"
#include "export/path_sink.h"
#include "interaction/pattern_editor.h"
#include "platform/dc.h"
#include "platform/win_types.h"
#include "view/draw_settings.h"
#include "view/memory_canvas.h"

class CArchive;

// The point kinds EMIT_LINE, EMIT_MOVE and EMIT_START are in export/path_sink.h.
// Added for a screen point sink to the fill mode's closing points along the canvas border,
// which are no part of the fractal's path.
constexpr uint8_t EMIT_CLOSING = 4;

// A point of a screen generation at sub-pixel precision, in continuous canvas coordinates
// (pixel (i, j) covers i..i+1 by j..j+1). `depth` is the generator's depth left at the
// point's segment (the baseline has the iterations), so a segment's share of the whole path
// is 1 / n^(iterations - depth).
struct ScreenSinkPoint {
    double x;
    double y;
    uint8_t kind;
    uint8_t depth;
};

// Receives the points of a screen generation instead of the canvas drawing them; the
// antialiased picture draws from these. The generator hands them over in path order, in
// batches: every point of a generation (Generate, CloseFill) has arrived when it returns.
class CScreenPointSink {
public:
    virtual ~CScreenPointSink() = default;
    virtual void AddPoints(const ScreenSinkPoint* points, size_t count) = 0;
};

// Placement of a copy's inner point relative to the copy's start and baseline.
struct ChildStep {
    float ratio = 0.0f;  // distance from the start over the baseline length
    float angle = 0.0f;  // direction from the start minus the baseline's direction (radians)
};

// Progress of a long export. Continue is called now and then with the fraction done (0..1);
// answering false cancels the export.
class CExportProgress {
public:
    virtual ~CExportProgress() = default;
    virtual bool Continue(double fraction) = 0;
};

// How the last picture's generation ended: complete, or stopped by the time budget (the Draw
// Limit) or by the fill polygon's point budget (or its capacity).
enum class DrawOutcome : uint8_t {
    Complete,
    TimeLimit,
    PointBudget,
};

constexpr int DISTANCE_TABLE_SIZE = 1000;
constexpr int POLYGON_CAPACITY = 100000;
constexpr int POLYGON_ALLOCATED = 100005;

class CFractalRenderer : public CMemoryCanvas, public CPatternEditor {
public:
    CFractalRenderer();
    ~CFractalRenderer() override;
    CFractalRenderer(const CFractalRenderer&) = delete;
    CFractalRenderer& operator=(const CFractalRenderer&) = delete;

    // Canvas and scene.
    void SetCanvasSize(int32_t cx, int32_t cy);
    void DrawScene(const CPattern& pattern);  // between BeginDraw and EndDraw

    // The view-settings section of a document: iterations, the three switches, the transform.
    void Serialize(CArchive& ar);

    // The drawing settings as one value (smooth is left false), and setting them all at once:
    // the canvas size, the switches, the budgets and the transform. Applying settings that
    // differ from the renderer's sets the redraw flag. Setting them touches the redraw flag
    // only through the canvas size (a new size asks for a redraw): for putting back settings
    // taken earlier, after a temporary change whose picture was never shown (a failed load,
    // an export).
    CDrawSettings DrawSettings() const;
    void ApplyDrawSettings(const CDrawSettings& settings);
    void SetDrawSettings(const CDrawSettings& settings);

    // The generator.
    bool Generate(const CPattern& pattern, const uint8_t* kneeFlags);
    bool GenerateSegment(PointF start, PointF end, uint8_t flags, uint8_t depth);
    PointF ComputeChildPoint(PointF start, float len, float ang, int i, uint8_t flags) const;
    bool EmitPoint(POINT p, bool inside, uint8_t kind);
    void CloseFill(const CPattern& pattern);

    // Illustrator mode (m_bIllustrator set): the generator walks in pattern coordinates and
    // hands its points to m_pPathSink (see WalkFractalPath in export/path_sink.h).
    IPathSink* m_pPathSink = nullptr;

    // The status text of a picture that the last generation left incomplete, for example
    // "Drawing stopped at the Draw Limit after 1,234,567 lines"; empty when it was complete.
    std::string DrawOutcomeText() const;

    // Pixel lengths for the detail test, floor(sqrt(i^2 + j^2)), so that it needs no square
    // root per segment. One table for every renderer of the process (4 MB), filled by
    // PrepareDistanceTable when a picture is first generated (the vector formats' walks never
    // need it) and only read after that, from any thread.
    static int32_t m_nDistance[DISTANCE_TABLE_SIZE][DISTANCE_TABLE_SIZE];
    static void PrepareDistanceTable();
    POINT m_ptLast{};
    RECT m_rcClient{};
    uint8_t m_bLastInside = 0;
    uint64_t m_dwDeadline = 0;
    int64_t m_nLineCount = 0;  // points emitted on the screen, counted towards the time check
    int32_t m_nSegments = 0;
    uint8_t m_childFlags[2][PATTERN_MAX_SEGMENTS] = {};
    ChildStep m_childSteps[2][PATTERN_MAX_SEGMENTS] = {};
    POINT* m_pPolygon = nullptr;
    int32_t m_nPolygonMax = 0;
    int32_t m_nPolygonCount = 0;
    CPen m_pens[6];
    uint8_t m_bIllustrator = 0;
    int32_t m_nIterations = 7;
    int32_t m_nDetail = 2;
    int32_t m_nDrawLimit = 1000;
    uint8_t m_bShowPattern = 1;
    uint8_t m_bShowFractal = 1;
    uint8_t m_bFill = 0;
    uint8_t m_bRedraw = 1;
    uint8_t m_bTimeLimit = 1;
    // Set when a document's view settings were read; cleared by the view's initial update.
    uint8_t m_bLoadedFromFile = 0;
    // Subtrees whose whole fractal lies off the canvas are skipped in screen and bitmap
    // drawing (never in the Illustrator file). It changes no pixel; tests turn it off to
    // compare.
    uint8_t m_bCullOffCanvas = 1;
    // The screen generation runs a copy compiled for its mode (see DrawSegment); it draws the
    // same pixels and points as the general one, which tests select by clearing this.
    uint8_t m_bModeCompiled = 1;
    // How the last generation ended; set by Generate and by the fill polygon's refusals, and
    // Complete after a scene without the fractal.
    DrawOutcome m_drawOutcome = DrawOutcome::Complete;

    // Threads that an export is drawn or generated with (a bitmap export, the vector
    // formats' walk): 0 takes the environment variable ZARNIX_THREADS, else, for large
    // exports, one per core (at most 8); 1 works on the calling thread alone. The picture
    // and the file are the same either way.
    int32_t m_nThreads = 0;
    // The count m_nThreads or ZARNIX_THREADS asks for (at most kMaxWorkerThreads); 0 when
    // neither says (an invalid ZARNIX_THREADS says nothing).
    int RequestedThreads() const;

    // Progress and cancellation of an export (null outside exports). m_bCancelled is set when
    // the progress object asked to stop; the generation then ends as after a time stop.
    CExportProgress* m_pProgress = nullptr;
    bool m_bCancelled = false;
    // Points the current export has emitted so far (counted only while m_pProgress is set).
    uint64_t ExportedPoints() const { return m_nProgressPoints; }

    // When set, a screen generation hands its points to this sink (with the same budgets,
    // fill polygon limits and progress as the canvas) and draws nothing on the canvas.
    CScreenPointSink* m_pScreenSink = nullptr;

protected:
    // Counts one emitted point of an export and, every PROGRESS_INTERVAL points, reports the
    // fraction done to m_pProgress. False when the export is cancelled (m_bCancelled is then
    // set and stays set); the caller stops the generation. Always true without m_pProgress.
    bool CheckProgress();

private:
    // Draws the fractal in line mode in horizontal bands of the bitmap, on several threads;
    // false (and nothing drawn) when the picture is not drawn that way. See
    // fractal_renderer_bands.cpp.
    bool DrawFractalInBands(const CPattern& pattern);
    // Draws the fractal into `rows` rows of `whole` from `firstRow` on, as this renderer's
    // band of a picture drawn by `whole`'s renderer: Generate's answer.
    bool DrawBand(const CFractalRenderer& whole, const CPattern& pattern, int32_t firstRow, int32_t rows);
    // The threads a bitmap export's picture is drawn with in bands, or 0 when it is drawn on
    // the calling thread (a screen paint, a small picture, one thread asked for).
    int BandThreads() const;
    // The whole bitmap cleared to `color`, and fill mode's polygon filled and outlined, in
    // bands on several threads; false (and nothing drawn) when not drawn that way.
    bool ClearInBands(COLORREF color);
    bool PolygonInBands(const POINT* points, int count);

    // A child step as a scaled rotation of the parent vector (end - start):
    // child = start + (c * dx - s * dy, s * dx + c * dy), with s negated for a mirrored copy.
    // Filled by Generate from m_childSteps; the same placement as ComputeChildPoint without
    // the per-point trigonometry.
    struct ChildRotation {
        float c = 0.0f;
        float s = 0.0f;

        // The child point on the parent from start, (dx, dy) = end - start; sign is -1 for a
        // mirrored copy, else 1.
        PointF Place(PointF start, float dx, float dy, float sign) const
        {
            const float sm = sign * s;
            return PointF{start.x + (c * dx - sm * dy), start.y + (sm * dx + c * dy)};
        }
    };
    static constexpr uint32_t PROGRESS_INTERVAL = 4096;
    static constexpr int PROGRESS_LEVELS = 8;

    bool GenerateScreenSegment(PointF start, PointF end, uint8_t flags, uint8_t depth);
    // The screen generation without a point sink, compiled once per mode so that the mode
    // tests leave the per-point path: fill or line mode, time budget or none, export progress
    // tracked or not. The same points, in the same order, as GenerateScreenSegment.
    // Always inline: the recursion then runs through DrawSubdivided, whose loop handles the
    // leaves in place.
    // With Sink, the points go to m_pScreenSink (as EmitToSink hands them) instead of the
    // canvas.
    template <bool Sink>
    bool DrawInMode(PointF start, PointF end, uint8_t flags, uint8_t depth);
    template <bool Fill, bool TimeLimit, bool Progress, bool Sink>
    [[gnu::always_inline]] bool DrawSegment(PointF start, PointF end, uint8_t flags, uint8_t depth);
    template <bool Fill, bool TimeLimit, bool Progress, bool Sink>
    bool DrawSubdivided(PointF start, PointF end, uint8_t flags, uint8_t depth);
    template <bool Fill, bool Progress, bool Sink>
    bool DrawPoint(PointF world, POINT p, bool inside, uint8_t kind, uint8_t depth);
    // The segment from m_ptLast to p is at least the detail long: its length rounded down, or
    // beyond the distance table |dx| + |dy|.
    bool LongerThanDetail(POINT p) const;
    // The segment from m_ptLast to p is long enough to be tested for lying off the canvas.
    bool LongEnoughToCull(POINT p) const;
    // A screen point: to the sink when there is one, else to the canvas.
    bool EmitScreen(PointF world, POINT p, bool inside, uint8_t kind, uint8_t depth)
    {
        if (m_pScreenSink != nullptr) [[unlikely]]
            return EmitToSink(world, p, inside, kind, depth);
        return EmitPoint(p, inside, kind);
    }
    bool EmitToSink(PointF world, POINT p, bool inside, uint8_t kind, uint8_t depth)
    {
        if (m_pProgress != nullptr && !CheckProgress())
            return false;
        if (m_bFill && !AddPolygonPoint(p))
            return false;
        AddSinkPoint(world, kind, depth);
        m_ptLast = p;
        m_bLastInside = inside ? 1 : 0;
        return true;
    }
    // The point's continuous position: the centre plus the unrounded offset (which the
    // canvas's rounding would make the point's pixel), and half a pixel to the pixel's middle;
    // queued for the sink, which gets the queue when it is full and at the generation's end.
    void AddSinkPoint(PointF world, uint8_t kind, uint8_t depth)
    {
        const CViewTransform& t = m_transform;
        double ox = (static_cast<double>(world.x) - t.m_origin.x) * t.m_scale;
        double oy = -(static_cast<double>(world.y) - t.m_origin.y) * t.m_scale;
        if (!(std::fabs(ox) <= kMaxSinkOffset) || !(std::fabs(oy) <= kMaxSinkOffset)) [[unlikely]]
            LimitSinkOffsets(&ox, &oy);
        ScreenSinkPoint& q = m_sinkQueue[m_nSinkQueued];
        q.x = t.m_center.x + ox + 0.5;
        q.y = (t.m_flipY ? t.m_center.y - oy : t.m_center.y + oy) + 0.5;
        q.kind = kind;
        q.depth = depth;
        if (++m_nSinkQueued == SINK_QUEUE_SIZE)
            FlushScreenSink();
    }
    // Offsets beyond +-kMaxSinkOffset pixels kept there, NaN as 0.
    static void LimitSinkOffsets(double* ox, double* oy);
    // Hands the queued points to m_pScreenSink.
    void FlushScreenSink();
    // Flushes the sink's queue when a generation returns, whichever way it returns.
    struct ScreenSinkFlush {
        CFractalRenderer& renderer;
        ~ScreenSinkFlush() { renderer.FlushScreenSink(); }
    };
    // Appends a point to the fill polygon unless it is full or holds the screen's point
    // budget; false (and nothing changed) when refused.
    bool AddPolygonPoint(POINT p);
    bool GenerateIllustratorSegment(PointF start, PointF end, uint8_t flags, uint8_t depth);
    template <bool Illustrator>
    bool SubdivideSegment(PointF start, PointF end, uint8_t flags, uint8_t depth);
    double ProgressFraction() const;
    // Sets up the off-canvas test of one generation from the child tables, the view and the
    // canvas (m_bCulling stays false where it cannot be bounded safely).
    void PrepareCulling();
    // True when the whole fractal of the segment from start to end lies off the canvas. Out
    // of line, so that the generator's hot path stays as lean as before.
    [[gnu::noinline]] bool SubtreeOffCanvas(PointF start, PointF end, uint8_t depth) const;
    // Counts one point emitted on the screen and reads the clock once per 256: false when
    // the Draw Limit's time is spent. Always true without the time budget.
    bool CountForTimeLimit();
    // A point for the path sink; false when the sink stops the walk.
    bool EmitPathPoint(PointF p, uint8_t kind, uint8_t depth)
    {
        return m_pPathSink == nullptr || m_pPathSink->PathPoint(p, kind, depth);
    }

    // A walk in pattern coordinates generated in parts on several threads (see
    // fractal_renderer_parts.cpp): true when it was, with `complete` as Generate's answer;
    // false (and nothing emitted) when the walk is left to the calling thread alone.
    struct PathPart {
        PointF start;
        PointF end;
        uint8_t flags;
        uint8_t depth;
    };
    class PartLeaderProgress;
    bool GeneratePathInParts(PointF start, PointF end, bool& complete);
    // The segments `levels` levels below (start, end), or the leaves and knees above them, in
    // path order; false when a point could not be placed (the parts before it are kept).
    bool CollectParts(PointF start, PointF end, uint8_t flags, uint8_t depth, int levels,
                      std::vector<PathPart>& parts) const;
    // Points the walk emits for a segment with these flags at this depth (saturating).
    uint64_t CountWalkPoints(uint8_t flags, uint8_t depth) const;
    // Gives `part` this walk's child tables, in Illustrator mode.
    void PreparePartRenderer(CFractalRenderer& part) const;
    // Walks one part into `sink` with `progress`; the walk's answer.
    bool GeneratePart(const PathPart& part, IPathSink& sink, CExportProgress& progress);

    ChildRotation m_childRotations[2][PATTERN_MAX_SEGMENTS] = {};
    // Points for m_pScreenSink not yet handed over.
    static constexpr int32_t SINK_QUEUE_SIZE = 256;
    static constexpr double kMaxSinkOffset = 1073741824.0;
    ScreenSinkPoint m_sinkQueue[SINK_QUEUE_SIZE];
    int32_t m_nSinkQueued = 0;
    // The detail test within the distance table: a length rounded down is at least the detail
    // exactly when dx^2 + dy^2 is at least m_nDetailSquared (0 when every length passes,
    // INT32_MAX when none within the table does).
    int32_t m_nDetailSquared = 0;
    // Line mode on the canvas: a leaf with both ends on the client rectangle, which lies on
    // the bitmap, is drawn without the clipping set-up.
    bool m_bDirectLines = false;
    int32_t m_nTopDepth = 0;  // depth of the baseline in the current generation
    // The off-canvas test: the fractal of a segment lies within m_fCullReach * (|dx| + |dy|)
    // of its midpoint, give or take float rounding (m_fCullExtent and m_fCullErrorPerLevel
    // bound it, see PrepareCulling); the canvas, widened by the pixel margin, lies within the
    // box left .. right by bottom .. top in pattern coordinates.
    bool m_bCulling = false;
    float m_fCullReach = 0.0f;
    float m_fCullExtent = 0.0f;
    float m_fCullErrorPerLevel = 0.0f;
    float m_fCullLeft = 0.0f;
    float m_fCullRight = 0.0f;
    float m_fCullBottom = 0.0f;
    float m_fCullTop = 0.0f;
    // Export progress: points emitted so far, and the child index taken at each of the top
    // recursion levels (m_nProgressLevels of them are current).
    uint64_t m_nProgressPoints = 0;
    int32_t m_nProgressLevels = 0;
    uint8_t m_progressIndex[PROGRESS_LEVELS] = {};
    double m_progressWeight[PROGRESS_LEVELS] = {};
};
