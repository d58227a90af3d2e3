// Raster throughput on an editor-sized surface (720 x 650), in pixels per
// second, against a plain memcpy of the same surface.
#include "raster/Raster.h"

#include "raster/LICE_MemBitmap.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>

namespace
{
const int W = 720;
const int H = 650;

void FillRandom(LICE_MemBitmap& b, unsigned seed)
{
    std::mt19937 rng(seed);
    for (int y = 0; y < b.Height(); ++y)
    {
        for (int x = 0; x < b.Width(); ++x)
        {
            b.Bits()[y * b.RowSpan() + x] = static_cast<uint32_t>(rng());
        }
    }
}

struct Surfaces
{
    LICE_MemBitmap dst{W, H};
    LICE_MemBitmap src{W, H};
    Surfaces()
    {
        FillRandom(dst, 1);
        FillRandom(src, 2);
    }
};

void Finish(benchmark::State& state, LICE_MemBitmap& dst, long long pixelsPerIteration)
{
    benchmark::DoNotOptimize(dst.Bits());
    benchmark::ClobberMemory();
    state.SetItemsProcessed(state.iterations() * pixelsPerIteration);
}

void BM_MemcpyBaseline(benchmark::State& state)
{
    Surfaces s;
    const size_t bytes = static_cast<size_t>(s.dst.RowSpan()) * H * 4;
    for (auto _ : state)
    {
        std::memcpy(s.dst.Bits(), s.src.Bits(), bytes);
        benchmark::ClobberMemory();
    }
    Finish(state, s.dst, static_cast<long long>(W) * H);
}

void BlitBench(benchmark::State& state, float weight, unsigned mode)
{
    Surfaces s;
    for (auto _ : state)
    {
        RasterBlit(&s.dst, &s.src, 0, 0, 0, 0, W, H, weight, mode);
        benchmark::ClobberMemory();
    }
    Finish(state, s.dst, static_cast<long long>(W) * H);
}

void BM_BlitCopy(benchmark::State& state)
{
    BlitBench(state, 1.0f, RasterModeCopy);
}
void BM_BlitCopySourceAlphaFull(benchmark::State& state)
{
    BlitBench(state, 1.0f, RasterModeCopy | RasterUseSourceAlpha);
}
void BM_BlitCopySourceAlphaHalf(benchmark::State& state)
{
    BlitBench(state, 0.5f, RasterModeCopy | RasterUseSourceAlpha);
}

void BM_ScaledBlitBilinear(benchmark::State& state)
{
    Surfaces s;
    for (auto _ : state)
    {
        // Enlarges a 480 x 433 area to the whole surface.
        RasterScaledBlit(&s.dst, &s.src, 0, 0, W, H, 0.0f, 0.0f, 480.0f, 433.3f, 1.0f,
                         RasterModeCopy | RasterFilterBilinear);
        benchmark::ClobberMemory();
    }
    Finish(state, s.dst, static_cast<long long>(W) * H);
}

void BM_FillRect(benchmark::State& state)
{
    Surfaces s;
    for (auto _ : state)
    {
        RasterFillRect(&s.dst, 0, 0, W, H, 0xFF336699u, 0.3f, RasterModeCopy);
        benchmark::ClobberMemory();
    }
    Finish(state, s.dst, static_cast<long long>(W) * H);
}
} // namespace

BENCHMARK(BM_MemcpyBaseline);
BENCHMARK(BM_BlitCopy);
BENCHMARK(BM_BlitCopySourceAlphaFull);
BENCHMARK(BM_BlitCopySourceAlphaHalf);
BENCHMARK(BM_ScaledBlitBilinear);
BENCHMARK(BM_FillRect);
