#include "raster/Raster.h"
#include "raster/RasterCombiners.h"

using namespace raster_detail;

namespace
{
// Clips (x, y, w, h) to the surface; false when nothing is left.
bool ClipRect(const Surface& s, int& x, int& y, int& w, int& h)
{
    long long x0 = x;
    long long y0 = y;
    long long x1 = x0 + w;
    long long y1 = y0 + h;
    if (x0 < 0)
    {
        x0 = 0;
    }
    if (y0 < 0)
    {
        y0 = 0;
    }
    if (x1 > s.w)
    {
        x1 = s.w;
    }
    if (y1 > s.h)
    {
        y1 = s.h;
    }
    if (x1 <= x0 || y1 <= y0)
    {
        return false;
    }
    x = static_cast<int>(x0);
    y = static_cast<int>(y0);
    w = static_cast<int>(x1 - x0);
    h = static_cast<int>(y1 - y0);
    return true;
}

template <class F> void ForEachPixel(const Surface& s, int x, int y, int w, int h, F&& f)
{
    for (int j = 0; j < h; ++j)
    {
        uint32_t* row = s.Row(y + j) + x;
        for (int i = 0; i < w; ++i)
        {
            f(row[i]);
        }
    }
}

template <class Op>
void FillRows(const Surface& s, int x, int y, int w, int h, uint32_t colour, int weight)
{
    const int r = ChR(colour);
    const int g = ChG(colour);
    const int b = ChB(colour);
    ForEachPixel(s, x, y, w, h, [&](uint32_t& p) { Op::Apply(p, r, g, b, weight, weight); });
}

// The copy at the weights with shifted-mask forms; false for other weights.
bool FixedWeightCopy(uint32_t& p, uint32_t colour, int w)
{
    switch (w)
    {
    case 256:
        p = colour;
        return true;
    case 192:
        p = Mix192(p, colour);
        return true;
    case 128:
        p = Mix128(p, colour);
        return true;
    case 64:
        p = Mix64(p, colour);
        return true;
    default:
        return false;
    }
}
} // namespace

void RasterFillRect(LICE_IBitmap* dst, int x, int y, int w, int h, uint32_t colour, float weight,
                    unsigned mode)
{
    Surface s;
    if (!MakeSurface(dst, s) || !Finite(weight))
    {
        return;
    }
    if (mode & RasterUseSourceAlpha)
    {
        weight *= static_cast<float>(ChA(colour)) / 255.0f;
    }
    if (weight == 0.0f || !ClipRect(s, x, y, w, h))
    {
        return;
    }
    const int ia = WeightToInt(weight);
    if ((mode & RasterModeMask) == RasterModeCopy)
    {
        switch (ia)
        {
        case 256:
            ForEachPixel(s, x, y, w, h, [&](uint32_t& p) { p = colour; });
            return;
        case 192:
            ForEachPixel(s, x, y, w, h, [&](uint32_t& p) { p = Mix192(p, colour); });
            return;
        case 128:
            ForEachPixel(s, x, y, w, h, [&](uint32_t& p) { p = Mix128(p, colour); });
            return;
        case 64:
            ForEachPixel(s, x, y, w, h, [&](uint32_t& p) { p = Mix64(p, colour); });
            return;
        default:
            break;
        }
    }
    WithColourCombiner(mode, ia,
                       [&](auto combiner)
                       {
                           using Op = decltype(combiner);
                           FillRows<Op>(s, x, y, w, h, colour, ia);
                       });
}

void RasterClearRect(LICE_IBitmap* dst, int x, int y, int w, int h, uint32_t andMask,
                     uint32_t orBits)
{
    Surface s;
    if (!MakeSurface(dst, s) || !ClipRect(s, x, y, w, h))
    {
        return;
    }
    ForEachPixel(s, x, y, w, h, [&](uint32_t& p) { p = (p & andMask) | orBits; });
}

void RasterPutPixel(LICE_IBitmap* dst, int x, int y, uint32_t colour, float weight, unsigned mode)
{
    Surface s;
    if (!MakeSurface(dst, s) || x < 0 || y < 0 || x >= s.w || y >= s.h || !Finite(weight))
    {
        return;
    }
    const int ia = WeightToInt(weight);
    uint32_t& p = s.Row(y)[x];
    if ((mode & RasterModeMask) == RasterModeCopy && FixedWeightCopy(p, colour, ia))
    {
        return;
    }
    WithColourCombiner(mode, ia,
                       [&](auto combiner)
                       {
                           using Op = decltype(combiner);
                           Op::Apply(p, ChR(colour), ChG(colour), ChB(colour), ChA(colour), ia);
                       });
}

uint32_t RasterGetPixel(LICE_IBitmap* src, int x, int y)
{
    Surface s;
    if (!MakeSurface(src, s) || x < 0 || y < 0 || x >= s.w || y >= s.h)
    {
        return 0;
    }
    return s.Row(y)[x];
}

void RasterDrawMask(LICE_IBitmap* dst, int x, int y, uint32_t colour, const unsigned char* mask,
                    int maskw, int maskh, float weight, unsigned mode)
{
    Surface s;
    if (!MakeSurface(dst, s) || !mask || maskw <= 0 || maskh <= 0 || !Finite(weight))
    {
        return;
    }
    int cx = x;
    int cy = y;
    int cw = maskw;
    int ch = maskh;
    if (!ClipRect(s, cx, cy, cw, ch))
    {
        return;
    }
    const int ia = WeightToInt(weight);
    const int r = ChR(colour);
    const int g = ChG(colour);
    const int b = ChB(colour);
    const int a = ChA(colour);
    WithColourCombiner(mode, ia,
                       [&](auto combiner)
                       {
                           using Op = decltype(combiner);
                           for (int j = 0; j < ch; ++j)
                           {
                               const long long my = static_cast<long long>(cy + j) - y;
                               const unsigned char* m =
                                   mask + my * maskw + (static_cast<long long>(cx) - x);
                               uint32_t* row = s.Row(cy + j) + cx;
                               for (int i = 0; i < cw; ++i)
                               {
                                   if (m[i] == 0)
                                   {
                                       continue;
                                   }
                                   // Never negative for a copy: its weight is positive here.
                                   const int mw = ia * m[i] / 256;
                                   if (mw == 0)
                                   {
                                       continue;
                                   }
                                   Op::Apply(row[i], r, g, b, a, mw);
                               }
                           }
                       });
}
