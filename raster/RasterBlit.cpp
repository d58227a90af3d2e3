#include "raster/Raster.h"
#include "raster/RasterCombiners.h"

#include <cstring>

using namespace raster_detail;

namespace
{
// Calls f(destination pixel, source pixel) for each pixel of a w x h
// rectangle; f is inlined, so each caller gets its own tight loop.
template <class F>
void ForEachPixelPair(const Surface& d, const Surface& s, int dx, int dy, int sx, int sy, int w,
                      int h, F&& f)
{
    for (int y = 0; y < h; ++y)
    {
        uint32_t* dp = d.Row(dy + y) + dx;
        const uint32_t* sp = s.Row(sy + y) + sx;
        for (int x = 0; x < w; ++x)
        {
            f(dp[x], sp[x]);
        }
    }
}

// Clips one axis of a copy of size pixels from src to dst: first to the
// source [0, srcLimit), then to the destination [0, dstLimit).
void ClipAxis(long long& src, long long& dst, long long& size, int srcLimit, int dstLimit)
{
    if (src < 0)
    {
        dst -= src;
        size += src;
        src = 0;
    }
    if (src + size > srcLimit)
    {
        size = srcLimit - src;
    }
    if (dst < 0)
    {
        src -= dst;
        size += dst;
        dst = 0;
    }
    if (dst + size > dstLimit)
    {
        size = dstLimit - dst;
    }
}

template <class Op>
void BlitRows(const Surface& d, const Surface& s, int dx, int dy, int sx, int sy, int w, int h,
              int weight)
{
    ForEachPixelPair(d, s, dx, dy, sx, sy, w, h,
                     [weight](uint32_t& q, uint32_t p)
                     { Op::Apply(q, ChR(p), ChG(p), ChB(p), ChA(p), weight); });
}

void BlitChannel(const Surface& d, const Surface& s, int dx, int dy, int sx, int sy, int w, int h,
                 unsigned mode)
{
    const int srcShift = static_cast<int>(mode & 3u) * 8;
    const int dstShift = static_cast<int>((mode >> 2) & 3u) * 8;
    const uint32_t keep = ~(0xFFu << dstShift);
    ForEachPixelPair(d, s, dx, dy, sx, sy, w, h,
                     [=](uint32_t& q, uint32_t p)
                     { q = (q & keep) | (((p >> srcShift) & 0xFFu) << dstShift); });
}
} // namespace

void RasterBlit(LICE_IBitmap* dst, LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy,
                int srcw, int srch, float weight, unsigned mode)
{
    Surface d;
    Surface s;
    if (!MakeSurface(dst, d) || !MakeSurface(src, s) || weight == 0.0f || !Finite(weight))
    {
        return;
    }

    // Clip the source rectangle to the source, then the destination point to
    // the destination, then the size to what fits. 64-bit so that extreme
    // coordinates cannot wrap.
    long long sx = srcx;
    long long sy = srcy;
    long long sw = srcw;
    long long sh = srch;
    long long dx = dstx;
    long long dy = dsty;
    ClipAxis(sx, dx, sw, s.w, d.w);
    ClipAxis(sy, dy, sh, s.h, d.h);
    if (sw <= 0 || sh <= 0)
    {
        return;
    }
    const int x0 = static_cast<int>(dx);
    const int y0 = static_cast<int>(dy);
    const int u0 = static_cast<int>(sx);
    const int v0 = static_cast<int>(sy);
    const int w = static_cast<int>(sw);
    const int h = static_cast<int>(sh);

    const unsigned op = mode & RasterModeMask;
    if (op >= RasterModeChannelCopy)
    {
        BlitChannel(d, s, x0, y0, u0, v0, w, h, mode);
        return;
    }

    if (op == RasterModeCopy && !(mode & RasterUseSourceAlpha))
    {
        if (weight == 1.0f)
        {
            for (int y = 0; y < h; ++y)
            {
                std::memmove(d.Row(y0 + y) + x0, s.Row(v0 + y) + u0, sizeof(uint32_t) * w);
            }
            return;
        }
        if (weight == 0.5f)
        {
            ForEachPixelPair(d, s, x0, y0, u0, v0, w, h,
                             [](uint32_t& q, uint32_t p) { q = Mix128(q, p); });
            return;
        }
    }

    const int ia = WeightToInt(weight);
    WithCombiner(mode, ia,
                 [&](auto combiner)
                 {
                     using Op = decltype(combiner);
                     BlitRows<Op>(d, s, x0, y0, u0, v0, w, h, ia);
                 });
}

void RasterCopy(LICE_IBitmap* dst, LICE_IBitmap* src)
{
    if (!dst || !src)
    {
        return;
    }
    dst->Resize(src->Width(), src->Height());
    RasterBlit(dst, src, 0, 0, 0, 0, src->Width(), src->Height(), 1.0f, RasterModeCopy);
}
