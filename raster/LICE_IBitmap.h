#pragma once

#include <cstdint>

// A 32-bit raster surface. Pixels are words 0xAARRGGBB (memory order B, G, R,
// A), not premultiplied. Pixel (x, y) is word y * RowSpan() + x from Bits()
// unless IsFlipped() reports bottom-up rows.
class LICE_IBitmap
{
public:
    virtual ~LICE_IBitmap() = default;

    virtual uint32_t* Bits() = 0;
    virtual int Width() = 0;
    virtual int Height() = 0;
    virtual int RowSpan() = 0; // in pixels
    virtual bool IsFlipped() { return false; }
    // Returns whether the size changed. Pixel contents afterwards are unspecified.
    virtual bool Resize(int w, int h) = 0;
    // Device context for GDI drawing, null when the bitmap has none.
    virtual void* DeviceContext() { return nullptr; }
};
