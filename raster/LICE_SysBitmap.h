#pragma once

#include "raster/LICE_IBitmap.h"

// The editor's back buffer. On Windows its pixels are a top-down DIB section
// selected into a memory device context, so GDI can draw text into it and it
// can be copied to a window in one block. Elsewhere it is plain memory with
// no device context. Shrinking keeps the larger allocation.
class LICE_SysBitmap : public LICE_IBitmap
{
public:
    explicit LICE_SysBitmap(int w = 0, int h = 0);
    ~LICE_SysBitmap() override;

    LICE_SysBitmap(const LICE_SysBitmap&) = delete;
    LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

    uint32_t* Bits() override { return bits; }
    int Width() override { return width; }
    int Height() override { return height; }
    int RowSpan() override { return allocSpan; }
    bool Resize(int w, int h) override;
    void* DeviceContext() override { return dc; }

private:
    bool Ready() const; // false when the platform cannot hold pixels at all
    bool Allocate();    // fills section and bits for allocSpan x allocHeight
    void Release();

    int width = 0;
    int height = 0;
    void* dc = nullptr; // memory device context (Windows)
    uint32_t* bits = nullptr;
    int allocSpan = 0; // pixels per row of the allocation
    int allocHeight = 0;
    void* section = nullptr;   // section handle (Windows) or heap block
    void* displaced = nullptr; // object the section displaced in the context
};
