#include "raster/LICE_SysBitmap.h"

#include <windows.h>

LICE_SysBitmap::LICE_SysBitmap(int w, int h)
{
    dc = CreateCompatibleDC(nullptr);
    Resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
    Release();
    if (dc)
    {
        DeleteDC(static_cast<HDC>(dc));
    }
}

// Puts the displaced object back into the context and deletes the section.
void LICE_SysBitmap::Release()
{
    if (section)
    {
        if (dc && displaced)
        {
            SelectObject(static_cast<HDC>(dc), static_cast<HGDIOBJ>(displaced));
        }
        DeleteObject(static_cast<HGDIOBJ>(section));
    }
    section = nullptr;
    displaced = nullptr;
    bits = nullptr;
}

bool LICE_SysBitmap::Ready() const
{
    return dc != nullptr;
}

// Creates an allocSpan x allocHeight top-down DIB section and selects it into
// the context; false when that fails.
bool LICE_SysBitmap::Allocate()
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = allocSpan;
    info.bmiHeader.biHeight = -allocHeight; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bmp =
        CreateDIBSection(static_cast<HDC>(dc), &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bmp || !pixels)
    {
        if (bmp)
        {
            DeleteObject(bmp);
        }
        return false;
    }
    section = bmp;
    bits = static_cast<uint32_t*>(pixels);
    displaced = SelectObject(static_cast<HDC>(dc), bmp);
    return true;
}
