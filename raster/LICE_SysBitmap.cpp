#include "raster/LICE_SysBitmap.h"

// Size bookkeeping shared by both back-buffer kinds; the platform files supply
// Ready(), Allocate() and Release().
bool LICE_SysBitmap::Resize(int w, int h)
{
    if (!Ready())
    {
        width = height = 0;
        bits = nullptr;
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
    if (!Allocate())
    {
        width = height = 0;
        allocSpan = allocHeight = 0;
    }
    return true;
}
