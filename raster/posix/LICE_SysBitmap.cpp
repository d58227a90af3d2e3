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

bool LICE_SysBitmap::Ready() const
{
    return true;
}

// Allocates allocSpan x allocHeight zeroed pixels; false when that fails.
bool LICE_SysBitmap::Allocate()
{
    long long bytes = static_cast<long long>(allocSpan) * allocHeight * 4;
    if (bytes <= 0x7FFFFFFF - 64)
    {
        section = std::malloc(static_cast<size_t>(bytes) + 63);
    }
    if (!section)
    {
        return false;
    }
    uintptr_t p = (reinterpret_cast<uintptr_t>(section) + 63) & ~static_cast<uintptr_t>(63);
    bits = reinterpret_cast<uint32_t*>(p);
    std::memset(bits, 0, static_cast<size_t>(bytes));
    return true;
}
