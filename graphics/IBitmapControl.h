#pragma once

#include "graphics/IBitmapRef.h"
#include "graphics/IControl.h"

// Shows the frame of a filmstrip that matches its value; a one-frame bitmap
// is a plain picture.
class IBitmapControl : public IControl
{
public:
    // rect is (x, y) with the bitmap's width and one frame's height.
    IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmapRef& bitmap,
                   int blendKind = BlendCopyAlpha);

    bool Paint(IGraphics* graphics) override;

    IBitmapRef bitmap;
};
