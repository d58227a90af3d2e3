#pragma once

#include "graphics/IBox.h"

#include <X11/Xlib.h>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class HeadlessFont;
class IPopupMenu;
struct MenuEntry;

// A popup menu drawn by the editor: one override-redirect window per open
// level, with the pointer and keyboard grabbed while it is shown, so that a
// press anywhere else ends it. It draws checks (a submenu's entry shows one
// by the shared numbering's rule), separators, greyed entries, which cannot
// be chosen, columns (an entry flagged ColumnBreak starts one) and submenus.
//
// Mouse: moving highlights and opens submenus; a release over an entry that
// can be chosen chooses it, once the pointer has moved or a button was
// pressed in the menu (the release of the press that opened the menu does
// not choose). Keys: Up and Down move, Right and Return open a submenu, Left
// and Escape close one, Return chooses, Escape on the first level cancels.
class X11Menu
{
public:
    // Run gives up (as a cancel) as soon as abandon reads true.
    // Drawn at the editor's scale: its text and every size grow with it.
    X11Menu(Display* display, const std::atomic<bool>& abandon, int scalePercent = 100);
    ~X11Menu();
    X11Menu(const X11Menu&) = delete;
    X11Menu& operator=(const X11Menu&) = delete;

    // Shows the menu with its top-left corner at the screen point (moved to
    // stay on the screen) and waits. Answers the chosen entry's flat index
    // (IPopupMenu::EntryByFlatIndex) or -1.
    int Run(const IPopupMenu& menu, int rootX, int rootY);

    // Receives the events of other windows that arrive meanwhile.
    std::function<void(XEvent&)> otherEvent;

private:
    struct Item
    {
        const MenuEntry* entry = nullptr;
        int flat = 0;
        IBox rect; // in the level's window
        bool tick = false;
        bool column = false; // first of a new column
    };
    struct Level;

    void Open(const IPopupMenu& menu, int firstFlat, int rootX, int rootY, int flipX);
    void CloseFrom(size_t depth);
    void Draw(Level& level);
    void Handle(XEvent& event);
    // The deepest level and item under a screen point; false when none.
    bool Hit(int rootX, int rootY, size_t& depth, int& item) const;
    void Hover(size_t depth, int item);
    void OpenSubmenu(size_t depth, int item, bool highlightFirst);
    void Move(int step);
    void Activate(size_t depth, int item, bool byKey);
    bool Choosable(const Item& item) const;

    Display* display;
    int percent = 100;
    int S(int pixels) const { return pixels * percent / 100; }
    const std::atomic<bool>& abandon;
    std::unique_ptr<HeadlessFont> font;
    std::vector<std::unique_ptr<Level>> levels;
    std::vector<bool> ticks; // by flat index
    int startX = 0;
    int startY = 0;
    bool moved = false;
    bool pressedInside = false;
    bool done = false;
    int result = -1;
};
