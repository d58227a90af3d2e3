#pragma once

#include "graphics/IColorRGBA.h"

// Text style of captions and readouts. The font handle is created from the
// other fields by the window layer that draws the text; a copy never shares
// it, so copying a style leaves the copy without a font until it is drawn.
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
    int orientation = 0;  // degrees
    void* font = nullptr; // platform font handle, owned by this style

    ITextStyle() = default;

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
        font = nullptr;
    }
};
