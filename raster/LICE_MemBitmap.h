#pragma once

#include "raster/LICE_IBitmap.h"

#include <cstddef>

// A bitmap in heap memory. The pixel memory is 64-byte aligned and the row
// span is the width rounded up to the row alignment.
class LICE_MemBitmap : public LICE_IBitmap
{
public:
    // rowAlign is in pixels; it is reduced to its lowest set bit.
    explicit LICE_MemBitmap(int w = 0, int h = 0, int rowAlign = 4);
    ~LICE_MemBitmap() override;

    LICE_MemBitmap(const LICE_MemBitmap&) = delete;
    LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

    uint32_t* Bits() override;
    int Width() override { return width; }
    int Height() override { return height; }
    int RowSpan() override { return SpanFor(width); }
    bool Resize(int w, int h) override;

    size_t AllocatedBytes() const { return allocated; }

private:
    int SpanFor(int w) const { return (w + rowMask) & ~rowMask; }

    void* block = nullptr;
    int width = 0;
    int height = 0;
    size_t allocated = 0;
    int rowMask = 0;
};
