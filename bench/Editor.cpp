// A whole editor painted by the headless window layer on the editor's
// 720 x 650 layout, at 100 % and at 200 % (a 1440 x 1300 surface): a full
// repaint (background and 150 filmstrip knobs), one knob's repaint through
// the dirty-area cycle, and a 16-pixel line of text. Each is related to one
// full-surface copy blit of the same size measured in the same run; the
// ratios of CPU time are printed after the benchmark table.
#include "graphics/IBitmapControl.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"
#include "tests/support/NoHostPlug.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <time.h>
#include <utility>
#include <vector>

namespace
{
const int W = 720;
const int H = 650;
const int KnobSize = 40;
const int KnobFrames = 64;
const int Columns = 15; // 15 x 10 knobs, one per 48 x 65 cell
const int Rows = 10;

// CPU nanoseconds per iteration of each benchmark's last run. Thread CPU
// time keeps the ratios steady on a machine busy with other work.
std::map<std::string, double> gNanos;

double ThreadNanos()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

// Records the CPU time per iteration of the loop that runs in its lifetime.
class Timed
{
public:
    Timed(benchmark::State& s, std::string n) : state(s), name(std::move(n)), start(ThreadNanos())
    {
    }
    ~Timed()
    {
        if (state.iterations() > 0) gNanos[name] = (ThreadNanos() - start) / state.iterations();
    }

private:
    benchmark::State& state;
    std::string name;
    double start;
};

// A knob filmstrip: an opaque disc with an antialiased rim on a transparent
// square, its pointer turning from frame to frame.
std::unique_ptr<LICE_MemBitmap> KnobStrip()
{
    auto strip = std::make_unique<LICE_MemBitmap>(KnobSize, KnobSize * KnobFrames);
    const double c = (KnobSize - 1) / 2.0;
    for (int f = 0; f < KnobFrames; ++f)
    {
        const double angle = -2.4 + 4.8 * f / (KnobFrames - 1);
        for (int y = 0; y < KnobSize; ++y)
        {
            for (int x = 0; x < KnobSize; ++x)
            {
                const double dx = x - c;
                const double dy = y - c;
                const double r = std::sqrt(dx * dx + dy * dy);
                const double edge = std::fmin(std::fmax(c - r, 0.0), 1.0);
                const double along = dx * std::sin(angle) - dy * std::cos(angle);
                const double across = std::fabs(dx * std::cos(angle) + dy * std::sin(angle));
                const bool pointer = along > 4.0 && across < 1.5;
                const uint32_t alpha = static_cast<uint32_t>(edge * 255.0);
                const uint32_t grey = pointer ? 0xF0u : static_cast<uint32_t>(60 + y * 2);
                strip->Bits()[(f * KnobSize + y) * strip->RowSpan() + x] =
                    alpha << 24 | grey << 16 | grey << 8 | grey;
            }
        }
    }
    return strip;
}

std::unique_ptr<LICE_MemBitmap> Background()
{
    auto bg = std::make_unique<LICE_MemBitmap>(W, H);
    for (int y = 0; y < H; ++y)
    {
        for (int x = 0; x < W; ++x)
        {
            bg->Bits()[y * bg->RowSpan() + x] =
                0xFF000000u | static_cast<uint32_t>((x * 255 / W) << 16 | (y * 255 / H) << 8 | 90);
        }
    }
    return bg;
}

// The editor: a plug-in without a host, its headless graphics attached.
struct Scene
{
    NoHostPlug plug{0, "2-2", 1, "Bench", "Bench", "Bench", 0x10000, 1, 1, 0, false, false, false};
    IGraphicsHeadless* graphics = new IGraphicsHeadless(&plug, W, H);
    std::unique_ptr<LICE_MemBitmap> background = Background();
    std::unique_ptr<LICE_MemBitmap> strip = KnobStrip();
    std::vector<IControl*> knobs;

    explicit Scene(int percent)
    {
        plug.AttachEditor(graphics);
        graphics->SetScale(percent);
        graphics->AddControl(
            new IBitmapControl(&plug, 0, 0, -1, IBitmapRef(background.get(), W, H), BlendOpaque));
        const IBitmapRef knob(strip.get(), KnobSize, KnobSize * KnobFrames, KnobFrames);
        for (int i = 0; i < Columns * Rows; ++i)
        {
            auto* c = new IBitmapControl(&plug, 4 + (i % Columns) * 48, 12 + (i / Columns) * 65, -1,
                                         knob);
            c->value = (i * 37 % 100) / 100.0;
            graphics->AddControl(c);
            knobs.push_back(c);
        }
        graphics->PaintAll();
    }
};

// "name @ percent", the key a time is kept under.
std::string At(const char* name, const benchmark::State& state)
{
    return std::string(name) + " @ " + std::to_string(state.range(0)) + " %";
}

void BM_FullSurfaceBlit(benchmark::State& state)
{
    const int w = W * static_cast<int>(state.range(0)) / 100;
    const int h = H * static_cast<int>(state.range(0)) / 100;
    LICE_MemBitmap dst(w, h);
    LICE_MemBitmap src(w, h);
    RasterBlit(&src, Background().get(), 0, 0, 0, 0, W, H, 1.0f, RasterModeCopy);
    const std::string name = At("blit", state);
    Timed timed(state, name.c_str());
    for (auto _ : state)
    {
        RasterBlit(&dst, &src, 0, 0, 0, 0, w, h, 1.0f, RasterModeCopy);
        benchmark::ClobberMemory();
    }
}

void BM_FullRepaint(benchmark::State& state)
{
    Scene scene(static_cast<int>(state.range(0)));
    const std::string name = At("full repaint, 151 controls", state);
    Timed timed(state, name.c_str());
    for (auto _ : state)
    {
        scene.graphics->PaintAll();
        scene.graphics->ClearPresented();
        benchmark::ClobberMemory();
    }
}

void BM_KnobRepaint(benchmark::State& state)
{
    Scene scene(static_cast<int>(state.range(0)));
    IControl* knob = scene.knobs[Columns * Rows / 2 + Columns / 2];
    double v = 0.0;
    const std::string name = At("one knob: mark dirty, tick", state);
    Timed timed(state, name.c_str());
    for (auto _ : state)
    {
        v = v < 0.99 ? v + 0.01 : 0.0;
        knob->value = v;
        knob->MarkDirty(false);
        scene.graphics->Tick();
        scene.graphics->ClearPresented();
        benchmark::ClobberMemory();
    }
}

void BM_DrawText16(benchmark::State& state)
{
    if (!IGraphicsHeadless::TextAvailable())
    {
        state.SkipWithError("no FreeType or Liberation Sans");
        return;
    }
    Scene scene(static_cast<int>(state.range(0)));
    ITextStyle style("Arial", 16, IColorRGBA(255, 230, 230, 230), ITextStyle::Normal,
                     ITextStyle::Centre);
    const IBox box(200, 300, 520, 316);
    scene.graphics->DrawTextIn(style, "Feedback A  -3.0 dB", box); // font and glyphs
    const std::string name = At("16-pixel line of text", state);
    Timed timed(state, name.c_str());
    for (auto _ : state)
    {
        scene.graphics->DrawTextIn(style, "Feedback A  -3.0 dB", box);
        benchmark::ClobberMemory();
    }
}

void PrintRatios()
{
    for (const int percent : {100, 200})
    {
        const std::string suffix = " @ " + std::to_string(percent) + " %";
        const auto base = gNanos.find("blit" + suffix);
        if (base == gNanos.end() || base->second <= 0.0)
        {
            continue;
        }
        std::printf("\nAt %d %%, relative to one %dx%d copy blit (%.1f us):\n", percent,
                    W * percent / 100, H * percent / 100, base->second / 1000.0);
        for (const auto& [name, ns] : gNanos)
        {
            if (name != base->first && name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            {
                std::printf("  %-42s %9.1f us  %8.3fx\n", name.c_str(), ns / 1000.0,
                            ns / base->second);
            }
        }
    }
}
} // namespace

BENCHMARK(BM_FullSurfaceBlit)->Arg(100)->Arg(200);
BENCHMARK(BM_FullRepaint)->Arg(100)->Arg(200);
BENCHMARK(BM_KnobRepaint)->Arg(100)->Arg(200);
BENCHMARK(BM_DrawText16)->Arg(100)->Arg(200);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    return 0;
}
