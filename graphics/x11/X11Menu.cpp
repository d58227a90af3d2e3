#include "graphics/x11/X11Menu.h"

#include "graphics/IPopupMenu.h"
#include "graphics/ITextStyle.h"
#include "graphics/headless/HeadlessFont.h"
#include "graphics/x11/X11Errors.h"
#include "graphics/x11/X11Surface.h"
#include "raster/LICE_MemBitmap.h"
#include "raster/Raster.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <poll.h>
#include <unistd.h>

namespace
{
constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 8;
constexpr int kTextLeft = 22;  // room for the tick
constexpr int kTextRight = 24; // room for the submenu arrow
constexpr int kMinColumnWidth = 80;
constexpr uint32_t kFace = 0xFFF0F0F0u;
constexpr uint32_t kFrame = 0xFF808080u;
constexpr uint32_t kRule = 0xFFA0A0A0u;
constexpr uint32_t kInk = 0xFF000000u;
constexpr uint32_t kGrey = 0xFF8C8C8Cu;
constexpr uint32_t kHot = 0xFF3399FFu;
constexpr uint32_t kHotGrey = 0xFFD8D8D8u;
constexpr uint32_t kHotInk = 0xFFFFFFFFu;

// Records which entries show a tick, by the numbering every layer shares.
struct TickSink : NativeMenuSink
{
    std::vector<bool>* ticks = nullptr;
    void* NewMenu() override { return this; }
    void AddItem(void*, int, int id, const MenuEntry&, bool showChecked, void*) override
    {
        if (id >= 1 && static_cast<size_t>(id) <= ticks->size())
        {
            (*ticks)[static_cast<size_t>(id - 1)] = showChecked;
        }
    }
};
} // namespace

struct X11Menu::Level
{
    const IPopupMenu* menu = nullptr;
    Window window = 0;
    IBox rect; // on the screen
    std::vector<Item> items;
    int hot = -1;
    std::unique_ptr<LICE_MemBitmap> pixels;
    std::unique_ptr<X11Surface> surface;
};

X11Menu::X11Menu(Display* d, const std::atomic<bool>& giveUp, int scalePercent)
    : display(d), percent(scalePercent), abandon(giveUp)
{
    ITextStyle style("Arial", 14, IColorRGBA(255, 0, 0, 0));
    style.scalePercent = scalePercent;
    font.reset(HeadlessFont::Create(style));
}

X11Menu::~X11Menu()
{
    CloseFrom(0);
}

bool X11Menu::Choosable(const Item& item) const
{
    const MenuEntry& e = *item.entry;
    return !e.Has(MenuEntry::Separator) && !e.Has(MenuEntry::Disabled) && !e.submenu;
}

void X11Menu::Open(const IPopupMenu& menu, int firstFlat, int rootX, int rootY, int flipX)
{
    auto level = std::make_unique<Level>();
    level->menu = &menu;
    // Columns side by side, each as wide as its widest text.
    int x = 0;
    int y = 1;
    int height = 0;
    int columnStart = 0;
    int columnWidth = S(kMinColumnWidth);
    int flat = firstFlat;
    auto endColumn = [&](int end)
    {
        for (int k = columnStart; k < end; ++k)
        {
            level->items[static_cast<size_t>(k)].rect.left = x;
            level->items[static_cast<size_t>(k)].rect.right = x + columnWidth;
        }
        x += columnWidth;
    };
    for (int i = 0; i < menu.NEntries(); ++i)
    {
        const MenuEntry* e = menu.EntryAt(i);
        Item item;
        item.entry = e;
        item.flat = flat;
        item.tick = static_cast<size_t>(flat) < ticks.size() && ticks[static_cast<size_t>(flat)];
        flat += e->count;
        if (e->Has(MenuEntry::ColumnBreak) && i > 0)
        {
            endColumn(i);
            columnStart = i;
            columnWidth = S(kMinColumnWidth);
            height = std::max(height, y);
            y = 1;
            item.column = true;
        }
        const int h = e->Has(MenuEntry::Separator) ? S(kSeparatorHeight) : S(kItemHeight);
        item.rect = IBox(0, y, 0, y + h);
        y += h;
        if (font && !e->Has(MenuEntry::Separator))
        {
            columnWidth = std::max(columnWidth,
                                   S(kTextLeft) + font->LineWidth(e->text.c_str()) + S(kTextRight));
        }
        level->items.push_back(item);
    }
    endColumn(menu.NEntries());
    height = std::max(height, y) + 1;
    const int width = x + 1;
    for (Item& item : level->items)
    {
        item.rect.left += 1;
        item.rect.right += 1;
    }

    const int screen = DefaultScreen(display);
    const int screenW = DisplayWidth(display, screen);
    const int screenH = DisplayHeight(display, screen);
    if (rootX + width > screenW)
    {
        rootX = flipX >= 0 ? flipX - width : screenW - width;
    }
    rootX = std::max(rootX, 0);
    if (rootY + height > screenH)
    {
        rootY = std::max(screenH - height, 0);
    }
    level->rect = IBox(rootX, rootY, rootX + width, rootY + height);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixmap = 0;
    attributes.colormap = DefaultColormap(display, screen);
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    level->window = XCreateWindow(
        display, RootWindow(display, screen), rootX, rootY, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, DefaultDepth(display, screen), InputOutput,
        DefaultVisual(display, screen),
        CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWColormap | CWBorderPixel | CWEventMask,
        &attributes);
    level->pixels = std::make_unique<LICE_MemBitmap>(width, height);
    level->surface = std::make_unique<X11Surface>(display, level->window);
    level->surface->Create(width, height, false);
    for (size_t i = 0; i < level->items.size(); ++i)
    {
        if (level->items[i].entry->Has(MenuEntry::Highlighted))
        {
            level->hot = static_cast<int>(i);
        }
    }
    XMapRaised(display, level->window);
    levels.push_back(std::move(level));
    Draw(*levels.back());
}

void X11Menu::CloseFrom(size_t depth)
{
    while (levels.size() > depth)
    {
        Level& level = *levels.back();
        level.surface.reset();
        XDestroyWindow(display, level.window);
        levels.pop_back();
    }
    XFlush(display);
}

void X11Menu::Draw(Level& level)
{
    LICE_MemBitmap* bmp = level.pixels.get();
    const int w = bmp->Width();
    const int h = bmp->Height();
    RasterFillRect(bmp, 0, 0, w, h, kFace, 1.0f, RasterModeCopy);
    for (size_t i = 0; i < level.items.size(); ++i)
    {
        const Item& item = level.items[i];
        const MenuEntry& e = *item.entry;
        const IBox& r = item.rect;
        if (item.column)
        {
            RasterLine(bmp, r.left, 1, r.left, h - 2, kRule, 1.0f, RasterModeCopy, false);
        }
        if (e.Has(MenuEntry::Separator))
        {
            const int y = (r.top + r.bottom) / 2;
            RasterLine(bmp, r.left + 4, y, r.right - 5, y, kRule, 1.0f, RasterModeCopy, false);
            continue;
        }
        const bool hot = static_cast<int>(i) == level.hot;
        const bool grey = e.Has(MenuEntry::Disabled);
        if (hot)
        {
            RasterFillRect(bmp, r.left + 1, r.top, r.W() - 2, r.H(), grey ? kHotGrey : kHot, 1.0f,
                           RasterModeCopy);
        }
        const uint32_t ink = grey ? kGrey : hot ? kHotInk : kInk;
        if (font)
        {
            const int top = r.top + (r.H() - font->CellHeight()) / 2;
            font->DrawLine(bmp, e.text.c_str(),
                           IBox(r.left + S(kTextLeft), top, r.right, top + font->CellHeight()),
                           ITextStyle::Left, ink);
        }
        const int midY = (r.top + r.bottom) / 2;
        if (item.tick)
        {
            // A check mark: a short stroke down, a long one up.
            for (int t = 0; t < S(2); ++t)
            {
                RasterLine(bmp, r.left + S(6), midY - S(1) + t, r.left + S(9), midY + S(2) + t, ink,
                           1.0f, RasterModeCopy, false);
                RasterLine(bmp, r.left + S(9), midY + S(2) + t, r.left + S(15), midY - S(4) + t,
                           ink, 1.0f, RasterModeCopy, false);
            }
        }
        if (e.submenu)
        {
            // A small triangle pointing right.
            const int ax = r.right - S(14);
            for (int k = 0; k < S(4); ++k)
            {
                RasterLine(bmp, ax + k, midY - S(3) + k * 100 / percent, ax + k,
                           midY + S(3) - k * 100 / percent, ink, 1.0f, RasterModeCopy, false);
            }
        }
    }
    RasterFillRect(bmp, 0, 0, w, 1, kFrame, 1.0f, RasterModeCopy);
    RasterFillRect(bmp, 0, h - 1, w, 1, kFrame, 1.0f, RasterModeCopy);
    RasterFillRect(bmp, 0, 0, 1, h, kFrame, 1.0f, RasterModeCopy);
    RasterFillRect(bmp, w - 1, 0, 1, h, kFrame, 1.0f, RasterModeCopy);
    level.surface->Put(bmp->Bits(), bmp->RowSpan(), IBox(0, 0, w, h));
}

bool X11Menu::Hit(int rootX, int rootY, size_t& depth, int& item) const
{
    for (size_t d = levels.size(); d-- > 0;)
    {
        const Level& level = *levels[d];
        if (!level.rect.Contains(rootX, rootY))
        {
            continue;
        }
        depth = d;
        item = -1;
        const int x = rootX - level.rect.left;
        const int y = rootY - level.rect.top;
        for (size_t i = 0; i < level.items.size(); ++i)
        {
            if (level.items[i].rect.Contains(x, y))
            {
                item = static_cast<int>(i);
            }
        }
        return true;
    }
    return false;
}

void X11Menu::OpenSubmenu(size_t depth, int item, bool highlightFirst)
{
    Level& level = *levels[depth];
    const Item& it = level.items[static_cast<size_t>(item)];
    if (!it.entry->submenu || it.entry->Has(MenuEntry::Disabled))
    {
        return;
    }
    if (levels.size() > depth + 1 && levels[depth + 1]->menu == it.entry->submenu.get())
    {
        CloseFrom(depth + 2);
    }
    else
    {
        CloseFrom(depth + 1);
        Open(*it.entry->submenu, it.flat + 1, level.rect.left + it.rect.right - 2,
             level.rect.top + it.rect.top - 1, level.rect.left + it.rect.left + 2);
    }
    if (highlightFirst)
    {
        Level& sub = *levels[depth + 1];
        for (size_t i = 0; i < sub.items.size(); ++i)
        {
            if (!sub.items[i].entry->Has(MenuEntry::Separator))
            {
                sub.hot = static_cast<int>(i);
                break;
            }
        }
        Draw(sub);
    }
}

void X11Menu::Hover(size_t depth, int item)
{
    Level& level = *levels[depth];
    if (item >= 0 && level.items[static_cast<size_t>(item)].entry->Has(MenuEntry::Separator))
    {
        item = -1;
    }
    if (level.hot != item)
    {
        level.hot = item;
        Draw(level);
    }
    if (item >= 0 && level.items[static_cast<size_t>(item)].entry->submenu)
    {
        OpenSubmenu(depth, item, false);
    }
    else if (item >= 0)
    {
        CloseFrom(depth + 1);
    }
}

void X11Menu::Move(int step)
{
    Level& level = *levels.back();
    const int n = static_cast<int>(level.items.size());
    int at = level.hot;
    for (int tries = 0; tries < n; ++tries)
    {
        at = at < 0 ? (step > 0 ? 0 : n - 1) : (at + step + n) % n;
        if (!level.items[static_cast<size_t>(at)].entry->Has(MenuEntry::Separator))
        {
            level.hot = at;
            break;
        }
    }
    Draw(level);
}

void X11Menu::Activate(size_t depth, int item, bool byKey)
{
    const Item& it = levels[depth]->items[static_cast<size_t>(item)];
    if (it.entry->submenu)
    {
        OpenSubmenu(depth, item, byKey);
    }
    else if (Choosable(it))
    {
        result = it.flat;
        done = true;
    }
}

void X11Menu::Handle(XEvent& event)
{
    const auto ours = [&](Window w)
    {
        return std::any_of(levels.begin(), levels.end(),
                           [w](const auto& level) { return level->window == w; });
    };
    switch (event.type)
    {
    case Expose:
        for (auto& level : levels)
        {
            if (level->window == event.xexpose.window && event.xexpose.count == 0)
            {
                Draw(*level);
            }
        }
        if (!ours(event.xexpose.window) && otherEvent)
        {
            otherEvent(event);
        }
        return;
    case MotionNotify:
    {
        const int x = event.xmotion.x_root;
        const int y = event.xmotion.y_root;
        if (std::abs(x - startX) > 2 || std::abs(y - startY) > 2)
        {
            moved = true;
        }
        size_t depth = 0;
        int item = -1;
        if (Hit(x, y, depth, item))
        {
            Hover(depth, item);
        }
        return;
    }
    case ButtonPress:
    {
        if (event.xbutton.button > Button3)
        {
            return; // the wheel
        }
        size_t depth = 0;
        int item = -1;
        if (!Hit(event.xbutton.x_root, event.xbutton.y_root, depth, item))
        {
            done = true; // a press anywhere else ends the menu, unchosen
            return;
        }
        pressedInside = true;
        if (item >= 0 && levels[depth]->items[static_cast<size_t>(item)].entry->submenu)
        {
            OpenSubmenu(depth, item, false);
        }
        return;
    }
    case ButtonRelease:
    {
        if (event.xbutton.button > Button3 || !(moved || pressedInside))
        {
            return;
        }
        size_t depth = 0;
        int item = -1;
        if (Hit(event.xbutton.x_root, event.xbutton.y_root, depth, item) && item >= 0 &&
            !levels[depth]->items[static_cast<size_t>(item)].entry->submenu)
        {
            Activate(depth, item, false);
        }
        return;
    }
    case KeyPress:
    {
        const KeySym key = XLookupKeysym(&event.xkey, 0);
        Level& deepest = *levels.back();
        const size_t depth = levels.size() - 1;
        switch (key)
        {
        case XK_Up:
        case XK_KP_Up:
            Move(-1);
            break;
        case XK_Down:
        case XK_KP_Down:
            Move(1);
            break;
        case XK_Right:
        case XK_KP_Right:
            if (deepest.hot >= 0 && deepest.items[static_cast<size_t>(deepest.hot)].entry->submenu)
            {
                OpenSubmenu(depth, deepest.hot, true);
            }
            break;
        case XK_Left:
        case XK_KP_Left:
            if (depth > 0)
            {
                CloseFrom(depth);
            }
            break;
        case XK_Return:
        case XK_KP_Enter:
            if (deepest.hot >= 0)
            {
                Activate(depth, deepest.hot, true);
            }
            break;
        case XK_Escape:
            if (depth > 0)
            {
                CloseFrom(depth);
            }
            else
            {
                done = true;
            }
            break;
        default:
            break;
        }
        return;
    }
    default:
        if (otherEvent)
        {
            otherEvent(event);
        }
        return;
    }
}

int X11Menu::Run(const IPopupMenu& menu, int rootX, int rootY)
{
    if (menu.NEntries() == 0)
    {
        return -1;
    }
    ticks.assign(static_cast<size_t>(menu.Total()), false);
    TickSink sink;
    sink.ticks = &ticks;
    int nextId = 1;
    BuildNativeMenu(sink, &sink, nextId, menu);

    startX = rootX;
    startY = rootY;
    moved = pressedInside = done = false;
    result = -1;
    Open(menu, 0, rootX, rootY, -1);
    const Window grabber = levels.front()->window;
    // The grab of the press that opened the menu is the editor's: take it
    // over, retrying while another client still holds one.
    for (int tries = 0; tries < 50; ++tries)
    {
        if (XGrabPointer(display, grabber, True,
                         ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                         GrabModeAsync, 0, 0, CurrentTime) == GrabSuccess)
        {
            break;
        }
        usleep(5000);
    }
    XGrabKeyboard(display, grabber, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    XFlush(display);

    while (!done && !abandon.load(std::memory_order_acquire))
    {
        if (XPending(display) == 0)
        {
            if (X11Errors::Lost(display)) break;
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            poll(&p, 1, 50);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        Handle(event);
    }
    XUngrabKeyboard(display, CurrentTime);
    XUngrabPointer(display, CurrentTime);
    CloseFrom(0);
    return done ? result : -1;
}
