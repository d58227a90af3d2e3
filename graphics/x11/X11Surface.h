#pragma once

#include "graphics/IBox.h"

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <cstdint>
#include <vector>

// Copies 0xAARRGGBB pixels into a window. The pixels go through an image in
// shared memory when the server offers MIT-SHM and can attach it (a local
// server), otherwise through XPutImage. Only the given box is sent. A visual
// whose pixels are not 32-bit 0x00RRGGBB words is served by converting each
// pixel.
class X11Surface
{
public:
    // The window must have the screen's default visual and depth.
    X11Surface(Display* display, Window window);
    ~X11Surface();
    X11Surface(const X11Surface&) = delete;
    X11Surface& operator=(const X11Surface&) = delete;

    // Prepares for pictures of w x h; shared memory only when allowShm.
    // False when nothing can be shown.
    bool Create(int w, int h, bool allowShm);
    // Frees the image, the shared segment and the graphics context.
    void Release();
    // Sends box (clipped to the size given to Create) from the pixels, whose
    // rows are rowSpan pixels apart, to the same place in the window.
    bool Put(const uint32_t* bits, int rowSpan, const IBox& box);
    bool UsesShm() const { return shmImage != nullptr; }

private:
    bool CreateShm();
    void ConvertBox(XImage* dst, const uint32_t* bits, int rowSpan, const IBox& box, int dstX,
                    int dstY);

    Display* display;
    Window window;
    Visual* visual;
    int depth;
    GC gc = nullptr;
    int width = 0;
    int height = 0;
    bool direct = false; // the window's pixels are the same 32-bit words
    XImage* shmImage = nullptr;
    XShmSegmentInfo shm{};
    std::vector<uint32_t> converted; // XPutImage's copy when the pixels differ
};
