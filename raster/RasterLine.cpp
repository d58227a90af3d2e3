#include "raster/Raster.h"
#include "raster/RasterCombiners.h"

#include <cstdlib>

using namespace raster_detail;

namespace
{
// Cohen-Sutherland clipping of the segment to [0, xmax] x [0, ymax].
int OutCode(long long x, long long y, long long xmax, long long ymax)
{
    int code = 0;
    if (x < 0)
    {
        code |= 1;
    }
    else if (x > xmax)
    {
        code |= 2;
    }
    if (y < 0)
    {
        code |= 4;
    }
    else if (y > ymax)
    {
        code |= 8;
    }
    return code;
}

// a * b / c rounded toward zero; exact unless the product could overflow,
// which only extreme coordinates reach.
long long MulDiv(long long a, long long b, long long c)
{
    const long long lim = 0x7FFFFFFFLL;
    if (a < lim && a > -lim && b < lim && b > -lim)
    {
        return a * b / c;
    }
    return static_cast<long long>(static_cast<double>(a) * static_cast<double>(b) /
                                  static_cast<double>(c));
}

bool ClipLine(long long& x1, long long& y1, long long& x2, long long& y2, long long xmax,
              long long ymax)
{
    int c1 = OutCode(x1, y1, xmax, ymax);
    int c2 = OutCode(x2, y2, xmax, ymax);
    for (int guard = 0; guard < 16; ++guard)
    {
        if ((c1 | c2) == 0)
        {
            return true;
        }
        if (c1 & c2)
        {
            return false;
        }
        const int out = c1 ? c1 : c2;
        long long x;
        long long y;
        if (out & 8)
        {
            x = x1 + MulDiv(x2 - x1, ymax - y1, y2 - y1);
            y = ymax;
        }
        else if (out & 4)
        {
            x = x1 + MulDiv(x2 - x1, 0 - y1, y2 - y1);
            y = 0;
        }
        else if (out & 2)
        {
            y = y1 + MulDiv(y2 - y1, xmax - x1, x2 - x1);
            x = xmax;
        }
        else
        {
            y = y1 + MulDiv(y2 - y1, 0 - x1, x2 - x1);
            x = 0;
        }
        if (out == c1)
        {
            x1 = x;
            y1 = y;
            c1 = OutCode(x1, y1, xmax, ymax);
        }
        else
        {
            x2 = x;
            y2 = y;
            c2 = OutCode(x2, y2, xmax, ymax);
        }
    }
    return false;
}

template <class Solid, class Op> struct LineDrawer
{
    const Surface& s;
    uint32_t colour;
    int w;

    void Solid1(int x, int y) { Solid::Put(s.Row(y)[x], colour, w); }

    // A pixel with its own weight, skipped outside the surface.
    void Weighted(int x, int y, int weight)
    {
        if (weight == 0 || x < 0 || y < 0 || x >= s.w || y >= s.h)
        {
            return;
        }
        Op::Apply(s.Row(y)[x], ChR(colour), ChG(colour), ChB(colour), ChA(colour), weight);
    }

    void Fixed(int x, int y, bool threeQuarter)
    {
        if (x < 0 || y < 0 || x >= s.w || y >= s.h)
        {
            return;
        }
        uint32_t& p = s.Row(y)[x];
        p = threeQuarter ? Mix192(p, colour) : Mix64(p, colour);
    }

    void Span(int x1, int y1, int x2, int y2)
    {
        if (y1 == y2)
        {
            const int a = x1 < x2 ? x1 : x2;
            const int b = x1 < x2 ? x2 : x1;
            uint32_t* row = s.Row(y1);
            for (int x = a; x <= b; ++x)
            {
                Solid::Put(row[x], colour, w);
            }
        }
        else
        {
            const int a = y1 < y2 ? y1 : y2;
            const int b = y1 < y2 ? y2 : y1;
            for (int y = a; y <= b; ++y)
            {
                Solid::Put(s.Row(y)[x1], colour, w);
            }
        }
    }

    void Diagonal(int x1, int y1, int x2, int y2, bool aa, bool fixedMix)
    {
        const int sx = x2 > x1 ? 1 : -1;
        const int sy = y2 > y1 ? 1 : -1;
        const int n = std::abs(x2 - x1);
        for (int i = 0; i <= n; ++i)
        {
            const int x = x1 + i * sx;
            const int y = y1 + i * sy;
            if (!aa)
            {
                Solid1(x, y);
                continue;
            }
            // The pixel on the diagonal takes three quarters, its neighbours
            // along x and along y a quarter each; the last pixel stands alone.
            if (fixedMix)
            {
                Fixed(x, y, true);
                if (i < n)
                {
                    Fixed(x + sx, y, false);
                    Fixed(x, y + sy, false);
                }
            }
            else
            {
                Weighted(x, y, w * 192 / 256);
                if (i < n)
                {
                    Weighted(x + sx, y, w * 64 / 256);
                    Weighted(x, y + sy, w * 64 / 256);
                }
            }
        }
    }

    // Any other slope: steps along the major axis with a 16.16 accumulator,
    // drawn from both ends towards the middle so the line is the same
    // whichever way round its ends are given.
    void General(int x1, int y1, int x2, int y2, bool aa)
    {
        const int adx = std::abs(x2 - x1);
        const int ady = std::abs(y2 - y1);
        const bool xMajor = adx > ady;
        const int major = xMajor ? adx : ady;
        const int minor = xMajor ? ady : adx;
        const int sMajor = xMajor ? (x2 > x1 ? 1 : -1) : (y2 > y1 ? 1 : -1);
        const int sMinor = xMajor ? (y2 > y1 ? 1 : -1) : (x2 > x1 ? 1 : -1);
        const long long err = (static_cast<long long>(minor) << 16) / major;
        const int count = major + 1;
        const int half = count / 2;

        auto at = [&](int fromStart, int i, int off, int& x, int& y)
        {
            const int dir = fromStart ? 1 : -1;
            const int bx = fromStart ? x1 : x2;
            const int by = fromStart ? y1 : y2;
            if (xMajor)
            {
                x = bx + dir * i * sMajor;
                y = by + dir * off * sMinor;
            }
            else
            {
                y = by + dir * i * sMajor;
                x = bx + dir * off * sMinor;
            }
        };
        auto plot = [&](int fromStart, int i)
        {
            const long long acc = err * i;
            int x;
            int y;
            if (!aa)
            {
                at(fromStart, i, static_cast<int>((acc + 0x8000) >> 16), x, y);
                if (x >= 0 && y >= 0 && x < s.w && y < s.h)
                {
                    Solid1(x, y);
                }
                return;
            }
            const int off = static_cast<int>(acc >> 16);
            at(fromStart, i, off, x, y);
            if (i == 0)
            {
                if (x >= 0 && y >= 0 && x < s.w && y < s.h)
                {
                    Solid1(x, y);
                }
                return;
            }
            const int f = static_cast<int>((acc & 0xFFFF) >> 8);
            int on = 255 - f;
            int next = f;
            if (w < 256)
            {
                on = on * w / 256;
                next = next * w / 256;
            }
            Weighted(x, y, on);
            int nx;
            int ny;
            at(fromStart, i, off + 1, nx, ny);
            Weighted(nx, ny, next);
        };
        for (int i = 0; i < half; ++i)
        {
            plot(1, i);
            plot(0, i);
        }
        if (count & 1)
        {
            plot(1, half);
        }
    }
};

template <class Solid, class Op>
void DrawLine(const Surface& s, int x1, int y1, int x2, int y2, uint32_t colour, int w, bool aa,
              bool fixedDiagonal)
{
    LineDrawer<Solid, Op> l{s, colour, w};
    if (x1 == x2 || y1 == y2)
    {
        l.Span(x1, y1, x2, y2);
    }
    else if (std::abs(x2 - x1) == std::abs(y2 - y1))
    {
        l.Diagonal(x1, y1, x2, y2, aa, fixedDiagonal);
    }
    else
    {
        l.General(x1, y1, x2, y2, aa);
    }
}
} // namespace

void RasterLine(LICE_IBitmap* dst, int x1, int y1, int x2, int y2, uint32_t colour, float weight,
                unsigned mode, bool antialias)
{
    Surface s;
    if (!MakeSurface(dst, s) || !Finite(weight) || weight == 0.0f)
    {
        return;
    }
    long long ax = x1;
    long long ay = y1;
    long long bx = x2;
    long long by = y2;
    if (!ClipLine(ax, ay, bx, by, s.w - 1, s.h - 1))
    {
        return;
    }
    const int cx1 = static_cast<int>(ax);
    const int cy1 = static_cast<int>(ay);
    const int cx2 = static_cast<int>(bx);
    const int cy2 = static_cast<int>(by);
    const int ia = WeightToInt(weight);
    const bool span = cx1 == cx2 || cy1 == cy2;

    if ((mode & RasterModeMask) == RasterModeCopy)
    {
        if (ia <= 0)
        {
            return;
        }
        if (ia == 256)
        {
            DrawLine<StoreWriter, CopyOp>(s, cx1, cy1, cx2, cy2, colour, ia, antialias, true);
        }
        else if (ia == 128)
        {
            DrawLine<Mix128Writer, CopyOp>(s, cx1, cy1, cx2, cy2, colour, ia, antialias, false);
        }
        else if (span && ia == 64)
        {
            DrawLine<Mix64Writer, CopyOp>(s, cx1, cy1, cx2, cy2, colour, ia, antialias, false);
        }
        else if (span && ia == 192)
        {
            DrawLine<Mix192Writer, CopyOp>(s, cx1, cy1, cx2, cy2, colour, ia, antialias, false);
        }
        else
        {
            DrawLine<CombineWriter<CopyOp>, CopyOp>(s, cx1, cy1, cx2, cy2, colour, ia, antialias,
                                                    false);
        }
        return;
    }
    WithColourCombiner(mode, ia,
                       [&](auto combiner)
                       {
                           using Op = decltype(combiner);
                           DrawLine<CombineWriter<Op>, Op>(s, cx1, cy1, cx2, cy2, colour, ia,
                                                           antialias, false);
                       });
}
