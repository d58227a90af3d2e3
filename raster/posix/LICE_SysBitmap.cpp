#include "raster/LICE_SysBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

// Without a windowing system the back buffer is zero-filled, 64-byte aligned
// heap memory; there is no device context.

LICE_SysBitmap::LICE_SysBitmap(int w, int h)
{
    Resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
    Release();
}

void LICE_SysBitmap::Release()
{
    std::free(section);
    section = nullptr;
    bits = nullptr;
}

bool LICE_SysBitmap::Resize(int w, int h)
{
    if (w < 0)
    {
        w = 0;
    }
    if (h < 0)
    {
        h = 0;
    }
    if (w == width && h == height)
    {
        return false;
    }
    width = w;
    height = h;
    if (w != 0 && h != 0 && allocSpan >= w && allocHeight >= h && bits)
    {
        return true;
    }

    allocSpan = (w + 3) & ~3;
    allocHeight = h;
    Release();
    if (w == 0 || h == 0)
    {
        return false;
    }

    long long bytes = static_cast<long long>(allocSpan) * allocHeight * 4;
    if (bytes <= 0x7FFFFFFF - 64)
    {
        section = std::malloc(static_cast<size_t>(bytes) + 63);
    }
    if (section)
    {
        uintptr_t p = (reinterpret_cast<uintptr_t>(section) + 63) & ~static_cast<uintptr_t>(63);
        bits = reinterpret_cast<uint32_t*>(p);
        std::memset(bits, 0, static_cast<size_t>(bytes));
    }
    else
    {
        width = height = 0;
        allocSpan = allocHeight = 0;
    }
    return true;
}
