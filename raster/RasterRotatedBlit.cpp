#include "raster/Raster.h"
#include "raster/RasterCombiners.h"
#include "raster/RasterSampling.h"

#include <algorithm>
#include <cmath>

using namespace raster_detail;

namespace
{
// The source area that may be sampled: [minX, maxX) x [minY, maxY).
struct Area
{
    int minX;
    int minY;
    int maxX;
    int maxY;
};

struct NearestRotSampler
{
    static bool Sample(const Surface& s, const Area& a, long long px, long long py, uint32_t& out)
    {
        const long long x = px >> 16;
        const long long y = py >> 16;
        if (x < a.minX || x >= a.maxX || y < a.minY || y >= a.maxY)
        {
            return false;
        }
        out = s.Row(static_cast<int>(y))[x];
        return true;
    }
};

// Bilinear inside the area; along its last column and last row the
// interpolation runs only towards the neighbour that is still inside.
struct BilinearRotSampler
{
    static bool Sample(const Surface& s, const Area& a, long long px, long long py, uint32_t& out)
    {
        const long long xl = px >> 16;
        const long long yl = py >> 16;
        if (xl < a.minX || xl >= a.maxX || yl < a.minY || yl >= a.maxY)
        {
            return false;
        }
        const int x = static_cast<int>(xl);
        const int y = static_cast<int>(yl);
        const int fx = static_cast<int>(px & 0xFFFF);
        const int fy = static_cast<int>(py & 0xFFFF);
        const uint32_t* row = s.Row(y);
        const bool lastCol = x + 1 >= a.maxX;
        const bool lastRow = y + 1 >= a.maxY;
        if (lastCol && lastRow)
        {
            out = row[x];
        }
        else if (lastCol)
        {
            out = Lerp2(row[x], s.Row(y + 1)[x], fy);
        }
        else if (lastRow)
        {
            out = Lerp2(row[x], row[x + 1], fx);
        }
        else
        {
            const uint32_t* below = s.Row(y + 1);
            out = Lerp4(row[x], row[x + 1], below[x], below[x + 1], fx, fy);
        }
        return true;
    }
};

template <class Op, class Sampler>
void RotatedRows(const Surface& d, const Surface& s, const Area& area, int dx, int dy, int w, int h,
                 long long x0, long long y0, long long colX, long long colY, long long rowX,
                 long long rowY, int weight)
{
    for (int y = 0; y < h; ++y, x0 += rowX, y0 += rowY)
    {
        uint32_t* dp = d.Row(dy + y) + dx;
        long long px = x0;
        long long py = y0;
        for (int x = 0; x < w; ++x, px += colX, py += colY)
        {
            uint32_t p;
            if (Sampler::Sample(s, area, px, py, p))
            {
                Op::Apply(dp[x], ChR(p), ChG(p), ChB(p), ChA(p), weight);
            }
        }
    }
}

// Whole positions that float arithmetic left a hair off become whole again.
double SnapNearWhole(double v)
{
    const double whole = std::floor(v + 0.5);
    return std::fabs(v - whole) < 0.001 ? whole : v;
}

// 16.16, truncated.
long long ToFixed(double v)
{
    return static_cast<long long>(v * 65536.0);
}

int TruncClamp(double v, int lo, int hi)
{
    if (!(v > lo))
    {
        return lo;
    }
    if (v >= hi)
    {
        return hi;
    }
    return static_cast<int>(v);
}
} // namespace

void RasterRotatedBlit(LICE_IBitmap* dst, LICE_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                       float srcx, float srcy, float srcw, float srch, float angle,
                       bool clipToSource, float weight, unsigned mode, float centreOffsetX,
                       float centreOffsetY)
{
    Surface d;
    Surface s;
    if (!MakeSurface(dst, d) || !MakeSurface(src, s) || dstw == 0 || dsth == 0 || !Finite(weight) ||
        !Finite(angle))
    {
        return;
    }
    for (float v : {srcx, srcy, srcw, srch, centreOffsetX, centreOffsetY})
    {
        if (!Finite(v) || std::fabs(v) > MaxCoordinate)
        {
            return;
        }
    }

    Area area = {0, 0, s.w, s.h};
    if (clipToSource)
    {
        area.minX = TruncClamp(srcx, 0, s.w);
        area.minY = TruncClamp(srcy, 0, s.h);
        area.maxX = TruncClamp(static_cast<double>(srcx) + srcw, 0, s.w);
        area.maxY = TruncClamp(static_cast<double>(srcy) + srch, 0, s.h);
    }
    if (area.minX >= area.maxX || area.minY >= area.maxY)
    {
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
    Unmirror(dx, dw, sx, sw);
    Unmirror(dy, dh, sy, sh);

    const double c = std::cos(static_cast<double>(angle));
    const double sn = std::sin(static_cast<double>(angle));
    const double xs = sw / static_cast<double>(dw);
    const double ys = sh / static_cast<double>(dh);
    const double colX = xs * c;
    const double colY = -ys * sn;
    const double rowX = xs * sn;
    const double rowY = ys * c;

    // The destination rectangle's centre maps to the source rectangle's
    // centre moved by the centre offset; (x0, y0) is where the top-left
    // corner of the first destination pixel lands.
    const float termX = static_cast<float>((dw * xs * c + dh * xs * sn - sw) / 2 - centreOffsetX);
    const float termY = static_cast<float>((-dw * ys * sn + dh * ys * c - sh) / 2 - centreOffsetY);
    // Each destination pixel samples the source at the top-left of its
    // footprint there. Where a step runs backwards along a source axis (a
    // turn, a mirror) that is the opposite corner, one step further on;
    // otherwise a half or quarter turn would sample one pixel beyond the
    // picture on one side and drop the first row or column on the other.
    double x0 = sx - termX + std::min(colX, 0.0) + std::min(rowX, 0.0);
    double y0 = sy - termY + std::min(colY, 0.0) + std::min(rowY, 0.0);

    if (dx < 0)
    {
        x0 += colX * static_cast<double>(-dx);
        y0 += colY * static_cast<double>(-dx);
        dw += dx;
        dx = 0;
    }
    if (dy < 0)
    {
        x0 += rowX * static_cast<double>(-dy);
        y0 += rowY * static_cast<double>(-dy);
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
    if (dw < 1 || dh < 1)
    {
        return;
    }

    if (!WithinReach(x0, colX, dw, rowX, dh) || !WithinReach(y0, colY, dw, rowY, dh))
    {
        return;
    }

    const int ia = WeightToInt(weight);
    // 16.16 fixed point. The sine and cosine of a float angle near a
    // quarter turn are a hair off 0 and 1, and the single-precision terms
    // above carry that into the start: steps are rounded, and a start that
    // lies within a thousandth of a pixel of a whole position is taken as
    // whole, so that whole turns keep every pixel in place.
    const long long fx0 = ToFixed(SnapNearWhole(x0));
    const long long fy0 = ToFixed(SnapNearWhole(y0));
    const long long fcolX = std::llround(colX * 65536.0);
    const long long fcolY = std::llround(colY * 65536.0);
    const long long frowX = std::llround(rowX * 65536.0);
    const long long frowY = std::llround(rowY * 65536.0);
    const int ox = static_cast<int>(dx);
    const int oy = static_cast<int>(dy);
    const int w = static_cast<int>(dw);
    const int h = static_cast<int>(dh);
    const bool bilinear = IsBilinear(mode);
    WithCombiner(mode, ia,
                 [&](auto combiner)
                 {
                     using Op = decltype(combiner);
                     if (bilinear)
                     {
                         RotatedRows<Op, BilinearRotSampler>(d, s, area, ox, oy, w, h, fx0, fy0,
                                                             fcolX, fcolY, frowX, frowY, ia);
                     }
                     else
                     {
                         RotatedRows<Op, NearestRotSampler>(d, s, area, ox, oy, w, h, fx0, fy0,
                                                            fcolX, fcolY, frowX, frowY, ia);
                     }
                 });
}
