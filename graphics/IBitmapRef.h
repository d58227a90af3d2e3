#pragma once

class LICE_IBitmap;

// Handle to a bitmap owned by the process-wide bitmap cache. Filmstrips stack
// their frames vertically; one frame is height / frames pixels high.
struct IBitmapRef
{
    LICE_IBitmap* bitmap = nullptr;
    int width = 0;
    int height = 0;
    int frames = 1;

    IBitmapRef() = default;
    IBitmapRef(LICE_IBitmap* bmp, int w, int h, int n = 1)
        : bitmap(bmp), width(w), height(h), frames(n)
    {
    }

    int FrameHeight() const { return frames > 0 ? height / frames : height; }
};
