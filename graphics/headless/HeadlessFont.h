#pragma once

#include "graphics/IBox.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class LICE_IBitmap;
struct ITextStyle;
struct FT_FaceRec_;

// Text for the headless window layer: a FreeType face of Liberation Sans at
// one pixel size. Liberation Sans has the metrics of the Arial the editor's
// styles name, so every face name maps to it; style bit 1 picks the bold
// file, bit 2 the italic one.
//
// Heights follow the window system's font mapping: a positive style size is
// the cell height (ascent + descent, taken from the face's winAscent and
// winDescent), a negative one the em height. The face is hinted and set to
// a whole number of pixels per em, and advances are whole pixels, without
// kerning.
//
// One FreeType library serves the process; creating and destroying faces is
// serialised by a mutex. A font is used by one thread at a time.
class HeadlessFont
{
public:
    // Whether text can be drawn at all: FreeType is built in and the regular
    // face can be opened.
    static bool Available();
    // Where the face file for style bits is; empty when there is none. By
    // default Debian's fonts-liberation folder; a window layer that looks
    // further (fontconfig, the module's own folder) sets its finder before
    // the first font is made.
    using FaceFinder = std::string (*)(int styleBits);
    // The file name of the Liberation Sans face for the style bits.
    static const char* FaceFileName(int styleBits);
    // Text in the style's font, colour and horizontal alignment, its cell
    // top at box.top (the drawing of the layers that use FreeType). Empty
    // text draws nothing and answers true; false when there is no surface
    // or font.
    static bool DrawStyled(LICE_IBitmap* dst, ITextStyle& style, const char* text, const IBox& box);
    static void SetFaceFinder(FaceFinder finder);
    // The font for the style's size and weight; null when text is not
    // available or the size is 0. The caller owns it (see Release).
    static HeadlessFont* Create(const ITextStyle& style);
    // Destroys a font from Create: the style's releaseFont.
    static void Release(void* font);

    ~HeadlessFont();
    HeadlessFont(const HeadlessFont&) = delete;
    HeadlessFont& operator=(const HeadlessFont&) = delete;

    // Whether the font was made for the style's size and weight bits.
    bool Matches(const ITextStyle& style) const;
    int Ascent() const { return ascent; }
    int CellHeight() const { return ascent + descent; }
    // Sum of the advances of the line (UTF-8; a byte that does not start a
    // valid sequence stands for itself as Latin-1).
    int LineWidth(const char* text);
    // Draws the line with its cell top at box.top, aligned (ITextStyle::Align)
    // in the box horizontally, in colour (0xRRGGBB; drawn opaque), clipped to
    // dst only. Antialiased coverage of the whole line is composed in a mask
    // kept by the font and drawn in one operation. Allocates only for a glyph
    // drawn for the first time or a line longer than any before. False when
    // nothing could be drawn.
    bool DrawLine(LICE_IBitmap* dst, const char* text, const IBox& box, int align, uint32_t colour);

private:
    // A rendered glyph: its coverage in pixels[offset ..] (width x height),
    // placed at (pen + left, baseline - top).
    struct Glyph
    {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        int advance = 0;
        size_t offset = 0;
        bool ready = false;
    };

    HeadlessFont() = default;
    const Glyph& GlyphFor(uint32_t codePoint);

    FT_FaceRec_* face = nullptr;
    int size = 0;
    int styleBits = 0;
    int ascent = 0;
    int descent = 0;
    Glyph latin[256];                  // code points below 256
    std::map<uint32_t, Glyph> others;  // the rest, as they are met
    std::vector<unsigned char> pixels; // every cached glyph's coverage
    std::vector<unsigned char> mask;   // coverage of the line being drawn
};
