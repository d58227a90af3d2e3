#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"
#include "raster/TestBitmaps.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

static const double Pi = 3.14159265358979323846;

TEST(RasterScaledBlit, SameSizeIsAPlainBlit)
{
    std::mt19937 rng(11);
    GuardedBitmap src(8, 6);
    src.FillRandom(rng);
    GuardedBitmap a(8, 6);
    GuardedBitmap b(8, 6);
    RasterScaledBlit(&a, &src, 1, -1, 7, 6, 2.0f, 0.9999f, 7.0f, 6.0f, 0.75f,
                     RasterModeAdd | RasterFilterBilinear);
    RasterBlit(&b, &src, 1, -1, 2, 1, 7, 6, 0.75f, RasterModeAdd);
    EXPECT_EQ(b.Pixels(), a.Pixels());
}

TEST(RasterScaledBlit, MirrorsExactly)
{
    std::mt19937 rng(12);
    GuardedBitmap src(7, 5);
    src.FillRandom(rng);
    GuardedBitmap h(7, 5);
    RasterScaledBlit(&h, &src, 7, 0, -7, 5, 0, 0, 7, 5, 1.0f, RasterModeCopy);
    GuardedBitmap v(7, 5);
    RasterScaledBlit(&v, &src, 0, 5, 7, -5, 0, 0, 7, 5, 1.0f, RasterModeCopy);
    for (int y = 0; y < 5; ++y)
    {
        for (int x = 0; x < 7; ++x)
        {
            EXPECT_EQ(src.At(6 - x, y), h.At(x, y)) << x << "," << y;
            EXPECT_EQ(src.At(x, 4 - y), v.At(x, y)) << x << "," << y;
        }
    }
    // Mirrored at double size, each source pixel covers two destination pixels.
    GuardedBitmap big(14, 5);
    RasterScaledBlit(&big, &src, 14, 0, -14, 5, 0, 0, 7, 5, 1.0f, RasterModeCopy);
    for (int x = 0; x < 14; ++x)
    {
        EXPECT_EQ(src.At(6 - x / 2, 2), big.At(x, 2)) << x;
    }
}

// Nearest sampling at power-of-two scales (exact in 16.16), compared with a
// per-pixel placement that knows nothing of clipping.
TEST(RasterScaledBlit, NearestSamplingClipsAtEveryEdge)
{
    std::mt19937 rng(13);
    GuardedBitmap src(8, 8);
    src.FillRandom(rng);
    for (int dy = -9; dy <= 9; dy += 3)
    {
        for (int dx = -9; dx <= 9; dx += 3)
        {
            for (float scale : {2.0f, 0.5f})
            {
                GuardedBitmap dst(10, 10);
                const int size = static_cast<int>(8 * scale);
                RasterScaledBlit(&dst, &src, dx, dy, size, size, 0, 0, 8, 8, 1.0f,
                                 RasterModeCopy | RasterUseSourceAlpha);
                ASSERT_TRUE(dst.GuardIntact());
                GuardedBitmap want(10, 10);
                for (int y = 0; y < size; ++y)
                {
                    for (int x = 0; x < size; ++x)
                    {
                        if (x + dx < 0 || y + dy < 0 || x + dx >= 10 || y + dy >= 10)
                        {
                            continue;
                        }
                        GuardedBitmap one(1, 1);
                        GuardedBitmap px(1, 1);
                        px.At(0, 0) =
                            src.At(static_cast<int>(x / scale), static_cast<int>(y / scale));
                        RasterBlit(&want, &px, x + dx, y + dy, 0, 0, 1, 1, 1.0f,
                                   RasterModeCopy | RasterUseSourceAlpha);
                    }
                }
                ASSERT_EQ(want.Pixels(), dst.Pixels()) << dx << "," << dy << " x" << scale;
            }
        }
    }
}

TEST(RasterScaledBlit, BilinearAndDownscaleFilters)
{
    // A flat colour stays flat whatever the filter.
    GuardedBitmap flat(9, 9);
    flat.Fill(0xFF336699u);
    for (int size : {4, 5, 13, 30})
    {
        GuardedBitmap dst(30, 30);
        RasterScaledBlit(&dst, &flat, 0, 0, size, size, 0, 0, 9, 9, 1.0f,
                         RasterModeCopy | RasterFilterBilinear);
        EXPECT_EQ(0xFF336699u, dst.At(0, 0));
        EXPECT_EQ(0xFF336699u, dst.At(size - 1, size - 1));
        EXPECT_EQ(0u, dst.At(size < 30 ? size : 0, 0) & (size < 30 ? 0xFFFFFFFFu : 0u));
    }
    // A horizontal ramp enlarged with the filter rises monotonically.
    GuardedBitmap ramp(4, 1);
    for (int x = 0; x < 4; ++x)
    {
        ramp.At(x, 0) = 0xFF000000u | static_cast<uint32_t>(x * 80);
    }
    GuardedBitmap wide(32, 1);
    RasterScaledBlit(&wide, &ramp, 0, 0, 32, 1, 0, 0, 4, 1, 1.0f,
                     RasterModeCopy | RasterFilterBilinear);
    for (int x = 1; x < 32; ++x)
    {
        EXPECT_GE(wide.At(x, 0) & 0xFF, wide.At(x - 1, 0) & 0xFF);
    }
    EXPECT_EQ(240u, wide.At(31, 0) & 0xFF);
    EXPECT_EQ(40u, wide.At(4, 0) & 0xFF); // halfway between 0 and 80

    // Shrinking a fine checkerboard by 3 averages it to mid grey.
    GuardedBitmap check(30, 30);
    for (int y = 0; y < 30; ++y)
    {
        for (int x = 0; x < 30; ++x)
        {
            check.At(x, y) = (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    GuardedBitmap small(10, 10);
    RasterScaledBlit(&small, &check, 0, 0, 10, 10, 0, 0, 30, 30, 1.0f,
                     RasterModeCopy | RasterFilterBilinear);
    for (int i : {0, 1, 5, 9})
    {
        const int g = static_cast<int>(small.At(i, i) & 0xFF);
        EXPECT_NEAR(128, g, 20) << i;
    }
}

TEST(RasterRotatedBlit, NoRotationIsACopy)
{
    std::mt19937 rng(21);
    GuardedBitmap src(6, 6);
    src.FillRandom(rng);
    for (bool clip : {false, true})
    {
        GuardedBitmap dst(6, 6);
        RasterRotatedBlit(&dst, &src, 0, 0, 6, 6, 0, 0, 6, 6, 0.0f, clip, 1.0f, RasterModeCopy, 0,
                          0);
        EXPECT_EQ(src.Pixels(), dst.Pixels());
    }
    // Clipped at the top left, the rest of the picture stays in place.
    GuardedBitmap dst(6, 6);
    RasterRotatedBlit(&dst, &src, -2, -3, 6, 6, 0, 0, 6, 6, 0.0f, false, 1.0f, RasterModeCopy, 0,
                      0);
    EXPECT_EQ(src.At(2, 3), dst.At(0, 0));
    EXPECT_EQ(src.At(5, 5), dst.At(3, 2));
    EXPECT_EQ(0u, dst.At(4, 0));
    EXPECT_TRUE(dst.GuardIntact());
    // Mirrored without rotation.
    GuardedBitmap m(6, 6);
    RasterRotatedBlit(&m, &src, 6, 0, -6, 6, 0, 0, 6, 6, 0.0f, false, 1.0f, RasterModeCopy, 0, 0);
    EXPECT_EQ(src.At(5, 1), m.At(0, 1));
    EXPECT_EQ(src.At(0, 4), m.At(5, 4));
}

TEST(RasterRotatedBlit, QuarterTurn)
{
    // A bar along the top edge turns a quarter clockwise onto the right edge.
    GuardedBitmap src(9, 9);
    for (int x = 0; x < 9; ++x)
    {
        src.At(x, 0) = 0xFFFFFFFFu;
    }
    GuardedBitmap dst(9, 9);
    RasterRotatedBlit(&dst, &src, 0, 0, 9, 9, 0, 0, 9, 9, static_cast<float>(Pi / 2), true, 1.0f,
                      RasterModeCopy, 0, 0);
    int right = 0;
    int elsewhere = 0;
    for (int y = 0; y < 9; ++y)
    {
        for (int x = 0; x < 9; ++x)
        {
            if (dst.At(x, y))
            {
                (x >= 7 ? right : elsewhere) += 1;
            }
        }
    }
    EXPECT_EQ(9, right);
    EXPECT_EQ(0, elsewhere);

    // Every quarter turn moves every pixel exactly, filtered or not, also at
    // sizes where the float angle's sine and cosine are visibly off 0 and 1.
    std::mt19937 rng(22);
    for (int n : {9, 100, 301})
    {
        GuardedBitmap pic(n, n);
        pic.FillRandom(rng);
        for (int quarter = 1; quarter <= 4; ++quarter)
        {
            for (unsigned filter : {0u, static_cast<unsigned>(RasterFilterBilinear)})
            {
                GuardedBitmap turned(n, n);
                RasterRotatedBlit(&turned, &pic, 0, 0, n, n, 0, 0, static_cast<float>(n),
                                  static_cast<float>(n), static_cast<float>(quarter * Pi / 2),
                                  false, 1.0f, RasterModeCopy | filter, 0, 0);
                for (int y = 0; y < n; ++y)
                {
                    for (int x = 0; x < n; ++x)
                    {
                        // Clockwise: the source's top row becomes the right column.
                        const int m = n - 1;
                        const int sx[4] = {y, m - x, m - y, x};
                        const int sy[4] = {m - x, m - y, x, y};
                        ASSERT_EQ(pic.At(sx[quarter - 1], sy[quarter - 1]), turned.At(x, y))
                            << n << " " << quarter << " " << x << "," << y << " " << filter;
                    }
                }
            }
        }
    }
}

// Without rotation the copy samples where the scaled copy does: the top-left
// corner of each destination pixel maps to the sample point.
TEST(RasterRotatedBlit, UnturnedScalingSamplesLikeTheScaledBlit)
{
    std::mt19937 rng(23);
    GuardedBitmap src(8, 8);
    src.FillRandom(rng);
    struct Case
    {
        float x, y, w, h;
        int dw, dh;
        unsigned filter;
    };
    for (const Case& c : {Case{0, 0, 8, 8, 4, 4, 0}, Case{0.5f, 0.25f, 7, 7, 4, 4, 0},
                          Case{0, 0, 6, 6, 4, 4, RasterFilterBilinear}, Case{0, 0, 8, 8, 2, 3, 0}})
    {
        GuardedBitmap a(4, 4);
        GuardedBitmap b(4, 4);
        RasterScaledBlit(&a, &src, 0, 0, c.dw, c.dh, c.x, c.y, c.w, c.h, 1.0f,
                         RasterModeCopy | c.filter);
        RasterRotatedBlit(&b, &src, 0, 0, c.dw, c.dh, c.x, c.y, c.w, c.h, 0.0f, false, 1.0f,
                          RasterModeCopy | c.filter, 0, 0);
        EXPECT_EQ(a.Pixels(), b.Pixels()) << c.x << " " << c.w << " " << c.filter;
    }
    // Mirrored with scaling, the samples are those of the plain copy reversed.
    GuardedBitmap plain(4, 1);
    GuardedBitmap mirrored(4, 1);
    RasterRotatedBlit(&plain, &src, 0, 0, 4, 1, 0, 2, 8, 1, 0.0f, false, 1.0f, RasterModeCopy, 0,
                      0);
    RasterRotatedBlit(&mirrored, &src, 4, 0, -4, 1, 0, 2, 8, 1, 0.0f, false, 1.0f, RasterModeCopy,
                      0, 0);
    for (int x = 0; x < 4; ++x)
    {
        EXPECT_EQ(plain.At(3 - x, 0), mirrored.At(x, 0)) << x;
    }
}
