#include "raster/Raster.h"
#include "raster/RasterCombiners.h"
#include "raster/RasterSampling.h"

#include <cmath>

using namespace raster_detail;

namespace
{
// Where the source is sampled: 16.16 positions, and the usable source area
// [0, limitX) x [0, limitY).
struct Sampling
{
    long long x0; // first sample
    long long y0;
    long long dx; // step per destination pixel
    long long dy;
    int limitX;
    int limitY;
};

struct NearestSampler
{
    static uint32_t Sample(const Surface& s, const Sampling&, long long px, long long py)
    {
        return s.Row(static_cast<int>(py >> 16))[px >> 16];
    }
};

// Bilinear between the sample and its right and lower neighbours; the last
// usable row interpolates horizontally only and the last column takes the
// pixel itself.
struct BilinearSampler
{
    static uint32_t Sample(const Surface& s, const Sampling& g, long long px, long long py)
    {
        const int x = static_cast<int>(px >> 16);
        const int y = static_cast<int>(py >> 16);
        const uint32_t* row = s.Row(y);
        if (x + 1 >= g.limitX)
        {
            return row[x];
        }
        const int fx = static_cast<int>(px & 0xFFFF);
        if (y + 1 >= g.limitY)
        {
            return Lerp2(row[x], row[x + 1], fx);
        }
        const uint32_t* below = s.Row(y + 1);
        return Lerp4(row[x], row[x + 1], below[x], below[x + 1], fx, static_cast<int>(py & 0xFFFF));
    }
};

// Downscaling: the equal-weight average of a square of (2 * Half + 1)^2
// source pixels centred on the sample; cells outside the source are left out.
template <int Half> struct BoxSampler
{
    static uint32_t Sample(const Surface& s, const Sampling& g, long long px, long long py)
    {
        const int cx = static_cast<int>(px >> 16);
        const int cy = static_cast<int>(py >> 16);
        const int xa = cx - Half < 0 ? 0 : cx - Half;
        const int xb = cx + Half >= g.limitX ? g.limitX - 1 : cx + Half;
        const int ya = cy - Half < 0 ? 0 : cy - Half;
        const int yb = cy + Half >= g.limitY ? g.limitY - 1 : cy + Half;
        int r = 0;
        int gr = 0;
        int b = 0;
        int a = 0;
        int n = 0;
        for (int y = ya; y <= yb; ++y)
        {
            const uint32_t* row = s.Row(y);
            for (int x = xa; x <= xb; ++x)
            {
                const uint32_t p = row[x];
                r += ChR(p);
                gr += ChG(p);
                b += ChB(p);
                a += ChA(p);
                ++n;
            }
        }
        if (n == 0)
        {
            return s.Row(cy)[cx];
        }
        return PackLow(r / n, gr / n, b / n, a / n);
    }
};

template <class Op, class Sampler>
void ScaledRows(const Surface& d, const Surface& s, const Sampling& g, int dx, int dy, int w, int h,
                int weight)
{
    long long py = g.y0;
    for (int y = 0; y < h; ++y, py += g.dy)
    {
        uint32_t* dp = d.Row(dy + y) + dx;
        long long px = g.x0;
        for (int x = 0; x < w; ++x, px += g.dx)
        {
            const uint32_t p = Sampler::Sample(s, g, px, py);
            Op::Apply(dp[x], ChR(p), ChG(p), ChB(p), ChA(p), weight);
        }
    }
}

bool NearWhole(float v)
{
    return std::fabs(v - std::floor(v + 0.5f)) < 0.03f;
}

// Trims destination pixels [first, first + count) whose samples fall outside
// [0, limit); samples move monotonically, so the valid ones are contiguous.
void TrimToSource(long long& pos, long long step, long long& dst, long long& count, int limit)
{
    auto valid = [&](long long p)
    {
        const long long i = p >> 16;
        return i >= 0 && i < limit;
    };
    while (count > 0 && !valid(pos))
    {
        pos += step;
        ++dst;
        --count;
    }
    while (count > 0 && !valid(pos + (count - 1) * step))
    {
        --count;
    }
}
} // namespace

void RasterScaledBlit(LICE_IBitmap* dst, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                      float srcx, float srcy, float srcw, float srch, float weight, unsigned mode)
{
    Surface d;
    Surface s;
    if (!MakeSurface(dst, d) || !MakeSurface(src, s) || dstw == 0 || dsth == 0 || weight == 0.0f ||
        !Finite(weight))
    {
        return;
    }
    for (float v : {srcx, srcy, srcw, srch})
    {
        if (!Finite(v) || std::fabs(v) > MaxCoordinate)
        {
            return;
        }
    }
    const bool bilinear = IsBilinear(mode);

    // Same size and a whole source position: a plain rectangle blit.
    if (dstw > 0 && dsth > 0 && std::fabs(srcw - static_cast<float>(dstw)) < 0.001f &&
        std::fabs(srch - static_cast<float>(dsth)) < 0.001f &&
        (!bilinear || (NearWhole(srcx) && NearWhole(srcy))))
    {
        RasterBlit(dst, src, dstx, dsty, static_cast<int>(srcx + 0.5f),
                   static_cast<int>(srcy + 0.5f), dstw, dsth, weight, mode);
        return;
    }

    long long dx = dstx;
    long long dy = dsty;
    long long dw = dstw;
    long long dh = dsth;
    double sx = srcx;
    double sy = srcy;
    double sw = srcw;
    double sh = srch;
    const bool mirrorX = Unmirror(dx, dw, sx, sw);
    const bool mirrorY = Unmirror(dy, dh, sy, sh);

    // Usable source area: up to the end of the source rectangle and the
    // source bitmap.
    double endX = std::ceil(sx + (sw > 0 ? sw : 0));
    double endY = std::ceil(sy + (sh > 0 ? sh : 0));
    const int limitX = endX < s.w ? (endX < 0 ? 0 : static_cast<int>(endX)) : s.w;
    const int limitY = endY < s.h ? (endY < 0 ? 0 : static_cast<int>(endY)) : s.h;

    const double xstep = sw / static_cast<double>(dw);
    const double ystep = sh / static_cast<double>(dh);
    // A mirrored copy samples the unmirrored sample points in reverse order:
    // the first sample lies one step inside the far edge.
    if (mirrorX)
    {
        sx += xstep;
    }
    if (mirrorY)
    {
        sy += ystep;
    }

    if (dx < 0)
    {
        sx += xstep * static_cast<double>(-dx);
        dw += dx;
        dx = 0;
    }
    if (dy < 0)
    {
        sy += ystep * static_cast<double>(-dy);
        dh += dy;
        dy = 0;
    }
    if (dx + dw > d.w)
    {
        dw = d.w - dx;
    }
    if (dy + dh > d.h)
    {
        dh = d.h - dy;
    }
    if (dw <= 0 || dh <= 0 || limitX <= 0 || limitY <= 0 || !WithinReach(sx, xstep, dw) ||
        !WithinReach(sy, ystep, dh))
    {
        return;
    }

    Sampling g;
    g.x0 = static_cast<long long>(sx * 65536.0);
    g.y0 = static_cast<long long>(sy * 65536.0);
    g.dx = static_cast<long long>(xstep * 65536.0);
    g.dy = static_cast<long long>(ystep * 65536.0);
    g.limitX = limitX;
    g.limitY = limitY;
    TrimToSource(g.x0, g.dx, dx, dw, limitX);
    TrimToSource(g.y0, g.dy, dy, dh, limitY);
    if (dw <= 0 || dh <= 0)
    {
        return;
    }
    const int x0 = static_cast<int>(dx);
    const int y0 = static_cast<int>(dy);
    const int w = static_cast<int>(dw);
    const int h = static_cast<int>(dh);

    const int ia = WeightToInt(weight);
    if ((mode & 0x1FFFFu) == 0 && (ia == 128 || ia == 256))
    {
        long long py = g.y0;
        for (int y = 0; y < h; ++y, py += g.dy)
        {
            uint32_t* dp = d.Row(y0 + y) + x0;
            const uint32_t* row = s.Row(static_cast<int>(py >> 16));
            long long px = g.x0;
            if (ia == 256)
            {
                for (int x = 0; x < w; ++x, px += g.dx)
                {
                    dp[x] = row[px >> 16];
                }
            }
            else
            {
                for (int x = 0; x < w; ++x, px += g.dx)
                {
                    dp[x] = Mix128(dp[x], row[px >> 16]);
                }
            }
        }
        return;
    }

    const bool downscale = bilinear && xstep >= 1.7 && ystep >= 1.7;
    const bool wide = (g.dx > g.dy ? g.dx : g.dy) > 0x30000;
    WithCombiner(mode, ia,
                 [&](auto combiner)
                 {
                     using Op = decltype(combiner);
                     if (downscale)
                     {
                         if (wide)
                         {
                             ScaledRows<Op, BoxSampler<2>>(d, s, g, x0, y0, w, h, ia);
                         }
                         else
                         {
                             ScaledRows<Op, BoxSampler<1>>(d, s, g, x0, y0, w, h, ia);
                         }
                     }
                     else if (bilinear)
                     {
                         ScaledRows<Op, BilinearSampler>(d, s, g, x0, y0, w, h, ia);
                     }
                     else
                     {
                         ScaledRows<Op, NearestSampler>(d, s, g, x0, y0, w, h, ia);
                     }
                 });
}
