#pragma once

// Pixel operations shared by the raster loops. Each combiner blends one source
// colour (channels r, g, b and alpha a) into a destination word with the
// integer weight w (256 = full). Loops are instantiated once per combiner, so
// the choice of operation is made once per call, never per pixel.

#include "raster/LICE_IBitmap.h"
#include "raster/Raster.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace raster_detail
{
// A bitmap seen top-down: Row(0) is always the top row, whatever the memory
// order of the bitmap.
struct Surface
{
    uint32_t* bits = nullptr;
    int w = 0;
    int h = 0;
    std::ptrdiff_t stride = 0;

    uint32_t* Row(int y) const { return bits + static_cast<std::ptrdiff_t>(y) * stride; }
};

inline bool MakeSurface(LICE_IBitmap* bmp, Surface& s)
{
    if (!bmp)
    {
        return false;
    }
    uint32_t* bits = bmp->Bits();
    int w = bmp->Width();
    int h = bmp->Height();
    int span = bmp->RowSpan();
    if (!bits || w <= 0 || h <= 0 || span < w)
    {
        return false;
    }
    s.w = w;
    s.h = h;
    if (bmp->IsFlipped())
    {
        s.bits = bits + static_cast<std::ptrdiff_t>(h - 1) * span;
        s.stride = -static_cast<std::ptrdiff_t>(span);
    }
    else
    {
        s.bits = bits;
        s.stride = span;
    }
    return true;
}

// Weights far outside 0..1 are limited to +-4 so that no combiner's
// intermediate products can overflow (fills also pass the weight as the
// source alpha).
const int MaxIntWeight = 4 * 256;

// trunc(weight * 256), limited; NaN gives 0.
inline int WeightToInt(float weight)
{
    float f = weight * 256.0f;
    if (!(f == f))
    {
        return 0;
    }
    if (f > static_cast<float>(MaxIntWeight))
    {
        return MaxIntWeight;
    }
    if (f < -static_cast<float>(MaxIntWeight))
    {
        return -MaxIntWeight;
    }
    return static_cast<int>(f);
}

inline int ChB(uint32_t p)
{
    return static_cast<int>(p & 0xFF);
}
inline int ChG(uint32_t p)
{
    return static_cast<int>((p >> 8) & 0xFF);
}
inline int ChR(uint32_t p)
{
    return static_cast<int>((p >> 16) & 0xFF);
}
inline int ChA(uint32_t p)
{
    return static_cast<int>(p >> 24);
}

// Low byte of each channel.
inline uint32_t PackLow(int r, int g, int b, int a)
{
    return (static_cast<uint32_t>(a & 0xFF) << 24) | (static_cast<uint32_t>(r & 0xFF) << 16) |
           (static_cast<uint32_t>(g & 0xFF) << 8) | static_cast<uint32_t>(b & 0xFF);
}

inline int Clamp255(int v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

inline uint32_t PackClamped(int r, int g, int b, int a)
{
    return PackLow(Clamp255(r), Clamp255(g), Clamp255(b), Clamp255(a));
}

// Fixed-weight copies by shifted masks: each byte's bits never spill into
// the next.
inline uint32_t Mix128(uint32_t d, uint32_t c)
{
    return ((c >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu);
}
inline uint32_t Mix64(uint32_t d, uint32_t c)
{
    return ((d >> 1) & 0x7F7F7F7Fu) + ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu);
}
inline uint32_t Mix192(uint32_t d, uint32_t c)
{
    return ((c >> 1) & 0x7F7F7F7Fu) + ((c >> 2) & 0x3F3F3F3Fu) + ((d >> 2) & 0x3F3F3F3Fu);
}

// ---- combiners without source alpha ----

// Plain store (copy at full weight without source alpha).
struct StoreOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int) { d = PackLow(r, g, b, a); }
};

struct CopyOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        const int k = 256 - w;
        const uint32_t p = d;
        d = PackLow((ChR(p) - r) * k / 256 + r, (ChG(p) - g) * k / 256 + g,
                    (ChB(p) - b) * k / 256 + b, (ChA(p) - a) * k / 256 + a);
    }
};

struct AddOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        const uint32_t p = d;
        d = PackClamped(ChR(p) + r * w / 256, ChG(p) + g * w / 256, ChB(p) + b * w / 256,
                        ChA(p) + a * w / 256);
    }
};

struct DodgeOp
{
    static int Channel(int dc, int sc, int w)
    {
        const int s = sc * w / 256;
        return s < 255 ? Clamp255(dc * 256 / (256 - s)) : Clamp255(dc * 256);
    }
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        const uint32_t p = d;
        d = PackLow(Channel(ChR(p), r, w), Channel(ChG(p), g, w), Channel(ChB(p), b, w),
                    Channel(ChA(p), a, w));
    }
};

struct MultiplyOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        const int gain = (256 - w) * 256;
        const uint32_t p = d;
        d = PackLow((r * w + gain) * ChR(p) / 65536, (g * w + gain) * ChG(p) / 65536,
                    (b * w + gain) * ChB(p) / 65536, (a * w + gain) * ChA(p) / 65536);
    }
};

struct OverlayOp
{
    static int Channel(int dc, int sc, int w)
    {
        const int t = sc * w + (256 - w) * 128;
        return Clamp255(((dc * (32768 - t)) / 256 + t) * dc / 32768);
    }
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        const uint32_t p = d;
        d = PackLow(Channel(ChR(p), r, w), Channel(ChG(p), g, w), Channel(ChB(p), b, w),
                    Channel(ChA(p), a, w));
    }
};

// t[0] = 0, t[i] = 65536 / i - 1: reciprocals for the hue and saturation.
inline const std::array<int, 256>& HsvTable()
{
    static const std::array<int, 256> table = []
    {
        std::array<int, 256> t{};
        t[0] = 0;
        for (int i = 1; i < 256; ++i)
        {
            t[i] = 65536 / i - 1;
        }
        return t;
    }();
    return table;
}

// Hue (0..383, 1/384 turn), saturation and value (0..255) of a colour.
inline void RgbToHsv(int r, int g, int b, int& h, int& s, int& v)
{
    const std::array<int, 256>& t = HsvTable();
    int mx = r > g ? r : g;
    mx = mx > b ? mx : b;
    int mn = r < g ? r : g;
    mn = mn < b ? mn : b;
    const int delta = mx - mn;
    v = mx;
    s = delta * t[mx] / 256;
    int base;
    int num;
    if (r == mx)
    {
        base = g >= b ? 0 : 383;
        num = g - b;
    }
    else if (g == mx)
    {
        base = 128;
        num = b - r;
    }
    else
    {
        base = 256;
        num = r - g;
    }
    h = base + num * (t[delta] + 1) / 1024;
}

// Six sectors of 64 hue units, fractions scaled by 16384.
inline void HsvToRgb(int h, int s, int v, int& r, int& g, int& b)
{
    if (s <= 0)
    {
        r = g = b = v;
        return;
    }
    const int sat = s * 16384 / 255;
    const int sector = h / 64;
    const int f = (h % 64) * 256;
    const int p = v * (16384 - sat) / 16384;
    const int q = v * (16384 - sat * f / 16384) / 16384;
    const int t = v * (16384 - sat * (16384 - f) / 16384) / 16384;
    switch (sector)
    {
    case 0:
        r = v;
        g = t;
        b = p;
        break;
    case 1:
        r = q;
        g = v;
        b = p;
        break;
    case 2:
        r = p;
        g = v;
        b = t;
        break;
    case 3:
        r = p;
        g = q;
        b = v;
        break;
    case 4:
        r = t;
        g = p;
        b = v;
        break;
    default:
        r = v;
        g = p;
        b = q;
        break;
    }
}

// Hue-saturation-value adjust: the source red turns the hue (128 is no
// turn), green shifts the saturation and blue the value (128 is no change).
// The destination alpha becomes the source alpha.
struct HsvAdjustOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        int h;
        int s;
        int v;
        RgbToHsv(ChR(d), ChG(d), ChB(d), h, s, v);
        h += (r / 2 + r - 192) * w / 256;
        h %= 384;
        if (h < 0)
        {
            h += 384;
        }
        s = Clamp255(s + (g - 128) * w / 128);
        v = Clamp255(v + (b - 128) * w / 128);
        int nr;
        int ng;
        int nb;
        HsvToRgb(h, s, v, nr, ng, nb);
        d = PackLow(nr, ng, nb, a);
    }
};

// ---- combiners with source alpha: the alpha scales the weight ----

inline int AlphaWeight(int w, int a)
{
    return w * (a + 1) / 256;
}

// The operation at the weight scaled by the source alpha. Copy, add and
// multiply leave the destination alone where the source is transparent;
// dodge, overlay and HSV adjust apply even there.
template <class Op, bool SkipTransparent> struct SourceAlphaOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int w)
    {
        if (SkipTransparent && a == 0)
        {
            return;
        }
        Op::Apply(d, r, g, b, a, AlphaWeight(w, a));
    }
};

using CopySourceAlphaOp = SourceAlphaOp<CopyOp, true>;
using AddSourceAlphaOp = SourceAlphaOp<AddOp, true>;
using MultiplySourceAlphaOp = SourceAlphaOp<MultiplyOp, true>;
using DodgeSourceAlphaOp = SourceAlphaOp<DodgeOp, false>;
using OverlaySourceAlphaOp = SourceAlphaOp<OverlayOp, false>;
using HsvAdjustSourceAlphaOp = SourceAlphaOp<HsvAdjustOp, false>;

// Copy with source alpha at full weight. An opaque source pixel replaces the
// colour and makes the destination opaque; the alpha rule of the partial
// case, (a + 1) + ..., would store 256 there and wrap it to 0.
struct CopyFullSourceAlphaOp
{
    static void Apply(uint32_t& d, int r, int g, int b, int a, int)
    {
        if (a == 0)
        {
            return;
        }
        if (a == 255)
        {
            d = PackLow(r, g, b, 255);
            return;
        }
        const int k = 255 - a;
        const int a1 = a + 1;
        const uint32_t p = d;
        d = PackLow(r + (ChR(p) - r) * k / 256, g + (ChG(p) - g) * k / 256,
                    b + (ChB(p) - b) * k / 256, a1 + (ChA(p) - a1) * k / 256);
    }
};

inline bool IsBilinear(unsigned mode)
{
    return ((mode >> 8) & 0xFF) == 1;
}

// Calls f with the combiner for the mode's operation, with or without source
// alpha, at the integer weight w. Returns false (calling nothing) when the
// operation draws nothing: weight 0, a copy with a weight of 0 or less, or
// an unknown operation.
template <class F> bool WithCombiner(unsigned mode, int w, F&& f)
{
    const unsigned op = mode & RasterModeMask;
    const bool sourceAlpha = (mode & RasterUseSourceAlpha) != 0;
    if (w == 0 || (op == RasterModeCopy && w < 0))
    {
        return false;
    }
    switch (op)
    {
    case RasterModeCopy:
        if (sourceAlpha)
        {
            if (w == 256)
            {
                f(CopyFullSourceAlphaOp{});
            }
            else
            {
                f(CopySourceAlphaOp{});
            }
        }
        else if (w == 256)
        {
            f(StoreOp{});
        }
        else
        {
            f(CopyOp{});
        }
        return true;
    case RasterModeAdd:
        sourceAlpha ? f(AddSourceAlphaOp{}) : f(AddOp{});
        return true;
    case RasterModeDodge:
        sourceAlpha ? f(DodgeSourceAlphaOp{}) : f(DodgeOp{});
        return true;
    case RasterModeMultiply:
        sourceAlpha ? f(MultiplySourceAlphaOp{}) : f(MultiplyOp{});
        return true;
    case RasterModeOverlay:
        sourceAlpha ? f(OverlaySourceAlphaOp{}) : f(OverlayOp{});
        return true;
    case RasterModeHSVAdjust:
        sourceAlpha ? f(HsvAdjustSourceAlphaOp{}) : f(HsvAdjustOp{});
        return true;
    default:
        return false;
    }
}

// As WithCombiner, for drawing a solid colour: the source-alpha bit plays no
// part, and a copy is always the weighted combiner.
template <class F> bool WithColourCombiner(unsigned mode, int w, F&& f)
{
    const unsigned op = mode & RasterModeMask;
    if (w == 0 || (op == RasterModeCopy && w < 0))
    {
        return false;
    }
    switch (op)
    {
    case RasterModeCopy:
        f(CopyOp{});
        return true;
    case RasterModeAdd:
        f(AddOp{});
        return true;
    case RasterModeDodge:
        f(DodgeOp{});
        return true;
    case RasterModeMultiply:
        f(MultiplyOp{});
        return true;
    case RasterModeOverlay:
        f(OverlayOp{});
        return true;
    case RasterModeHSVAdjust:
        f(HsvAdjustOp{});
        return true;
    default:
        return false;
    }
}

inline bool Finite(float v)
{
    return std::isfinite(v);
}

// Writers of one solid-colour pixel for the line and circle drawers: a store
// or fixed mix at full weight, or a combiner at weight w.
struct StoreWriter
{
    static void Put(uint32_t& p, uint32_t c, int) { p = c; }
};
struct Mix64Writer
{
    static void Put(uint32_t& p, uint32_t c, int) { p = Mix64(p, c); }
};
struct Mix128Writer
{
    static void Put(uint32_t& p, uint32_t c, int) { p = Mix128(p, c); }
};
struct Mix192Writer
{
    static void Put(uint32_t& p, uint32_t c, int) { p = Mix192(p, c); }
};
template <class Op> struct CombineWriter
{
    static void Put(uint32_t& p, uint32_t c, int w)
    {
        Op::Apply(p, ChR(c), ChG(c), ChB(c), ChA(c), w);
    }
};
} // namespace raster_detail
