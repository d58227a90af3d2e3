#include "raster/PngWriter.h"

#include "platform/FileOpen.h"

#include <csetjmp>
#include <cstdio>
#include <png.h>
#include <vector>

namespace
{
// Turns the pixel words of one row (0xAARRGGBB) into R, G, B, A bytes.
void PackRow(const uint32_t* src, int width, bool opaque, unsigned char* out)
{
    for (int x = 0; x < width; ++x)
    {
        const uint32_t p = src[x];
        out[4 * x + 0] = static_cast<unsigned char>(p >> 16);
        out[4 * x + 1] = static_cast<unsigned char>(p >> 8);
        out[4 * x + 2] = static_cast<unsigned char>(p);
        out[4 * x + 3] = opaque ? 255 : static_cast<unsigned char>(p >> 24);
    }
}

// libpng reports errors by longjmp; everything the jump skips over is kept
// outside the function that calls setjmp.
bool Encode(png_structp png, png_infop info, FILE* file, LICE_IBitmap* bitmap, bool opaque,
            std::vector<unsigned char>& row)
{
    if (setjmp(png_jmpbuf(png)))
    {
        return false;
    }
    const int width = bitmap->Width();
    const int height = bitmap->Height();
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const uint32_t* bits = bitmap->Bits();
    const long long span = bitmap->RowSpan();
    for (int y = 0; y < height; ++y)
    {
        const int srcRow = bitmap->IsFlipped() ? height - 1 - y : y;
        PackRow(bits + srcRow * span, width, opaque, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}
} // namespace

bool WritePngFile(LICE_IBitmap* bitmap, const char* path, bool opaque)
{
    if (!bitmap || !path || !bitmap->Bits() || bitmap->Width() <= 0 || bitmap->Height() <= 0)
    {
        return false;
    }
    FILE* file = OpenFileUtf8(path, "wb");
    if (!file)
    {
        return false;
    }
    std::vector<unsigned char> row(static_cast<size_t>(bitmap->Width()) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info && Encode(png, info, file, bitmap, opaque, row);
    if (png)
    {
        png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
    {
        RemoveFileUtf8(path);
    }
    return ok;
}
