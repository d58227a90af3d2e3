#include "graphics/x11/X11TextEntry.h"

#include "graphics/ITextStyle.h"
#include "graphics/headless/HeadlessFont.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>

namespace
{
constexpr uint32_t kPaper = 0xFFFFFFFFu;
constexpr uint32_t kInk = 0xFF000000u;
constexpr uint32_t kSelection = 0xFF3399FFu;
constexpr int kMargin = 2; // inside the frame

std::string Utf8(uint32_t cp)
{
    std::string out;
    if (cp < 0x80)
    {
        out += static_cast<char>(cp);
    }
    else if (cp < 0x800)
    {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    else if (cp <= 0x10FFFF)
    {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// The characters a key types, as UTF-8: Latin-1 from XLookupString, or the
// code point of a Unicode keysym.
std::string Typed(XKeyEvent& event, KeySym& keysym)
{
    char latin1[32] = {};
    const int n = XLookupString(&event, latin1, sizeof(latin1), &keysym, nullptr);
    std::string out;
    if (keysym >= 0x1000100 && keysym <= 0x110FFFF)
    {
        return Utf8(static_cast<uint32_t>(keysym - 0x1000000));
    }
    for (int i = 0; i < n; ++i)
    {
        const auto c = static_cast<unsigned char>(latin1[i]);
        if (c >= 0x20 && c != 0x7F)
        {
            out += Utf8(c);
        }
    }
    return out;
}
} // namespace

X11TextEntry::X11TextEntry(Display* d, Window parent, const IBox& area, const std::string& initial,
                           int scalePercent)
    : display(d), box(area), text(initial)
{
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask;
    attributes.background_pixmap = 0; // None: the entry paints every pixel
    attributes.colormap = DefaultColormap(display, screen);
    attributes.border_pixel = 0;
    window = XCreateWindow(
        display, parent, box.left, box.top, static_cast<unsigned>(std::max(box.W(), 1)),
        static_cast<unsigned>(std::max(box.H(), 1)), 0, DefaultDepth(display, screen), InputOutput,
        DefaultVisual(display, screen), CWEventMask | CWBackPixmap | CWColormap | CWBorderPixel,
        &attributes);
    ITextStyle style("Arial", 14, IColorRGBA(255, 0, 0, 0));
    style.scalePercent = scalePercent;
    font.reset(HeadlessFont::Create(style));
    pixels = std::make_unique<LICE_MemBitmap>(std::max(box.W(), 1), std::max(box.H(), 1));
    surface = std::make_unique<X11Surface>(display, window);
    surface->Create(box.W(), box.H(), false);
    anchor = 0;
    caret = text.size();
    XMapRaised(display, window);
    Draw();
}

X11TextEntry::~X11TextEntry()
{
    surface.reset();
    if (window)
    {
        XDestroyWindow(display, window);
        XFlush(display);
    }
}

void X11TextEntry::SetText(const std::string& newText)
{
    text = newText;
    caret = anchor = text.size();
    edited = false;
    Draw();
}

size_t X11TextEntry::PreviousBoundary(size_t at) const
{
    if (at == 0)
    {
        return 0;
    }
    --at;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
    {
        --at;
    }
    return at;
}

size_t X11TextEntry::NextBoundary(size_t at) const
{
    if (at >= text.size())
    {
        return text.size();
    }
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
    {
        ++at;
    }
    return at;
}

void X11TextEntry::EraseSelection()
{
    const size_t from = std::min(anchor, caret);
    const size_t to = std::max(anchor, caret);
    text.erase(from, to - from);
    caret = anchor = from;
}

void X11TextEntry::Insert(const std::string& utf8)
{
    EraseSelection();
    text.insert(caret, utf8);
    caret += utf8.size();
    anchor = caret;
}

X11TextEntry::Outcome X11TextEntry::Key(XKeyEvent& event)
{
    KeySym keysym = 0;
    const std::string typed = Typed(event, keysym);
    const bool shift = (event.state & ShiftMask) != 0;
    const bool control = (event.state & ControlMask) != 0;
    const size_t before = text.size();
    const std::string old = text;
    switch (keysym)
    {
    case XK_Return:
    case XK_KP_Enter:
        return Commit;
    case XK_Escape:
        return Cancel;
    case XK_BackSpace:
        if (!HasSelection())
        {
            anchor = PreviousBoundary(caret);
        }
        EraseSelection();
        break;
    case XK_Delete:
    case XK_KP_Delete:
        if (!HasSelection())
        {
            anchor = NextBoundary(caret);
        }
        EraseSelection();
        break;
    case XK_Left:
    case XK_KP_Left:
        if (HasSelection() && !shift)
        {
            caret = std::min(anchor, caret);
        }
        else
        {
            caret = PreviousBoundary(caret);
        }
        anchor = shift ? anchor : caret;
        break;
    case XK_Right:
    case XK_KP_Right:
        if (HasSelection() && !shift)
        {
            caret = std::max(anchor, caret);
        }
        else
        {
            caret = NextBoundary(caret);
        }
        anchor = shift ? anchor : caret;
        break;
    case XK_Home:
    case XK_KP_Home:
        caret = 0;
        anchor = shift ? anchor : caret;
        break;
    case XK_End:
    case XK_KP_End:
        caret = text.size();
        anchor = shift ? anchor : caret;
        break;
    default:
        if (control && (keysym == XK_a || keysym == XK_A))
        {
            anchor = 0;
            caret = text.size();
        }
        else if (!control && !typed.empty())
        {
            Insert(typed);
        }
        break;
    }
    if (text.size() != before || text != old)
    {
        edited = true;
    }
    Draw();
    return Editing;
}

int X11TextEntry::TextLeft()
{
    const int inner = box.W() - 2 * kMargin;
    const int width = font ? font->LineWidth(text.c_str()) : 0;
    if (width <= inner)
    {
        scroll = 0;
        return kMargin + (inner - width) / 2;
    }
    const int caretX = font ? font->LineWidth(text.substr(0, caret).c_str()) : 0;
    scroll = std::clamp(scroll, std::max(caretX - inner + 1, 0), caretX);
    scroll = std::min(scroll, width - inner + 1);
    return kMargin - scroll;
}

void X11TextEntry::Click(int x)
{
    const int left = TextLeft();
    size_t best = 0;
    int bestDistance = 1 << 30;
    for (size_t at = 0;; at = NextBoundary(at))
    {
        const int px = left + (font ? font->LineWidth(text.substr(0, at).c_str()) : 0);
        const int distance = std::abs(px - x);
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = at;
        }
        if (at >= text.size())
        {
            break;
        }
    }
    caret = anchor = best;
    Draw();
}

void X11TextEntry::Draw()
{
    LICE_MemBitmap* bmp = pixels.get();
    const int w = bmp->Width();
    const int h = bmp->Height();
    RasterFillRect(bmp, 0, 0, w, h, kPaper, 1.0f, RasterModeCopy);
    const int left = TextLeft();
    const int top = font ? std::max((h - font->CellHeight()) / 2, 0) : 0;
    const int cell = font ? font->CellHeight() : h - 2;
    if (font)
    {
        font->DrawLine(bmp, text.c_str(), IBox(left, top, left + w, top + cell), ITextStyle::Left,
                       kInk);
        if (HasSelection())
        {
            const size_t from = std::min(anchor, caret);
            const size_t to = std::max(anchor, caret);
            const std::string chosen = text.substr(from, to - from);
            const int x0 = left + font->LineWidth(text.substr(0, from).c_str());
            const int x1 = x0 + font->LineWidth(chosen.c_str());
            RasterFillRect(bmp, x0, top, x1 - x0, cell, kSelection, 1.0f, RasterModeCopy);
            font->DrawLine(bmp, chosen.c_str(), IBox(x0, top, x1, top + cell), ITextStyle::Left,
                           kPaper);
        }
    }
    if (!HasSelection())
    {
        const int x = left + (font ? font->LineWidth(text.substr(0, caret).c_str()) : 0);
        RasterLine(bmp, x, top, x, top + cell - 1, kInk, 1.0f, RasterModeCopy, false);
    }
    // The frame is drawn last, over text that runs past the margin.
    RasterFillRect(bmp, 0, 0, w, 1, kInk, 1.0f, RasterModeCopy);
    RasterFillRect(bmp, 0, h - 1, w, 1, kInk, 1.0f, RasterModeCopy);
    RasterFillRect(bmp, 0, 0, 1, h, kInk, 1.0f, RasterModeCopy);
    RasterFillRect(bmp, w - 1, 0, 1, h, kInk, 1.0f, RasterModeCopy);
    surface->Put(bmp->Bits(), bmp->RowSpan(), IBox(0, 0, w, h));
}
