#pragma once

#include <memory>
#include <string>
#include <vector>

class IPopupMenu;

// One line of a popup menu: a plain item, a title, a separator or an item that
// opens a submenu. The entry owns its submenu.
struct MenuEntry
{
    // Bits of `flags`.
    static constexpr int Disabled = 0x01;    // greyed, cannot be chosen
    static constexpr int Title = 0x02;       // a tick inside its submenu does not show here
    static constexpr int Checked = 0x04;     // shows a tick
    static constexpr int Separator = 0x08;   // a dividing line; the text is ignored
    static constexpr int ColumnBreak = 0x10; // the item starts a new column
    static constexpr int Highlighted = 0x20; // drawn highlighted when the menu opens

    int flags = 0;
    std::string text; // empty when the entry has none
    std::unique_ptr<IPopupMenu> submenu;
    int tag = -1; // the caller's identifier, set after adding
    // Native ids the entry occupies: 1 for itself, plus, for a submenu entry,
    // the submenu's total at the moment the entry is created.
    int count = 1;

    // Takes ownership of `submenu` (may be null). A null text is empty, and a
    // separator keeps no text.
    explicit MenuEntry(const char* text = nullptr, int flags = 0, IPopupMenu* submenu = nullptr);
    ~MenuEntry();
    MenuEntry(const MenuEntry&) = delete;
    MenuEntry& operator=(const MenuEntry&) = delete;

    bool Has(int flag) const { return (flags & flag) != 0; }
    void Set(int flag, bool on) { flags = on ? (flags | flag) : (flags & ~flag); }
};

// A platform-independent popup menu: an ordered list of entries, each of which
// may open a nested menu. `Total()` is the number of native ids the menu
// occupies, counting every nested entry: the sum of its entries' counts.
//
// A submenu's entry records the submenu's total when it is created, so a
// submenu must be complete before it is inserted; entries added to it later
// would not be numbered in its parents.
class IPopupMenu
{
public:
    IPopupMenu() = default;
    virtual ~IPopupMenu(); // destroys the entries last to first
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    // Inserts a ready entry, taking ownership. -1 appends; any other position
    // is clamped to 0..NEntries(), and later entries move down. Adds the
    // entry's count to the total. Returns the entry (null if `item` is null).
    virtual MenuEntry* InsertEntry(MenuEntry* item, int position);
    virtual MenuEntry* InsertText(const char* text, int position = -1, int flags = 0);
    // Takes ownership of `submenu`, which should hold all its entries by now.
    virtual MenuEntry* InsertSubmenu(const char* text, IPopupMenu* submenu, int position = -1);
    virtual MenuEntry* InsertSeparator(int position = -1);
    virtual MenuEntry* InsertTitle(const char* text, int position = -1);

    int NEntries() const { return static_cast<int>(mEntries.size()); }
    int Total() const { return mTotal; }

    // Null when `index` is outside 0..NEntries()-1.
    MenuEntry* EntryAt(int index);
    const MenuEntry* EntryAt(int index) const;

    // Depth first: each entry itself when its tag matches, else its submenu.
    // Null when no entry at any depth carries the tag.
    MenuEntry* FindByTag(int tag);
    const MenuEntry* FindByTag(int tag) const;

    // Change the entry FindByTag finds; false when there is none.
    bool EnableByTag(int tag, bool enable);
    bool CheckByTag(int tag, bool check);
    // Every entry at every depth, submenu entries included.
    void CheckAll(bool check);
    void EnableAll(bool enable);

    // The entry that BuildNativeMenu numbered `n + 1` when started at 1, i.e.
    // `n` is the chosen native id minus one. Null when no entry has that id.
    MenuEntry* EntryByFlatIndex(int n);
    const MenuEntry* EntryByFlatIndex(int n) const;

private:
    std::vector<std::unique_ptr<MenuEntry>> mEntries;
    int mTotal = 0;
};

// Receives the native menu the window layer builds from an IPopupMenu.
class NativeMenuSink
{
public:
    virtual ~NativeMenuSink() = default;
    // A new, empty native menu for a submenu.
    virtual void* NewMenu() = 0;
    // Appends `item` to `nativeMenu` at `position` (its index in its own menu)
    // with command id `id`. `showChecked` is whether to draw a tick, which may
    // come from the submenu rather than the entry's own flag. For a submenu
    // entry, `nativeSubmenu` is the already filled menu from NewMenu(), else
    // null. Everything else (separator, column break, disabled, highlighted)
    // is read from the entry's flags.
    virtual void AddItem(void* nativeMenu, int position, int id, const MenuEntry& item,
                         bool showChecked, void* nativeSubmenu) = 0;
};

// Fills `nativeMenu` with the entries of `menu`, in order. Each entry takes the
// id `nextId` and advances it, and a submenu's entries take the ids right
// after their submenu entry's own id, depth first; every kind of entry takes
// an id. Starting `nextId` at 1, the entry with id k is
// menu.EntryByFlatIndex(k - 1). A submenu is built into a new native menu
// before its entry is added. A submenu entry shows a tick when its own Checked
// bit is set, or when it is not a title and some entry of its submenu shows
// one. Returns whether any entry of this level shows a tick.
bool BuildNativeMenu(NativeMenuSink& sink, void* nativeMenu, int& nextId, const IPopupMenu& menu);
