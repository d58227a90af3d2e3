#include "raster/LICE_MemBitmap.h"

#include <cstdint>
#include <cstdlib>

namespace
{
// Alignment masks above this are not meaningful for pixel rows; they would
// also let the span calculation overflow for large widths.
const int MaxRowMask = 1023;

// Largest block this bitmap asks for, so that the size arithmetic can never
// wrap, whatever the platform's pointer size.
const long long MaxBlockBytes = 0x7FFFFFFF;
} // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h, int rowAlign)
{
    if (rowAlign >= 2)
    {
        rowMask = (rowAlign & -rowAlign) - 1;
        if (rowMask > MaxRowMask)
        {
            rowMask = MaxRowMask;
        }
    }
    if (w != 0 || h != 0)
    {
        Resize(w, h);
    }
}

LICE_MemBitmap::~LICE_MemBitmap()
{
    std::free(block);
}

uint32_t* LICE_MemBitmap::Bits()
{
    if (!block)
    {
        return nullptr;
    }
    uintptr_t p = reinterpret_cast<uintptr_t>(block);
    p = (p + 63) & ~static_cast<uintptr_t>(63);
    return reinterpret_cast<uint32_t*>(p);
}

bool LICE_MemBitmap::Resize(int w, int h)
{
    if (w == width && h == height)
    {
        return false;
    }
    if (w < 0)
    {
        w = 0;
    }
    if (h < 0)
    {
        h = 0;
    }
    width = w;
    height = h;

    long long span = (static_cast<long long>(w) + rowMask) & ~static_cast<long long>(rowMask);
    long long needed = 0;
    if (h > 0 && span > (MaxBlockBytes - 63) / 4 / h)
    {
        // Too large to address: behave as a failed allocation.
        std::free(block);
        block = nullptr;
        allocated = 0;
    }
    else
    {
        needed = static_cast<long long>(h) * span * 4;
    }

    if (needed > 0)
    {
        size_t want = static_cast<size_t>(needed);
        if (!block)
        {
            block = std::malloc(want + 63);
            allocated = block ? want : 0;
        }
        else if (allocated < want)
        {
            // Grow by a quarter more than needed so that small size changes
            // of a scratch bitmap do not reallocate every time.
            long long grown = (needed / 4) * 5;
            if (grown > MaxBlockBytes - 63)
            {
                grown = needed;
            }
            void* p = std::realloc(block, static_cast<size_t>(grown) + 63);
            if (p)
            {
                block = p;
                allocated = static_cast<size_t>(grown);
            }
            else
            {
                std::free(block);
                block = std::malloc(want + 63);
                allocated = block ? want : 0;
            }
        }
    }
    else
    {
        std::free(block);
        block = nullptr;
        allocated = 0;
    }

    if (!block)
    {
        width = 0;
        height = 0;
    }
    return true;
}
