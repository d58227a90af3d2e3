#pragma once

#include <cstdint>

// A colour with straight (not premultiplied) alpha, each channel 0..255.
// Packs into the raster pixel word 0xAARRGGBB.
struct IColorRGBA
{
    int alpha = 255;
    int red = 0;
    int green = 0;
    int blue = 0;

    constexpr IColorRGBA() = default;
    constexpr IColorRGBA(int a, int r, int g, int b) : alpha(a), red(r), green(g), blue(b) {}

    constexpr uint32_t Pack() const
    {
        return (static_cast<uint32_t>(alpha & 0xFF) << 24) |
               (static_cast<uint32_t>(red & 0xFF) << 16) |
               (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(blue & 0xFF);
    }

    static constexpr IColorRGBA Unpack(uint32_t pixel)
    {
        return IColorRGBA(static_cast<int>(pixel >> 24), static_cast<int>((pixel >> 16) & 0xFF),
                          static_cast<int>((pixel >> 8) & 0xFF), static_cast<int>(pixel & 0xFF));
    }

    constexpr bool operator==(const IColorRGBA& c) const
    {
        return alpha == c.alpha && red == c.red && green == c.green && blue == c.blue;
    }
    constexpr bool operator!=(const IColorRGBA& c) const { return !(*this == c); }
};
