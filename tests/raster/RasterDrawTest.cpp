#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"
#include "raster/TestBitmaps.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <utility>

static const double Pi = 3.14159265358979323846;

namespace
{
int Lit(GuardedBitmap& b)
{
    int n = 0;
    for (uint32_t p : b.Pixels())
    {
        n += p != 0;
    }
    return n;
}
} // namespace

TEST(RasterFill, WeightsAndModes)
{
    GuardedBitmap b(6, 4);
    b.Fill(0x40404040u);
    RasterFillRect(&b, 0, 0, 6, 4, 0xFF00FF00u, 0.0f, RasterModeCopy);
    EXPECT_EQ(0x40404040u, b.At(3, 3));
    RasterFillRect(&b, 1, 1, 2, 2, 0x80C0FFEEu, 1.0f, RasterModeCopy);
    EXPECT_EQ(0x80C0FFEEu, b.At(1, 1));
    EXPECT_EQ(0x80C0FFEEu, b.At(2, 2));
    EXPECT_EQ(0x40404040u, b.At(3, 2));

    // The fixed weights use the shifted-mask mixes.
    b.Fill(0x40404040u);
    RasterFillRect(&b, 0, 0, 6, 4, 0xC0C0C0C0u, 0.5f, RasterModeCopy);
    EXPECT_EQ(0x80808080u, b.At(0, 0));
    b.Fill(0x40404040u);
    RasterFillRect(&b, 0, 0, 6, 4, 0xC0C0C0C0u, 0.25f, RasterModeCopy);
    EXPECT_EQ(0x60606060u, b.At(0, 0));
    b.Fill(0x40404040u);
    RasterFillRect(&b, 0, 0, 6, 4, 0xC0C0C0C0u, 0.75f, RasterModeCopy);
    EXPECT_EQ(0xA0A0A0A0u, b.At(0, 0));

    // Other weights: the copy combiner with the weight as the alpha source.
    b.Fill(0x40404040u);
    RasterFillRect(&b, 0, 0, 6, 4, 0x00C0C0C0u, 100 / 256.0f, RasterModeCopy);
    const int c = (0x40 - 0xC0) * 156 / 256 + 0xC0;
    const int a = (0x40 - 100) * 156 / 256 + 100;
    EXPECT_EQ(static_cast<uint32_t>(a << 24 | c << 16 | c << 8 | c), b.At(5, 3));

    // Source alpha scales the weight: an alpha of 0 draws nothing.
    b.Fill(0x40404040u);
    RasterFillRect(&b, 0, 0, 6, 4, 0x00FFFFFFu, 1.0f, RasterModeAdd | RasterUseSourceAlpha);
    EXPECT_EQ(0x40404040u, b.At(0, 0));
    RasterFillRect(&b, 0, 0, 6, 4, 0xFF101010u, 1.0f, RasterModeAdd | RasterUseSourceAlpha);
    EXPECT_EQ(0xFF505050u, b.At(0, 0));
}

TEST(RasterFill, ClearPutAndGet)
{
    GuardedBitmap b(5, 5);
    b.Fill(0xFF123456u);
    RasterClearRect(&b, -2, -2, 4, 4, 0x00FFFFFFu, 0);
    EXPECT_EQ(0x00123456u, b.At(1, 1));
    EXPECT_EQ(0xFF123456u, b.At(2, 1));
    RasterClearRect(&b, 4, 4, 100, 100, 0, 0xABCDEF01u);
    EXPECT_EQ(0xABCDEF01u, b.At(4, 4));

    RasterPutPixel(&b, 2, 3, 0xFF00FF00u, 1.0f, RasterModeCopy);
    EXPECT_EQ(0xFF00FF00u, RasterGetPixel(&b, 2, 3));
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {5, 0}, {0, 5}})
    {
        RasterPutPixel(&b, x, y, 0xFFFFFFFFu, 1.0f, RasterModeCopy);
        EXPECT_EQ(0u, RasterGetPixel(&b, x, y));
    }
    EXPECT_TRUE(b.GuardIntact());
    EXPECT_EQ(0u, RasterGetPixel(nullptr, 0, 0));

    b.At(0, 0) = 0x10101010u;
    RasterPutPixel(&b, 0, 0, 0x20202020u, 1.0f, RasterModeAdd);
    EXPECT_EQ(0x30303030u, b.At(0, 0));
    RasterPutPixel(&b, 0, 0, 0x20202020u, 0.0f, RasterModeAdd);
    EXPECT_EQ(0x30303030u, b.At(0, 0));
}

TEST(RasterLine, ClippedSpansIncludeBothEnds)
{
    GuardedBitmap b(5, 8);
    RasterLine(&b, -10, 5, 10, 5, 0xFFFFFFFFu, 1.0f, RasterModeCopy, false);
    for (int x = 0; x < 5; ++x)
    {
        EXPECT_EQ(0xFFFFFFFFu, b.At(x, 5));
    }
    EXPECT_EQ(5, Lit(b));

    GuardedBitmap v(5, 8);
    RasterLine(&v, 2, 6, 2, 1, 0xFF0000FFu, 1.0f, RasterModeCopy, true);
    EXPECT_EQ(6, Lit(v));
    EXPECT_EQ(0xFF0000FFu, v.At(2, 1));
    EXPECT_EQ(0xFF0000FFu, v.At(2, 6));

    // Lines wholly outside draw nothing.
    GuardedBitmap none(5, 8);
    RasterLine(&none, -3, -1, -1, 20, 0xFFFFFFFFu, 1.0f, RasterModeCopy, true);
    RasterLine(&none, 0, 9, 4, 30, 0xFFFFFFFFu, 1.0f, RasterModeCopy, false);
    EXPECT_EQ(0, Lit(none));
}

TEST(RasterLine, SlopedLinesAreContinuousAndSymmetric)
{
    const int ends[][4] = {
        {1, 1, 17, 6}, {3, 18, 9, 0}, {0, 0, 19, 19}, {19, 2, 0, 15}, {5, 5, 6, 18}};
    for (const auto& e : ends)
    {
        GuardedBitmap fwd(20, 20);
        GuardedBitmap back(20, 20);
        RasterLine(&fwd, e[0], e[1], e[2], e[3], 0xFFFFFFFFu, 1.0f, RasterModeCopy, false);
        RasterLine(&back, e[2], e[3], e[0], e[1], 0xFFFFFFFFu, 1.0f, RasterModeCopy, false);
        // Drawn from both ends, the two directions agree except perhaps in
        // the middle pixel of an odd count.
        int differ = 0;
        for (size_t i = 0; i < fwd.Pixels().size(); ++i)
        {
            differ += fwd.Pixels()[i] != back.Pixels()[i];
        }
        EXPECT_LE(differ, 2);
        const int major = std::max(std::abs(e[2] - e[0]), std::abs(e[3] - e[1]));
        EXPECT_EQ(major + 1, Lit(fwd));
        EXPECT_NE(0u, fwd.At(e[0], e[1]));
        EXPECT_NE(0u, fwd.At(e[2], e[3]));
        // Every lit pixel but the ends has a lit neighbour on each side along
        // the major axis.
        const bool xMajor = std::abs(e[2] - e[0]) >= std::abs(e[3] - e[1]);
        for (int y = 0; y < 20; ++y)
        {
            for (int x = 0; x < 20; ++x)
            {
                if (!fwd.At(x, y) || (x == e[0] && y == e[1]) || (x == e[2] && y == e[3]))
                {
                    continue;
                }
                int n = 0;
                for (int d = -1; d <= 1; ++d)
                {
                    for (int s : {-1, 1})
                    {
                        const int nx = xMajor ? x + s : x + d;
                        const int ny = xMajor ? y + d : y + s;
                        n += nx >= 0 && ny >= 0 && nx < 20 && ny < 20 && fwd.At(nx, ny);
                    }
                }
                EXPECT_EQ(2, n) << x << "," << y;
            }
        }
    }
}

TEST(RasterLine, AntialiasedDiagonalsAndSlopes)
{
    GuardedBitmap d(8, 8);
    RasterLine(&d, 1, 1, 4, 4, 0xFFFFFFFFu, 1.0f, RasterModeCopy, true);
    // Three quarters on the diagonal, a quarter on the neighbours.
    EXPECT_EQ(0xBEBEBEBEu, d.At(2, 2));
    EXPECT_EQ(0xBEBEBEBEu, d.At(4, 4));
    EXPECT_EQ(0x3F3F3F3Fu, d.At(2, 1));
    EXPECT_EQ(0x3F3F3F3Fu, d.At(1, 2));
    EXPECT_EQ(0u, d.At(5, 4));

    GuardedBitmap s(20, 10);
    RasterLine(&s, 0, 0, 19, 5, 0xFFFFFFFFu, 1.0f, RasterModeCopy, true);
    EXPECT_EQ(0xFFFFFFFFu, s.At(0, 0));
    EXPECT_EQ(0xFFFFFFFFu, s.At(19, 5));
    // Each column's coverage adds up to about one pixel.
    for (int x = 1; x < 19; ++x)
    {
        int sum = 0;
        for (int y = 0; y < 10; ++y)
        {
            sum += static_cast<int>(s.At(x, y) & 0xFF);
        }
        EXPECT_NEAR(255, sum, 3) << x;
    }
    EXPECT_TRUE(s.GuardIntact());
}

TEST(RasterCircle, OutlinesLieOnTheRadius)
{
    for (bool aa : {false, true})
    {
        for (float r : {1.0f, 2.5f, 3.0f, 4.0f, 7.0f, 12.5f})
        {
            GuardedBitmap b(40, 40);
            RasterCircle(&b, 20.0f, 20.0f, r, 0xFFFFFFFFu, 1.0f, RasterModeCopy, aa);
            const float rr = r < 2.0f ? 2.0f : r;
            int lit = 0;
            for (int y = 0; y < 40; ++y)
            {
                for (int x = 0; x < 40; ++x)
                {
                    if (!b.At(x, y))
                    {
                        continue;
                    }
                    ++lit;
                    const double dist = std::hypot(x - 20, y - 20);
                    EXPECT_NEAR(rr, dist, 1.5) << x << "," << y << " r " << r << " aa " << aa;
                    // Symmetric in both axes (whole radii: half ones end
                    // between pixels).
                    if (aa || r == std::floor(r))
                    {
                        EXPECT_EQ(b.At(x, y), b.At(40 - x, y)) << r;
                        EXPECT_EQ(b.At(x, y), b.At(x, 40 - y)) << r;
                    }
                }
            }
            EXPECT_GT(lit, static_cast<int>(4 * rr)) << r;
        }
    }
    // Clipped at the surface edges, never outside it.
    GuardedBitmap c(10, 10);
    RasterCircle(&c, 1.0f, 9.0f, 6.0f, 0xFFFFFFFFu, 0.6f, RasterModeAdd, true);
    RasterCircle(&c, 0.0f, 0.0f, 3.0f, 0xFFFFFFFFu, 1.0f, RasterModeCopy, false);
    RasterCircle(&c, 5.0f, 5.0f, 1e30f, 0xFFFFFFFFu, 1.0f, RasterModeCopy, false);
    EXPECT_TRUE(c.GuardIntact());
}

TEST(RasterCircle, ArcsDrawOnlyTheirAngles)
{
    // A quarter from 0 (up) to a quarter turn clockwise: the upper right.
    for (bool aa : {false, true})
    {
        GuardedBitmap full(40, 40);
        GuardedBitmap quarter(40, 40);
        RasterCircle(&full, 20.0f, 20.0f, 10.0f, 0xFFFFFFFFu, 1.0f, RasterModeCopy, aa);
        RasterArc(&quarter, 20.0f, 20.0f, 10.0f, 0.0f, static_cast<float>(Pi / 2), 0xFFFFFFFFu,
                  1.0f, RasterModeCopy, aa);
        int lit = 0;
        for (int y = 0; y < 40; ++y)
        {
            for (int x = 0; x < 40; ++x)
            {
                if (quarter.At(x, y))
                {
                    ++lit;
                    EXPECT_GE(x, 20);
                    EXPECT_LE(y, 20);
                    EXPECT_NE(0u, full.At(x, y));
                }
            }
        }
        EXPECT_GT(lit, 12);
        GuardedBitmap whole(40, 40);
        RasterArc(&whole, 20.0f, 20.0f, 10.0f, -1.0f, 7.0f, 0xFFFFFFFFu, 1.0f, RasterModeCopy, aa);
        EXPECT_EQ(full.Pixels(), whole.Pixels());
    }
}

TEST(RasterDrawMask, ScalesByCoverageAndClips)
{
    const unsigned char mask[] = {0, 255, 128, 64, 255, 0};
    GuardedBitmap b(3, 3);
    RasterDrawMask(&b, -1, 1, 0xFF808080u, mask, 3, 2, 1.0f, RasterModeAdd);
    // Column 0 of the mask falls off the left edge.
    EXPECT_EQ(0xFE7F7F7Fu, b.At(0, 1)); // 255 * 256 / 256 = 255 weight
    EXPECT_EQ(0x7F404040u, b.At(1, 1));
    EXPECT_EQ(0xFE7F7F7Fu, b.At(0, 2));
    EXPECT_EQ(0u, b.At(1, 2));
    EXPECT_EQ(0u, b.At(2, 2));
    EXPECT_TRUE(b.GuardIntact());
}

// Random calls of every operation, with coordinates well beyond the surface,
// never touch memory outside it.
TEST(RasterOperations, NeverDrawOutsideTheSurface)
{
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> coord(-40, 60);
    std::uniform_real_distribution<float> fcoord(-40.0f, 60.0f);
    std::uniform_real_distribution<float> weight(-0.5f, 1.5f);
    const unsigned modes[] = {0, 1, 2, 3, 4, 5, 0x100, 0x10000, 0x10101, 0x10004, 0x10105, 0xF7};
    GuardedBitmap src(13, 11);
    src.FillRandom(rng);
    for (bool flipped : {false, true})
    {
        GuardedBitmap dst(17, 15, 4, flipped);
        for (int i = 0; i < 3000; ++i)
        {
            const unsigned mode = modes[rng() % (sizeof(modes) / sizeof(modes[0]))];
            const float w = (i % 3) ? 1.0f : weight(rng);
            const bool aa = rng() & 1;
            switch (i % 8)
            {
            case 0:
                RasterBlit(&dst, &src, coord(rng), coord(rng), coord(rng), coord(rng), coord(rng),
                           coord(rng), w, mode);
                break;
            case 1:
                RasterScaledBlit(&dst, &src, coord(rng), coord(rng), coord(rng), coord(rng),
                                 fcoord(rng), fcoord(rng), fcoord(rng), fcoord(rng), w, mode);
                break;
            case 2:
                RasterRotatedBlit(&dst, &src, coord(rng), coord(rng), coord(rng), coord(rng),
                                  fcoord(rng), fcoord(rng), fcoord(rng), fcoord(rng), fcoord(rng),
                                  aa, w, mode, fcoord(rng), fcoord(rng));
                break;
            case 3:
                RasterFillRect(&dst, coord(rng), coord(rng), coord(rng), coord(rng), rng(), w,
                               mode);
                break;
            case 4:
                RasterLine(&dst, coord(rng), coord(rng), coord(rng), coord(rng), rng(), w, mode,
                           aa);
                break;
            case 5:
                RasterCircle(&dst, fcoord(rng), fcoord(rng), fcoord(rng) / 2, rng(), w, mode, aa);
                break;
            case 6:
                RasterArc(&dst, fcoord(rng), fcoord(rng), fcoord(rng) / 2, fcoord(rng) / 8,
                          fcoord(rng) / 8, rng(), w, mode, aa);
                break;
            default:
            {
                unsigned char mask[35];
                for (unsigned char& m : mask)
                {
                    m = static_cast<unsigned char>(rng());
                }
                RasterDrawMask(&dst, coord(rng), coord(rng), rng(), mask, 7, 5, w, mode);
                RasterPutPixel(&dst, coord(rng), coord(rng), rng(), w, mode);
                break;
            }
            }
        }
        EXPECT_TRUE(dst.GuardIntact());
        EXPECT_TRUE(src.GuardIntact());
    }
    // Extreme coordinates and null bitmaps are harmless too.
    GuardedBitmap dst(8, 8);
    RasterBlit(&dst, &src, 2147483000, -2147483000, -2147483000, 5, 2147483647, 2147483647, 1.0f,
               0);
    RasterLine(&dst, -2147483647, 3, 2147483647, 4, 0xFFFFFFFFu, 1.0f, 0, true);
    RasterFillRect(&dst, -2147483647, -2147483647, 2147483647, 2147483647, 1u, 1.0f, 0);
    RasterScaledBlit(&dst, &src, 0, 0, 8, 8, 0, 0, 1e20f, NAN, 1.0f, 0);
    RasterBlit(nullptr, &src, 0, 0, 0, 0, 4, 4, 1.0f, 0);
    RasterLine(nullptr, 0, 0, 4, 4, 0, 1.0f, 0, true);
    EXPECT_TRUE(dst.GuardIntact());
}
