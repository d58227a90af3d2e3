#include "raster/Raster.h"
#include "raster/RasterCombiners.h"

#include <cmath>

using namespace raster_detail;

namespace
{
const double TwoPi = 6.283185307179586;
// Larger circles would take unreasonably long to trace; they draw nothing.
const double MaxRadius = 262144.0;
const double MaxCentre = 16777216.0;

// Coverage masks for small circles, one per half-pixel step of radius from 2
// to 4, each MaskSize x MaskSize with the centre in the middle pixel.
const int MaskSize = 11;
const int MaskCentre = 5;
const int MaskCount = 5;

struct SmallCircleMasks
{
    unsigned char solid[MaskCount][MaskSize * MaskSize];
    unsigned char smooth[MaskCount][MaskSize * MaskSize];

    SmallCircleMasks()
    {
        for (int m = 0; m < MaskCount; ++m)
        {
            const double r = 2.0 + 0.5 * m;
            for (int y = 0; y < MaskSize; ++y)
            {
                for (int x = 0; x < MaskSize; ++x)
                {
                    const double dist = std::hypot(x - MaskCentre, y - MaskCentre);
                    const double off = std::fabs(dist - r);
                    solid[m][y * MaskSize + x] = off <= 0.5 ? 255 : 0;
                    const double cover = off < 1.0 ? 1.0 - off : 0.0;
                    smooth[m][y * MaskSize + x] = static_cast<unsigned char>(cover * 255.0 + 0.5);
                }
            }
        }
    }
};

const SmallCircleMasks& Masks()
{
    static const SmallCircleMasks masks;
    return masks;
}

// Which offsets from the centre an arc keeps; angle 0 points up and angles
// grow clockwise on screen.
struct AngleRange
{
    bool full = true;
    double start = 0;
    double span = 0;

    bool Keeps(double ox, double oy) const
    {
        if (full)
        {
            return true;
        }
        double t = std::fmod(std::atan2(ox, -oy) - start, TwoPi);
        if (t < 0)
        {
            t += TwoPi;
        }
        return t <= span;
    }
};

template <class Solid, class Op> struct CircleDrawer
{
    const Surface& s;
    uint32_t colour;
    int w;
    const AngleRange& range;

    bool Inside(long long x, long long y) const { return x >= 0 && y >= 0 && x < s.w && y < s.h; }

    void SolidAt(double fx, double fy, double ox, double oy)
    {
        if (!range.Keeps(ox, oy))
        {
            return;
        }
        const long long x = static_cast<long long>(fx);
        const long long y = static_cast<long long>(fy);
        if (Inside(x, y))
        {
            Solid::Put(s.Row(static_cast<int>(y))[x], colour, w);
        }
    }

    void CoverAt(long long x, long long y, int ox, int oy, int cover)
    {
        if (cover <= 0 || !range.Keeps(ox, oy) || !Inside(x, y))
        {
            return;
        }
        const int weight = w < 256 ? cover * w / 256 : cover;
        if (weight == 0)
        {
            return;
        }
        Op::Apply(s.Row(static_cast<int>(y))[x], ChR(colour), ChG(colour), ChB(colour), ChA(colour),
                  weight);
    }

    // Midpoint circle in floating point; each symmetric point is drawn once.
    void DrawSolid(double cx, double cy, double r)
    {
        SolidAt(cx, cy + r, 0, r);
        SolidAt(cx, cy - r, 0, -r);
        SolidAt(cx + r, cy, r, 0);
        SolidAt(cx - r, cy, -r, 0);
        double x = 0;
        double y = r;
        double d = (5 - 4 * r) / 4;
        while (x < y)
        {
            x += 1;
            if (d < 0)
            {
                d += 2 * x + 1;
            }
            else
            {
                y -= 1;
                d += 2 * (x - y) + 1;
            }
            SolidAt(cx + x, cy + y, x, y);
            SolidAt(cx - x, cy + y, -x, y);
            SolidAt(cx + x, cy - y, x, -y);
            SolidAt(cx - x, cy - y, -x, -y);
            if (x != y)
            {
                SolidAt(cx + y, cy + x, y, x);
                SolidAt(cx - y, cy + x, -y, x);
                SolidAt(cx + y, cy - x, y, -x);
                SolidAt(cx - y, cy - x, -y, -x);
            }
        }
    }

    // The eight mirror images of offset (a, b); duplicates on the axes and
    // the diagonals are drawn once.
    void Cover8(long long cx, long long cy, int a, int b, int cover)
    {
        const int pts[8][2] = {{a, b}, {-a, b}, {a, -b}, {-a, -b},
                               {b, a}, {-b, a}, {b, -a}, {-b, -a}};
        for (int i = 0; i < 8; ++i)
        {
            bool seen = false;
            for (int j = 0; j < i && !seen; ++j)
            {
                seen = pts[j][0] == pts[i][0] && pts[j][1] == pts[i][1];
            }
            if (!seen)
            {
                CoverAt(cx + pts[i][0], cy + pts[i][1], pts[i][0], pts[i][1], cover);
            }
        }
    }

    // Antialiased: per column of the octant, the ideal curve's coverage is
    // split between the two pixels nearest to it.
    void DrawSmooth(double cx, double cy, double r)
    {
        const long long icx = static_cast<long long>(std::floor(cx + 0.5));
        const long long icy = static_cast<long long>(std::floor(cy + 0.5));
        for (int x = 0;; ++x)
        {
            const double yf = std::sqrt(r * r - static_cast<double>(x) * x);
            if (!(x <= yf))
            {
                break;
            }
            const int yi = static_cast<int>(std::floor(yf));
            const double f = yf - yi;
            const int outer = static_cast<int>(f * 255.0 + 0.5);
            Cover8(icx, icy, x, yi, 255 - outer);
            if (x <= yi + 1)
            {
                Cover8(icx, icy, x, yi + 1, outer);
            }
        }
    }
};

template <class F> void WithCircleWriters(unsigned mode, int w, F&& f)
{
    if ((mode & RasterModeMask) == RasterModeCopy)
    {
        if (w <= 0)
        {
            return;
        }
        if (w == 256)
        {
            f(StoreWriter{}, CopyOp{});
        }
        else if (w == 128)
        {
            f(Mix128Writer{}, CopyOp{});
        }
        else
        {
            f(CombineWriter<CopyOp>{}, CopyOp{});
        }
        return;
    }
    WithColourCombiner(mode, w,
                       [&](auto combiner)
                       {
                           using Op = decltype(combiner);
                           f(CombineWriter<Op>{}, combiner);
                       });
}

bool ValidCircle(float cx, float cy, float r)
{
    return std::isfinite(cx) && std::isfinite(cy) && std::isfinite(r) && r >= 0 && r <= MaxRadius &&
           std::fabs(cx) <= MaxCentre && std::fabs(cy) <= MaxCentre;
}

void DrawRing(LICE_IBitmap* dst, float cx, float cy, float r, uint32_t colour, float weight,
              unsigned mode, bool antialias, const AngleRange& range)
{
    Surface s;
    if (!MakeSurface(dst, s) || !std::isfinite(weight) || weight == 0.0f || !ValidCircle(cx, cy, r))
    {
        return;
    }
    // Nothing to draw when the ring lies wholly outside the surface.
    if (cx + r + 1 < 0 || cy + r + 1 < 0 || cx - r - 1 >= s.w || cy - r - 1 >= s.h)
    {
        return;
    }
    const int ia = WeightToInt(weight);
    WithCircleWriters(mode, ia,
                      [&](auto solid, auto combiner)
                      {
                          using Solid = decltype(solid);
                          using Op = decltype(combiner);
                          CircleDrawer<Solid, Op> drawer{s, colour, ia, range};
                          if (antialias)
                          {
                              drawer.DrawSmooth(cx, cy, r);
                          }
                          else
                          {
                              drawer.DrawSolid(cx, cy, r);
                          }
                      });
}
} // namespace

void RasterCircle(LICE_IBitmap* dst, float cx, float cy, float r, uint32_t colour, float weight,
                  unsigned mode, bool antialias)
{
    if (!ValidCircle(cx, cy, r))
    {
        return;
    }
    if (r <= 4.0f)
    {
        int m = 4;
        if (r <= 2.0f)
        {
            m = 0;
        }
        else if (r <= 2.5f)
        {
            m = 1;
        }
        else if (r <= 3.0f)
        {
            m = 2;
        }
        else if (r <= 3.5f)
        {
            m = 3;
        }
        const SmallCircleMasks& masks = Masks();
        const int x = static_cast<int>(std::floor(cx + 0.5f)) - MaskCentre;
        const int y = static_cast<int>(std::floor(cy + 0.5f)) - MaskCentre;
        RasterDrawMask(dst, x, y, colour, antialias ? masks.smooth[m] : masks.solid[m], MaskSize,
                       MaskSize, weight, mode & RasterModeMask);
        return;
    }
    DrawRing(dst, cx, cy, r, colour, weight, mode, antialias, AngleRange());
}

void RasterArc(LICE_IBitmap* dst, float cx, float cy, float r, float startAngle, float endAngle,
               uint32_t colour, float weight, unsigned mode, bool antialias)
{
    if (!std::isfinite(startAngle) || !std::isfinite(endAngle))
    {
        return;
    }
    AngleRange range;
    double a = startAngle;
    double b = endAngle;
    if (b < a)
    {
        const double t = a;
        a = b;
        b = t;
    }
    if (b - a < TwoPi)
    {
        range.full = false;
        range.start = a;
        range.span = b - a;
    }
    DrawRing(dst, cx, cy, r, colour, weight, mode, antialias, range);
}
