#include "graphics/x11/X11Surface.h"

#include "graphics/x11/X11Errors.h"

#include <X11/Xutil.h>
#include <algorithm>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace
{
bool HostIsLittleEndian()
{
    const uint16_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// Rightmost set bit's position and the width of a colour mask.
void MaskShape(unsigned long mask, int& shift, int& bits)
{
    shift = 0;
    bits = 0;
    if (!mask)
    {
        return;
    }
    while (!(mask & 1ul))
    {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1ul)
    {
        mask >>= 1;
        ++bits;
    }
}

unsigned long Channel(uint32_t value8, unsigned long mask)
{
    int shift = 0;
    int bits = 0;
    MaskShape(mask, shift, bits);
    if (bits == 0)
    {
        return 0;
    }
    const unsigned long scaled = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
    return (scaled << shift) & mask;
}
} // namespace

X11Surface::X11Surface(Display* d, Window w)
    : display(d), window(w), visual(DefaultVisual(d, DefaultScreen(d))),
      depth(DefaultDepth(d, DefaultScreen(d)))
{
}

X11Surface::~X11Surface()
{
    Release();
}

bool X11Surface::Create(int w, int h, bool allowShm)
{
    Release();
    width = std::max(w, 0);
    height = std::max(h, 0);
    gc = XCreateGC(display, window, 0, nullptr);
    if (!gc)
    {
        return false;
    }
    // The image format the server takes at this depth.
    int bitsPerPixel = 0;
    int count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count))
    {
        for (int i = 0; i < count; ++i)
        {
            if (formats[i].depth == depth)
            {
                bitsPerPixel = formats[i].bits_per_pixel;
            }
        }
        XFree(formats);
    }
    const bool serverLsb = ImageByteOrder(display) == LSBFirst;
    direct = visual->c_class == TrueColor && (depth == 24 || depth == 32) && bitsPerPixel == 32 &&
             visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
             visual->blue_mask == 0xFF && serverLsb == HostIsLittleEndian();
    if (allowShm && XShmQueryExtension(display))
    {
        CreateShm();
    }
    return true;
}

bool X11Surface::CreateShm()
{
    XImage* image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                    &shm, static_cast<unsigned>(std::max(width, 1)),
                                    static_cast<unsigned>(std::max(height, 1)));
    if (!image)
    {
        return false;
    }
    shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * image->height,
                       IPC_CREAT | 0600);
    if (shm.shmid < 0)
    {
        XDestroyImage(image);
        return false;
    }
    shm.shmaddr = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    if (shm.shmaddr == reinterpret_cast<char*>(-1))
    {
        shmctl(shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    image->data = shm.shmaddr;
    shm.readOnly = False;
    X11Errors::Sync(display);
    const bool attached = XShmAttach(display, &shm) && X11Errors::Sync(display) == 0;
    // Marked for removal at once: the segment goes when both sides detach,
    // however the process ends.
    shmctl(shm.shmid, IPC_RMID, nullptr);
    if (!attached)
    {
        // A server on another machine cannot reach the segment.
        shmdt(shm.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        shm = XShmSegmentInfo{};
        return false;
    }
    shmImage = image;
    return true;
}

void X11Surface::Release()
{
    if (shmImage)
    {
        XShmDetach(display, &shm);
        X11Errors::Sync(display);
        shmdt(shm.shmaddr);
        shmImage->data = nullptr;
        XDestroyImage(shmImage);
        shmImage = nullptr;
        shm = XShmSegmentInfo{};
    }
    if (gc)
    {
        XFreeGC(display, gc);
        gc = nullptr;
    }
    converted.clear();
    converted.shrink_to_fit();
}

void X11Surface::ConvertBox(XImage* dst, const uint32_t* bits, int rowSpan, const IBox& box,
                            int dstX, int dstY)
{
    for (int y = box.top; y < box.bottom; ++y)
    {
        const uint32_t* src = bits + static_cast<size_t>(y) * rowSpan;
        for (int x = box.left; x < box.right; ++x)
        {
            const uint32_t p = src[x];
            const unsigned long pixel = Channel((p >> 16) & 0xFF, visual->red_mask) |
                                        Channel((p >> 8) & 0xFF, visual->green_mask) |
                                        Channel(p & 0xFF, visual->blue_mask);
            XPutPixel(dst, dstX + x - box.left, dstY + y - box.top, pixel);
        }
    }
}

bool X11Surface::Put(const uint32_t* bits, int rowSpan, const IBox& area)
{
    if (!gc || !bits)
    {
        return false;
    }
    const IBox box(std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width),
                   std::min(area.bottom, height));
    if (box.left >= box.right || box.top >= box.bottom)
    {
        return true;
    }
    const unsigned w = static_cast<unsigned>(box.W());
    const unsigned h = static_cast<unsigned>(box.H());
    if (shmImage)
    {
        if (direct)
        {
            for (int y = box.top; y < box.bottom; ++y)
            {
                std::memcpy(shmImage->data + static_cast<size_t>(y) * shmImage->bytes_per_line +
                                static_cast<size_t>(box.left) * 4,
                            bits + static_cast<size_t>(y) * rowSpan + box.left, w * 4u);
            }
        }
        else
        {
            ConvertBox(shmImage, bits, rowSpan, box, box.left, box.top);
        }
        XShmPutImage(display, window, gc, shmImage, box.left, box.top, box.left, box.top, w, h,
                     False);
        // The segment is written again at the next frame: the server has to
        // be done reading it.
        XSync(display, False);
        return true;
    }
    XImage* image = nullptr;
    int srcX = 0;
    int srcY = 0;
    if (direct)
    {
        // Straight from the caller's pixels; Xlib copies the box into its
        // request before XPutImage returns.
        image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                             reinterpret_cast<char*>(const_cast<uint32_t*>(bits)),
                             static_cast<unsigned>(rowSpan), static_cast<unsigned>(box.bottom), 32,
                             rowSpan * 4);
        srcX = box.left;
        srcY = box.top;
    }
    else
    {
        converted.assign(static_cast<size_t>(w) * h, 0);
        image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                             reinterpret_cast<char*>(converted.data()), w, h, 32,
                             static_cast<int>(w) * 4);
        if (image)
        {
            ConvertBox(image, bits, rowSpan, box, 0, 0);
        }
    }
    if (!image)
    {
        return false;
    }
    XPutImage(display, window, gc, image, srcX, srcY, box.left, box.top, w, h);
    image->data = nullptr; // not Xlib's to free
    XDestroyImage(image);
    XFlush(display);
    return true;
}
