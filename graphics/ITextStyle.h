#pragma once

#include "graphics/IColorRGBA.h"

// Text style of captions and readouts. The font handle is created from the
// other fields by the window layer that draws the text, which also leaves
// the function that releases it; a copy never shares it, so copying a style
// leaves the copy without a font until it is drawn, and each style releases
// its own font when it goes or is assigned.
struct ITextStyle
{
    enum
    {
        FaceLength = 32
    };
    enum Style
    {
        Normal = 0,
        Bold = 1,
        Italic = 2
    };
    enum Align
    {
        Left = 0,
        Centre = 1,
        Right = 2
    };

    char face[FaceLength] = {};
    int size = 0;     // font height
    IColorRGBA color; // text colour
    int style = Normal;
    int align = Left;
    int orientation = 0;                  // degrees
    int scalePercent = 100;               // the editor's scale it is drawn at
    void* font = nullptr;                 // platform font handle, owned by this style
    void (*releaseFont)(void*) = nullptr; // set together with font

    ITextStyle() = default;
    ~ITextStyle() { ReleaseFont(); }

    ITextStyle(const char* faceName, int sz, const IColorRGBA& col, int st = Normal, int al = Left,
               int orient = 0)
        : size(sz), color(col), style(st), align(al), orientation(orient)
    {
        SetFace(faceName);
    }

    ITextStyle(const ITextStyle& other) { CopyFields(other); }

    ITextStyle& operator=(const ITextStyle& other)
    {
        if (this != &other)
        {
            CopyFields(other);
        }
        return *this;
    }

    // The font's height in device pixels: size at the scale it is drawn at.
    int PixelSize() const { return (size * scalePercent + (size < 0 ? -50 : 50)) / 100; }

    // Drops the font; the next drawing creates it anew from the fields.
    void ReleaseFont()
    {
        if (font && releaseFont)
        {
            releaseFont(font);
        }
        font = nullptr;
        releaseFont = nullptr;
    }

    // The style's font as the window layer's Font class makes it (Font has
    // static Create(const ITextStyle&) and Release(void*) and a member
    // Matches(const ITextStyle&)). A font left by another layer, or made
    // before the style changed, is replaced by one for the style as it is
    // now. Null when no font can be made.
    template <class Font> Font* LayerFont()
    {
        auto* current = static_cast<Font*>(font);
        if (current && (releaseFont != &Font::Release || !current->Matches(*this)))
        {
            ReleaseFont();
            current = nullptr;
        }
        if (!current)
        {
            current = Font::Create(*this);
            if (current)
            {
                font = current;
                releaseFont = &Font::Release;
            }
        }
        return current;
    }

    void SetFace(const char* faceName)
    {
        int n = 0;
        if (faceName)
        {
            for (; n < FaceLength - 1 && faceName[n] != 0; ++n)
            {
                face[n] = faceName[n];
            }
        }
        for (; n < FaceLength; ++n)
        {
            face[n] = 0;
        }
    }

private:
    // A copy starts from the default red before taking the other's fields,
    // and never takes over the other's font handle.
    void CopyFields(const ITextStyle& other)
    {
        color = IColorRGBA(255, 0, 0, 0);
        SetFace(other.face);
        size = other.size;
        color = other.color;
        style = other.style;
        align = other.align;
        orientation = other.orientation;
        scalePercent = other.scalePercent;
        ReleaseFont();
    }
};
