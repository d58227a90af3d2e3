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

bool LICE_SysBitmap::Resize(int w, int h)
{
    if (!dc)
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

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = allocSpan;
    info.bmiHeader.biHeight = -allocHeight; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bmp = CreateDIBSection(static_cast<HDC>(dc), &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bmp && pixels)
    {
        section = bmp;
        bits = static_cast<uint32_t*>(pixels);
        displaced = SelectObject(static_cast<HDC>(dc), bmp);
    }
    else
    {
        if (bmp)
        {
            DeleteObject(bmp);
        }
        width = height = 0;
        allocSpan = allocHeight = 0;
    }
    return true;
}
