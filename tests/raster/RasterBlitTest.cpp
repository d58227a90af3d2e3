#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"
#include "raster/TestBitmaps.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <random>

namespace
{
int Clamp(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The pixel operations written out channel by channel (index 0 blue .. 3
// alpha), as the blend rules state them.
uint32_t Reference(unsigned op, bool sourceAlpha, uint32_t dst, uint32_t src, int w)
{
    int D[4];
    int S[4];
    for (int i = 0; i < 4; ++i)
    {
        D[i] = static_cast<int>((dst >> (8 * i)) & 0xFF);
        S[i] = static_cast<int>((src >> (8 * i)) & 0xFF);
    }
    const int sa = S[3];
    switch (op)
    {
    case RasterModeCopy:
        if (!sourceAlpha)
        {
            if (w == 128)
            {
                return ((dst >> 1) & 0x7F7F7F7F) + ((src >> 1) & 0x7F7F7F7F);
            }
            for (int i = 0; i < 4; ++i)
            {
                D[i] = (D[i] - S[i]) * (256 - w) / 256 + S[i];
            }
        }
        else if (sa == 0)
        {
            return dst;
        }
        else if (w == 256)
        {
            if (sa == 255)
            {
                return (src & 0x00FFFFFFu) | 0xFF000000u;
            }
            const int k = 255 - sa;
            for (int i = 0; i < 3; ++i)
            {
                D[i] = S[i] + (D[i] - S[i]) * k / 256;
            }
            D[3] = (sa + 1) + (D[3] - (sa + 1)) * k / 256;
        }
        else
        {
            const int k = 256 - w * (sa + 1) / 256;
            for (int i = 0; i < 4; ++i)
            {
                D[i] = (D[i] - S[i]) * k / 256 + S[i];
            }
        }
        break;
    case RasterModeAdd:
        if (sourceAlpha)
        {
            if (sa == 0)
            {
                return dst;
            }
            w = w * (sa + 1) / 256;
        }
        for (int i = 0; i < 4; ++i)
        {
            D[i] = Clamp(D[i] + S[i] * w / 256);
        }
        break;
    case RasterModeDodge:
        if (sourceAlpha)
        {
            w = w * (sa + 1) / 256;
        }
        for (int i = 0; i < 4; ++i)
        {
            const int s = S[i] * w / 256;
            D[i] = s < 255 ? Clamp(D[i] * 256 / (256 - s)) : Clamp(D[i] * 256);
        }
        break;
    case RasterModeMultiply:
        if (sourceAlpha)
        {
            if (sa == 0)
            {
                return dst;
            }
            w = w * (sa + 1) / 256;
        }
        for (int i = 0; i < 4; ++i)
        {
            D[i] = ((S[i] * w + (256 - w) * 256) * D[i] / 65536) & 0xFF;
        }
        break;
    case RasterModeOverlay:
        if (sourceAlpha)
        {
            w = w * (sa + 1) / 256;
        }
        for (int i = 0; i < 4; ++i)
        {
            const int t = S[i] * w + (256 - w) * 128;
            D[i] = Clamp(((D[i] * (32768 - t)) / 256 + t) * D[i] / 32768);
        }
        break;
    }
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i)
    {
        out |= static_cast<uint32_t>(D[i] & 0xFF) << (8 * i);
    }
    return out;
}

// Random colours whose alphas include the special values 0 and 255.
void FillSource(GuardedBitmap& b, std::mt19937& rng)
{
    b.FillRandom(rng);
    for (int x = 0; x < b.Width(); ++x)
    {
        b.At(x, 0) &= 0x00FFFFFFu;
        b.At(x, 1) |= 0xFF000000u;
    }
}
} // namespace

TEST(RasterBlit, EveryCombinerMatchesTheReference)
{
    std::mt19937 rng(1234);
    GuardedBitmap src(32, 8);
    FillSource(src, rng);
    GuardedBitmap start(32, 8);
    start.FillRandom(rng);

    const unsigned ops[] = {RasterModeCopy, RasterModeAdd, RasterModeDodge, RasterModeMultiply,
                            RasterModeOverlay};
    const int weights[] = {256, 255, 200, 128, 77, 64, 1, -90};
    for (unsigned op : ops)
    {
        for (bool sa : {false, true})
        {
            for (int w : weights)
            {
                if (op == RasterModeCopy && w < 0)
                {
                    continue;
                }
                GuardedBitmap dst(32, 8);
                for (int y = 0; y < 8; ++y)
                {
                    for (int x = 0; x < 32; ++x)
                    {
                        dst.At(x, y) = start.At(x, y);
                    }
                }
                const unsigned mode = op | (sa ? RasterUseSourceAlpha : 0u);
                RasterBlit(&dst, &src, 0, 0, 0, 0, 32, 8, w / 256.0f, mode);
                for (int y = 0; y < 8; ++y)
                {
                    for (int x = 0; x < 32; ++x)
                    {
                        const uint32_t want = Reference(op, sa, start.At(x, y), src.At(x, y), w);
                        ASSERT_EQ(want, dst.At(x, y))
                            << "op " << op << " sa " << sa << " w " << w << " at " << x << "," << y;
                    }
                }
                EXPECT_TRUE(dst.GuardIntact());
            }
        }
    }
}

TEST(RasterBlit, DocumentedCombinerCases)
{
    LICE_MemBitmap dst(1, 1);
    LICE_MemBitmap src(1, 1);
    // An add of 200 onto 100 saturates.
    dst.Bits()[0] = 0xFF646464u;
    src.Bits()[0] = 0xFFC8C8C8u;
    RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, 1.0f, RasterModeAdd);
    EXPECT_EQ(0xFFFFFFFFu, dst.Bits()[0]);

    // A transparent source pixel leaves the destination alone.
    dst.Bits()[0] = 0x12345678u;
    src.Bits()[0] = 0x00FFFFFFu;
    RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, 1.0f, RasterModeCopy | RasterUseSourceAlpha);
    EXPECT_EQ(0x12345678u, dst.Bits()[0]);

    // An opaque one replaces the colour and leaves the pixel opaque.
    src.Bits()[0] = 0xFF102030u;
    RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, 1.0f, RasterModeCopy | RasterUseSourceAlpha);
    EXPECT_EQ(0xFF102030u, dst.Bits()[0]);

    // Weight 0 and unknown operations draw nothing.
    dst.Bits()[0] = 0x01020304u;
    RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, 0.0f, RasterModeAdd);
    RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, 1.0f, 7);
    RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, -1.0f, RasterModeCopy);
    EXPECT_EQ(0x01020304u, dst.Bits()[0]);
}

TEST(RasterBlit, HsvAdjust)
{
    LICE_MemBitmap dst(1, 1);
    LICE_MemBitmap src(1, 1);
    auto run = [&](uint32_t d, uint32_t s, float weight)
    {
        dst.Bits()[0] = d;
        src.Bits()[0] = s;
        RasterBlit(&dst, &src, 0, 0, 0, 0, 1, 1, weight, RasterModeHSVAdjust);
        return dst.Bits()[0];
    };
    auto near = [](uint32_t a, uint32_t b, int tol)
    {
        for (int i = 0; i < 32; i += 8)
        {
            const int d = static_cast<int>((a >> i) & 0xFF) - static_cast<int>((b >> i) & 0xFF);
            if (d > tol || d < -tol)
            {
                return false;
            }
        }
        return true;
    };
    // A neutral source (128, 128, 128) keeps the colour and passes its alpha on.
    const uint32_t colours[] = {0xFFC86432u, 0x80FF0000u, 0x0000FF00u,
                                0xFF2050A0u, 0xFF777777u, 0xFFE0E0F0u};
    for (uint32_t c : colours)
    {
        EXPECT_TRUE(near((c & 0x00FFFFFFu) | 0x40000000u, run(c, 0x40808080u, 1.0f), 2))
            << std::hex << c;
    }
    // A third of a turn moves red to green and green to blue.
    EXPECT_TRUE(near(0xFF00FF00u, run(0xFFFF0000u, 0xFFD68080u, 1.0f), 4));
    EXPECT_TRUE(near(0xFF0000FFu, run(0xFF00FF00u, 0xFFD68080u, 1.0f), 4));
    // Value up to the top makes a grey white; saturation down to 0 makes a colour grey.
    EXPECT_EQ(0xFFFFFFFFu, run(0xFF323232u, 0xFF8080FFu, 1.0f));
    EXPECT_EQ(0xFFC8C8C8u, run(0xFFC86432u, 0xFF800080u, 1.0f));
}

TEST(RasterBlit, FastPathsAndChannelCopy)
{
    std::mt19937 rng(7);
    GuardedBitmap src(9, 5);
    src.FillRandom(rng);
    GuardedBitmap dst(9, 5);
    dst.FillRandom(rng);
    const std::vector<uint32_t> before = dst.Pixels();

    GuardedBitmap copy(9, 5);
    RasterBlit(&copy, &src, 0, 0, 0, 0, 9, 5, 1.0f, RasterModeCopy);
    EXPECT_EQ(src.Pixels(), copy.Pixels());

    RasterBlit(&dst, &src, 0, 0, 0, 0, 9, 5, 0.5f, RasterModeCopy);
    for (int i = 0; i < 45; ++i)
    {
        const uint32_t s = src.Pixels()[i];
        const uint32_t d = before[i];
        EXPECT_EQ(((s >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu), dst.Pixels()[i]);
    }

    // Source green into destination alpha; the rest stays.
    GuardedBitmap ch(9, 5);
    ch.Fill(0x11223344u);
    RasterBlit(&ch, &src, 0, 0, 0, 0, 9, 5, 1.0f, RasterChannelCopy(1, 3));
    for (int i = 0; i < 45; ++i)
    {
        EXPECT_EQ(0x00223344u | (((src.Pixels()[i] >> 8) & 0xFF) << 24), ch.Pixels()[i]);
    }
}

// Plain per-pixel placement with a bounds test, to compare clipping against.
TEST(RasterBlit, ClipsAtEveryEdge)
{
    std::mt19937 rng(99);
    GuardedBitmap src(7, 6);
    src.FillRandom(rng);
    for (int dy = -8; dy <= 12; dy += 2)
    {
        for (int dx = -9; dx <= 12; dx += 3)
        {
            for (int sy = -3; sy <= 4; sy += 3)
            {
                for (int sx = -4; sx <= 5; sx += 3)
                {
                    GuardedBitmap dst(10, 9);
                    RasterBlit(&dst, &src, dx, dy, sx, sy, 6, 5, 1.0f, RasterModeCopy);
                    ASSERT_TRUE(dst.GuardIntact());
                    for (int y = 0; y < 9; ++y)
                    {
                        for (int x = 0; x < 10; ++x)
                        {
                            const int u = x - dx + sx;
                            const int v = y - dy + sy;
                            const bool inRect = u >= sx && u < sx + 6 && v >= sy && v < sy + 5;
                            const bool inSrc = u >= 0 && u < 7 && v >= 0 && v < 6;
                            const uint32_t want = inRect && inSrc ? src.At(u, v) : 0u;
                            ASSERT_EQ(want, dst.At(x, y))
                                << dx << "," << dy << " " << sx << "," << sy;
                        }
                    }
                }
            }
        }
    }
    // Destination point (-5, -5) skips the first five source rows and columns.
    GuardedBitmap dst(4, 4);
    GuardedBitmap big(10, 10);
    big.FillRandom(rng);
    RasterBlit(&dst, &big, -5, -5, 0, 0, 10, 10, 1.0f, RasterModeCopy);
    EXPECT_EQ(big.At(5, 5), dst.At(0, 0));
    EXPECT_EQ(big.At(8, 8), dst.At(3, 3));
}

TEST(RasterBlit, BottomUpBitmapsAreAddressedTopDown)
{
    std::mt19937 rng(5);
    GuardedBitmap src(5, 4, 2, true);
    src.FillRandom(rng);
    GuardedBitmap dst(5, 4, 2, false);
    RasterBlit(&dst, &src, 0, 0, 0, 0, 5, 4, 1.0f, RasterModeCopy);
    EXPECT_EQ(src.Pixels(), dst.Pixels());
    GuardedBitmap back(5, 4, 2, true);
    RasterBlit(&back, &dst, 1, 1, 0, 0, 5, 4, 1.0f, RasterModeCopy);
    EXPECT_EQ(src.At(0, 0), back.At(1, 1));
    EXPECT_TRUE(back.GuardIntact());
}

TEST(RasterCopy, ResizesAndCopies)
{
    std::mt19937 rng(3);
    GuardedBitmap src(6, 3);
    src.FillRandom(rng);
    LICE_MemBitmap dst;
    RasterCopy(&dst, &src);
    ASSERT_EQ(6, dst.Width());
    ASSERT_EQ(3, dst.Height());
    for (int y = 0; y < 3; ++y)
    {
        for (int x = 0; x < 6; ++x)
        {
            EXPECT_EQ(src.At(x, y), dst.Bits()[y * dst.RowSpan() + x]);
        }
    }
    RasterCopy(nullptr, &src);
    RasterCopy(&dst, nullptr);
}
