// Throughput of the writers: the Illustrator and SVG exports of a four-segment pattern at 10
// iterations (about a million points, some 24 MB and 13 MB of text), and a full-HD bitmap file.
// Both report CPU time: waiting for the disk (the flush before the rename) is not the
// program's speed.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "document/pattern.h"
#include "export/illustrator_writer.h"
#include "export/svg_writer.h"
#include "view/fractal_renderer.h"
#include "view/memory_canvas.h"

namespace {

std::string ScratchFile(const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

CPattern BenchPattern()
{
    CPattern pattern;
    const PointF points[] = {{-100, 0}, {-33, 0}, {0, 40}, {33, 0}, {100, 0}};
    for (int i = 0; i < 5; ++i)
        pattern.m_points[i] = points[i];
    pattern.m_count = 4;
    pattern.UpdateKnees();
    return pattern;
}

// One export function over the same scene: Illustrator or SVG.
template <typename Write>
void RunWriter(benchmark::State& state, const char* fileName, Write write)
{
    auto renderer = std::make_unique<CFractalRenderer>();
    renderer->SetCanvasSize(800, 600);
    renderer->m_nIterations = static_cast<int32_t>(state.range(0));
    const CPattern pattern = BenchPattern();
    const std::string file = ScratchFile(fileName);
    uint64_t bytes = 0;
    for (auto _ : state) {
        if (!write(*renderer, pattern, file)) {
            state.SkipWithError("export failed");
            break;
        }
        bytes += std::filesystem::file_size(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() << (2 * state.range(0)));  // 4^iterations points
    std::filesystem::remove(file);
}

void BM_ExportIllustrator(benchmark::State& state)
{
    RunWriter(state, "zarnix-bench-export.ai", [](CFractalRenderer& r, const CPattern& p, const std::string& f) {
        return ExportIllustrator(r, p, f.c_str()) != 0;
    });
}
BENCHMARK(BM_ExportIllustrator)->Arg(10)->Unit(benchmark::kMillisecond);

// The same million points as SVG path data, stroked in pieces; and with a gradient, which
// splits the path into 256 coloured pieces instead.
void BM_ExportSvg(benchmark::State& state)
{
    CRenderStyle style;
    style.gradient = state.range(1) != 0;
    RunWriter(state, "zarnix-bench-export.svg", [&style](CFractalRenderer& r, const CPattern& p, const std::string& f) {
        return ExportSvg(r, p, style, f.c_str()) != 0;
    });
}
BENCHMARK(BM_ExportSvg)->Args({10, 0})->Args({10, 1})->Unit(benchmark::kMillisecond);

void BM_SaveBitmap(benchmark::State& state)
{
    CMemoryCanvas canvas;
    canvas.m_nWidth = 1920;
    canvas.m_nHeight = 1080;
    if (!canvas.m_bitmap.Create(1920, 1080)) {
        state.SkipWithError("no bitmap");
        return;
    }
    for (int32_t y = 0; y < 1080; ++y)
        for (int32_t x = 0; x < 1920; ++x)
            canvas.m_bitmap.Row(y)[x] = static_cast<uint32_t>((x * 7 + y * 13) & 0xFFFFFF);
    const std::string file = ScratchFile("zarnix-bench-export.bmp");
    for (auto _ : state) {
        if (!canvas.SaveBitmap(file.c_str())) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * (54 + 1920 * 1080 * 4));
    std::filesystem::remove(file);
}
BENCHMARK(BM_SaveBitmap)->Unit(benchmark::kMillisecond);

}  // namespace
