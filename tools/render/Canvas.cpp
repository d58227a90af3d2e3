#include "tools/render/Canvas.h"

#include "tools/render/OutputFiles.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <png.h>
#include <system_error>

namespace zelbor::render
{
namespace
{

struct Glyph
{
    char c;
    uint8_t rows[7]; // five dots per row, the most significant of five bits on the left
};

const Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {'-', {0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
    {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}},
    {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}},
    {'|', {0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
};

const Glyph* FindGlyph(char c)
{
    const char upper = char(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kFont)
    {
        if (g.c == upper)
        {
            return &g;
        }
    }
    return nullptr;
}

uint8_t Mix(uint8_t under, uint8_t over, double alpha)
{
    const double v = under + (double(over) - double(under)) * alpha;
    return uint8_t(std::clamp(v + 0.5, 0.0, 255.0));
}

struct PngFile
{
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngFile()
    {
        if (png)
        {
            png_destroy_write_struct(&png, info ? &info : nullptr);
        }
        if (file)
        {
            std::fclose(file);
        }
    }
};

bool WritePngRows(PngFile& out, int width, int height, const std::vector<uint8_t>& pixels)
{
    if (setjmp(png_jmpbuf(out.png)))
    {
        return false;
    }
    png_init_io(out.png, out.file);
    png_set_IHDR(out.png, out.info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(out.png, out.info);
    for (int y = 0; y < height; ++y)
    {
        png_write_row(out.png, pixels.data() + std::size_t(y) * std::size_t(width) * 3);
    }
    png_write_end(out.png, out.info);
    return true;
}

} // namespace

Canvas::Canvas(int width, int height, Rgb background)
    : mWidth(std::max(1, width)), mHeight(std::max(1, height)),
      mPixels(std::size_t(mWidth) * std::size_t(mHeight) * 3)
{
    for (std::size_t i = 0; i < mPixels.size(); i += 3)
    {
        mPixels[i] = background.r;
        mPixels[i + 1] = background.g;
        mPixels[i + 2] = background.b;
    }
}

Rgb Canvas::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight)
    {
        return {};
    }
    const std::size_t i = (std::size_t(y) * std::size_t(mWidth) + std::size_t(x)) * 3;
    return {mPixels[i], mPixels[i + 1], mPixels[i + 2]};
}

void Canvas::Blend(int x, int y, Rgb c, double alpha)
{
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight || alpha <= 0.0)
    {
        return;
    }
    alpha = std::min(alpha, 1.0);
    const std::size_t i = (std::size_t(y) * std::size_t(mWidth) + std::size_t(x)) * 3;
    mPixels[i] = Mix(mPixels[i], c.r, alpha);
    mPixels[i + 1] = Mix(mPixels[i + 1], c.g, alpha);
    mPixels[i + 2] = Mix(mPixels[i + 2], c.b, alpha);
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, Rgb c, double alpha)
{
    if (x0 > x1)
    {
        std::swap(x0, x1);
    }
    if (y0 > y1)
    {
        std::swap(y0, y1);
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, mWidth - 1);
    y1 = std::min(y1, mHeight - 1);
    for (int y = y0; y <= y1; ++y)
    {
        for (int x = x0; x <= x1; ++x)
        {
            Blend(x, y, c, alpha);
        }
    }
}

void Canvas::Run(int fixed, int from, int to, bool vertical, Rgb c, double alpha, int dash)
{
    if (from > to)
    {
        std::swap(from, to);
    }
    // Only the part on the canvas is visited; dashes keep counting from the
    // line's own start.
    const int last = std::min(to, (vertical ? mHeight : mWidth) - 1);
    for (int v = std::max(from, 0); v <= last; ++v)
    {
        if (dash <= 0 || ((static_cast<long long>(v) - from) / dash) % 2 == 0)
        {
            Blend(vertical ? fixed : v, vertical ? v : fixed, c, alpha);
        }
    }
}

void Canvas::VLine(int x, int y0, int y1, Rgb c, double alpha, int dash)
{
    Run(x, y0, y1, true, c, alpha, dash);
}

void Canvas::HLine(int x0, int x1, int y, Rgb c, double alpha, int dash)
{
    Run(y, x0, x1, false, c, alpha, dash);
}

void Canvas::Text(int x, int y, const std::string& text, Rgb c, int scale)
{
    scale = std::max(1, scale);
    int penX = x;
    for (char ch : text)
    {
        if (const Glyph* g = FindGlyph(ch))
        {
            for (int row = 0; row < 7; ++row)
            {
                for (int col = 0; col < 5; ++col)
                {
                    if (g->rows[row] & (0x10 >> col))
                    {
                        FillRect(penX + col * scale, y + row * scale, penX + (col + 1) * scale - 1,
                                 y + (row + 1) * scale - 1, c);
                    }
                }
            }
        }
        penX += 6 * scale;
    }
}

int Canvas::TextWidth(const std::string& text, int scale)
{
    return text.empty() ? 0 : int(text.size()) * 6 * std::max(1, scale) - std::max(1, scale);
}

bool Canvas::WritePng(const std::string& path, std::string& error) const
{
    const auto write = [this](const std::filesystem::path& temp)
    {
        PngFile out;
        out.file = std::fopen(temp.string().c_str(), "wb");
        if (!out.file) return false;
        out.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        out.info = out.png ? png_create_info_struct(out.png) : nullptr;
        const bool ok = out.info && WritePngRows(out, mWidth, mHeight, mPixels);
        return std::fflush(out.file) == 0 && !std::ferror(out.file) && ok;
    };
    std::string reason;
    if (!WriteThroughTemporary(path, write, reason))
    {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace zelbor::render
