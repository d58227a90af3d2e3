#include "graphics/headless/HeadlessFont.h"

#include "graphics/ITextStyle.h"
#include "raster/Raster.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <mutex>
#include <string>

#ifdef ZELBOR_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#endif

namespace
{
// The next code point of the text, advancing p. A byte that does not start a
// complete, shortest-form UTF-8 sequence is taken as Latin-1.
uint32_t NextCodePoint(const unsigned char*& p)
{
    const uint32_t lead = *p++;
    int extra = 0;
    uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        extra = 1;
        cp = lead & 0x1F;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        extra = 2;
        cp = lead & 0x0F;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        extra = 3;
        cp = lead & 0x07;
    }
    else
    {
        return lead;
    }
    // The terminating zero is not a continuation byte, so this stops there.
    for (int i = 0; i < extra; ++i)
    {
        if ((p[i] & 0xC0) != 0x80)
        {
            return lead;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    static const uint32_t kShortest[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    {
        return lead;
    }
    p += extra;
    return cp;
}

std::atomic<HeadlessFont::FaceFinder> gFaceFinder{nullptr};

#ifdef ZELBOR_HAVE_FREETYPE
// Debian's fonts-liberation package puts the faces here.
const char* const kFontFolder = "/usr/share/fonts/truetype/liberation/";

// Larger sizes would make single glyphs and line masks of many megabytes.
constexpr int kMaxPixelsPerEm = 1000;

// Never destroyed: fonts held by static styles may go after static
// destructors have run.
std::mutex& FaceMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

// The process's FreeType library, null when it cannot be started. Called
// with FaceMutex held.
FT_Library Library()
{
    static FT_Library library = nullptr;
    static bool tried = false;
    if (!tried)
    {
        tried = true;
        if (FT_Init_FreeType(&library) != 0)
        {
            library = nullptr;
        }
    }
    return library;
}

FT_Face OpenFace(int styleBits)
{
    std::lock_guard<std::mutex> hold(FaceMutex());
    FT_Library library = Library();
    if (!library)
    {
        return nullptr;
    }
    const HeadlessFont::FaceFinder finder = gFaceFinder.load();
    auto pathFor = [finder](int bits)
    { return finder ? finder(bits) : std::string(kFontFolder) + HeadlessFont::FaceFileName(bits); };
    FT_Face face = nullptr;
    const std::string path = pathFor(styleBits);
    if (!path.empty() && FT_New_Face(library, path.c_str(), 0, &face) == 0)
    {
        return face;
    }
    // A missing bold or italic file: the regular face rather than no text.
    const std::string regular = pathFor(ITextStyle::Normal);
    if (!regular.empty() && FT_New_Face(library, regular.c_str(), 0, &face) == 0)
    {
        return face;
    }
    return nullptr;
}

void CloseFace(FT_Face face)
{
    if (face)
    {
        std::lock_guard<std::mutex> hold(FaceMutex());
        FT_Done_Face(face);
    }
}
#endif
} // namespace

const char* HeadlessFont::FaceFileName(int styleBits)
{
    switch (styleBits & (ITextStyle::Bold | ITextStyle::Italic))
    {
    case ITextStyle::Bold:
        return "LiberationSans-Bold.ttf";
    case ITextStyle::Italic:
        return "LiberationSans-Italic.ttf";
    case ITextStyle::Bold | ITextStyle::Italic:
        return "LiberationSans-BoldItalic.ttf";
    default:
        return "LiberationSans-Regular.ttf";
    }
}

bool HeadlessFont::DrawStyled(LICE_IBitmap* dst, ITextStyle& style, const char* text,
                              const IBox& box)
{
    if (!text || !*text)
    {
        return true;
    }
    if (!dst)
    {
        return false;
    }
    auto* font = style.LayerFont<HeadlessFont>();
    if (!font)
    {
        return false;
    }
    const IColorRGBA& c = style.color;
    return font->DrawLine(dst, text, box, style.align,
                          IColorRGBA(0, c.red, c.green, c.blue).Pack());
}

void HeadlessFont::SetFaceFinder(FaceFinder finder)
{
    gFaceFinder.store(finder);
}

bool HeadlessFont::Available()
{
#ifdef ZELBOR_HAVE_FREETYPE
    static const bool available = []
    {
        FT_Face face = OpenFace(ITextStyle::Normal);
        CloseFace(face);
        return face != nullptr;
    }();
    return available;
#else
    return false;
#endif
}

HeadlessFont* HeadlessFont::Create(const ITextStyle& style)
{
#ifdef ZELBOR_HAVE_FREETYPE
    const int pixelSize = style.PixelSize();
    if (pixelSize == 0)
    {
        return nullptr;
    }
    FT_Face face = OpenFace(style.style);
    if (!face)
    {
        return nullptr;
    }
    // The cell of a positive size spans winAscent + winDescent; the em is
    // what the face is scaled by, so the em is that much smaller.
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const double upem = face->units_per_EM;
    const double winAscent = os2 ? os2->usWinAscent : face->ascender;
    const double winDescent = os2 ? os2->usWinDescent : -face->descender;
    long ppem = 0;
    if (upem > 0 && winAscent + winDescent > 0)
    {
        ppem = pixelSize > 0 ? std::lround(pixelSize * upem / (winAscent + winDescent))
                             : -static_cast<long>(pixelSize);
    }
    ppem = std::clamp(ppem, 1L, static_cast<long>(kMaxPixelsPerEm));
    if (upem <= 0 || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(ppem)) != 0)
    {
        CloseFace(face);
        return nullptr;
    }
    HeadlessFont* font = new HeadlessFont;
    font->face = face;
    font->size = pixelSize;
    font->styleBits = style.style;
    font->ascent = static_cast<int>(std::lround(winAscent * ppem / upem));
    font->descent = static_cast<int>(std::lround(winDescent * ppem / upem));
    return font;
#else
    (void)style;
    return nullptr;
#endif
}

void HeadlessFont::Release(void* font)
{
    delete static_cast<HeadlessFont*>(font);
}

HeadlessFont::~HeadlessFont()
{
#ifdef ZELBOR_HAVE_FREETYPE
    CloseFace(face);
#endif
}

bool HeadlessFont::Matches(const ITextStyle& style) const
{
    return style.PixelSize() == size && style.style == styleBits;
}

const HeadlessFont::Glyph& HeadlessFont::GlyphFor(uint32_t codePoint)
{
    Glyph& g = codePoint < 256 ? latin[codePoint] : others[codePoint];
    if (g.ready)
    {
        return g;
    }
    // A glyph that fails to load stays empty rather than being retried.
    g.ready = true;
#ifdef ZELBOR_HAVE_FREETYPE
    // Index 0 is the face's missing-glyph box, drawn for characters it lacks.
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) != 0 ||
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
    {
        return g;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0)
    {
        return g;
    }
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bitmap.width);
    g.height = static_cast<int>(bitmap.rows);
    g.offset = pixels.size();
    pixels.resize(g.offset + static_cast<size_t>(g.width) * g.height);
    // Coverage runs 0 .. num_grays - 1; the mask takes 0 .. 255.
    const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 1;
    for (int y = 0; y < g.height; ++y)
    {
        // A negative pitch stores the rows bottom up.
        const unsigned char* src =
            bitmap.pitch >= 0 ? bitmap.buffer + static_cast<long>(y) * bitmap.pitch
                              : bitmap.buffer - static_cast<long>(g.height - 1 - y) * bitmap.pitch;
        unsigned char* out = pixels.data() + g.offset + static_cast<size_t>(y) * g.width;
        for (int x = 0; x < g.width; ++x)
        {
            out[x] = static_cast<unsigned char>(levels == 255 ? src[x] : src[x] * 255 / levels);
        }
    }
#endif
    return g;
}

int HeadlessFont::LineWidth(const char* text)
{
    int pen = 0;
    for (auto p = reinterpret_cast<const unsigned char*>(text); p && *p;)
    {
        pen += GlyphFor(NextCodePoint(p)).advance;
    }
    return pen;
}

bool HeadlessFont::DrawLine(LICE_IBitmap* dst, const char* text, const IBox& box, int align,
                            uint32_t colour)
{
    if (!dst || !text || !face)
    {
        return false;
    }
    // The ink's extent relative to the pen start and the cell top.
    int pen = 0;
    int inkLeft = INT_MAX;
    int inkRight = INT_MIN;
    int inkTop = INT_MAX;
    int inkBottom = INT_MIN;
    for (auto p = reinterpret_cast<const unsigned char*>(text); *p;)
    {
        const Glyph& g = GlyphFor(NextCodePoint(p));
        if (g.width > 0)
        {
            inkLeft = std::min(inkLeft, pen + g.left);
            inkRight = std::max(inkRight, pen + g.left + g.width);
            inkTop = std::min(inkTop, ascent - g.top);
            inkBottom = std::max(inkBottom, ascent - g.top + g.height);
        }
        pen += g.advance;
    }
    if (inkLeft >= inkRight)
    {
        return true; // blanks only: a line with no ink
    }
    int x = box.left;
    if (align == ITextStyle::Centre)
    {
        x = box.left + (box.W() - pen) / 2;
    }
    else if (align == ITextStyle::Right)
    {
        x = box.right - pen;
    }
    const int y = box.top;
    // Only the part of the ink that lands on the surface is composed.
    const int left = std::max(x + inkLeft, 0);
    const int right = std::min(x + inkRight, dst->Width());
    const int top = std::max(y + inkTop, 0);
    const int bottom = std::min(y + inkBottom, dst->Height());
    if (left >= right || top >= bottom)
    {
        return true;
    }
    const int maskW = right - left;
    const int maskH = bottom - top;
    const size_t maskSize = static_cast<size_t>(maskW) * maskH;
    if (mask.size() < maskSize)
    {
        mask.resize(maskSize);
    }
    std::fill(mask.begin(), mask.begin() + static_cast<long>(maskSize), 0);
    pen = 0;
    for (auto p = reinterpret_cast<const unsigned char*>(text); *p;)
    {
        const Glyph& g = GlyphFor(NextCodePoint(p));
        // The glyph's rectangle in mask coordinates, clipped to the mask.
        const int gx = x + pen + g.left - left;
        const int gy = y + ascent - g.top - top;
        pen += g.advance;
        const int x0 = std::max(gx, 0);
        const int x1 = std::min(gx + g.width, maskW);
        const int y0 = std::max(gy, 0);
        const int y1 = std::min(gy + g.height, maskH);
        for (int my = y0; my < y1; ++my)
        {
            const unsigned char* src =
                pixels.data() + g.offset + static_cast<size_t>(my - gy) * g.width + (x0 - gx);
            unsigned char* out = mask.data() + static_cast<size_t>(my) * maskW + x0;
            // Overlapping glyphs keep the stronger coverage.
            for (int i = 0; i < x1 - x0; ++i)
            {
                out[i] = std::max(out[i], src[i]);
            }
        }
    }
    RasterDrawMask(dst, left, top, 0xFF000000u | (colour & 0xFFFFFFu), mask.data(), maskW, maskH,
                   1.0f, RasterModeCopy);
    return true;
}
