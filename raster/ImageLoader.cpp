#include "raster/ImageLoader.h"

#include "platform/Resources.h"
#include "raster/LICE_MemBitmap.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace
{
struct Reader
{
    const unsigned char* next;
    std::size_t left;
};

// Hands libpng the next bytes of the buffer. A request beyond the end is an
// error: a truncated image never decodes into a partly filled bitmap.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    Reader* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (!r || count > r->left)
    {
        png_error(png, "read past the end of the image data");
        return;
    }
    std::memcpy(out, r->next, count);
    r->next += count;
    r->left -= count;
}

// libpng's default handlers print to the console; an editor has none.
void SilentError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void SilentWarning(png_structp, png_const_charp) {}

// Whether every chunk's declared length fits in the data that follows it.
// libpng allocates a chunk's length before it reads the chunk, so one forged
// length field (up to 2 GB) would cost that much memory for a few bytes.
bool ChunksFit(const unsigned char* p, std::size_t size)
{
    std::size_t at = 8;
    while (size - at >= 8)
    {
        const std::size_t length = (std::size_t{p[at]} << 24) | (std::size_t{p[at + 1]} << 16) |
                                   (std::size_t{p[at + 2]} << 8) | std::size_t{p[at + 3]};
        if (length > size - at - 8)
        {
            return false;
        }
        if (std::memcmp(p + at + 4, "IEND", 4) == 0)
        {
            return true;
        }
        at += 8 + length;
        // The CRC; one that is missing is libpng's to judge.
        at += size - at < 4 ? size - at : 4;
    }
    return true;
}

// Bytes A, R, G, B in memory become the native word 0xAARRGGBB.
void ConvertRow(uint32_t* row, int width)
{
    unsigned char* p = reinterpret_cast<unsigned char*>(row);
    for (int x = 0; x < width; ++x, p += 4)
    {
        row[x] = (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                 (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
    }
}
} // namespace

LICE_IBitmap* DecodePngMemory(const void* data, std::size_t size, LICE_IBitmap* target)
{
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0 ||
        !ChunksFit(static_cast<const unsigned char*>(data), size))
    {
        return nullptr;
    }

    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!png)
    {
        return nullptr;
    }
    png_infop info = png_create_info_struct(png);
    if (!info)
    {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }

    // Written after setjmp and read after a long jump back, hence volatile.
    LICE_MemBitmap* volatile created = nullptr;
    png_bytep* volatile rows = nullptr;

    if (setjmp(png_jmpbuf(png)))
    {
        delete[] rows;
        delete created;
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }

    png_set_user_limits(png, PngMaxDimension, PngMaxDimension);
    png_set_chunk_malloc_max(png, 4 * 1024 * 1024);
    png_set_chunk_cache_max(png, 256);

    Reader reader = {static_cast<const unsigned char*>(data), size};
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int type = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || width > PngMaxDimension || height > PngMaxDimension ||
        static_cast<unsigned long long>(width) * height > PngMaxPixels)
    {
        png_error(png, "image too large");
    }

    // Everything becomes four 8-bit bytes per pixel in the order A, R, G, B.
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (type == PNG_COLOR_TYPE_PALETTE)
    {
        png_set_palette_to_rgb(png);
    }
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
    {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (hasTrns)
    {
        png_set_tRNS_to_alpha(png);
    }
    if (depth == 16)
    {
        png_set_strip_16(png);
    }
    if (depth < 8)
    {
        png_set_packing(png);
    }
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
    {
        png_set_gray_to_rgb(png);
    }
    const bool hasAlpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
    if (hasAlpha)
    {
        png_set_swap_alpha(png);
    }
    else
    {
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4 ||
        png_get_bit_depth(png, info) != 8)
    {
        png_error(png, "unexpected pixel layout");
    }

    LICE_IBitmap* bmp = target;
    if (!bmp)
    {
        created = new LICE_MemBitmap(0, 0, 4);
        bmp = created;
    }
    bmp->Resize(static_cast<int>(width), static_cast<int>(height));
    if (bmp->Width() != static_cast<int>(width) || bmp->Height() != static_cast<int>(height) ||
        !bmp->Bits())
    {
        png_error(png, "out of memory");
    }

    const int span = bmp->RowSpan();
    uint32_t* bits = bmp->Bits();
    const bool flipped = bmp->IsFlipped();
    rows = new png_bytep[height];
    for (png_uint_32 y = 0; y < height; ++y)
    {
        png_uint_32 row = flipped ? height - 1 - y : y;
        rows[y] = reinterpret_cast<png_bytep>(bits + static_cast<std::size_t>(row) * span);
    }
    png_read_image(png, rows);

    for (png_uint_32 y = 0; y < height; ++y)
    {
        ConvertRow(reinterpret_cast<uint32_t*>(rows[y]), static_cast<int>(width));
    }
    delete[] rows;
    rows = nullptr;
    png_destroy_read_struct(&png, &info, nullptr);
    return bmp;
}

LICE_IBitmap* DecodePngResource(void* module, int id)
{
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!FindImageResource(module, id, data, size) || size < 8)
    {
        return nullptr;
    }
    return DecodePngMemory(data, size, nullptr);
}

bool HasPngExtension(const char* fileName)
{
    if (!fileName)
    {
        return false;
    }
    const char* dot = std::strrchr(fileName, '.');
    if (!dot)
    {
        return false;
    }
    const char* ext = dot + 1;
    const char want[] = "png";
    for (int i = 0; i < 3; ++i)
    {
        char c = ext[i];
        if (c >= 'A' && c <= 'Z')
        {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != want[i])
        {
            return false;
        }
    }
    return ext[3] == 0;
}

LICE_IBitmap* LoadBitmapResource(int id, const char* fileName)
{
    if (!HasPngExtension(fileName))
    {
        return nullptr;
    }
    return DecodePngResource(nullptr, id);
}
