#include "graphics/IPopupMenu.h"

#include <algorithm>

MenuEntry::MenuEntry(const char* text_, int flags_, IPopupMenu* submenu_)
    : flags(flags_), submenu(submenu_), count(submenu_ ? 1 + submenu_->Total() : 1)
{
    if (text_ && !(flags_ & Separator)) text = text_;
}

MenuEntry::~MenuEntry()
{
    // The submenu goes before the entry's own text.
    submenu.reset();
}

IPopupMenu::~IPopupMenu()
{
    while (!mEntries.empty())
        mEntries.pop_back();
}

MenuEntry* IPopupMenu::InsertEntry(MenuEntry* item, int position)
{
    if (!item) return nullptr;
    const int n = NEntries();
    if (position == -1 || position > n) position = n;
    if (position < 0) position = 0;
    mEntries.insert(mEntries.begin() + position, std::unique_ptr<MenuEntry>(item));
    mTotal += item->count;
    return item;
}

MenuEntry* IPopupMenu::InsertText(const char* text, int position, int flags)
{
    return InsertEntry(new MenuEntry(text, flags), position);
}

MenuEntry* IPopupMenu::InsertSubmenu(const char* text, IPopupMenu* submenu, int position)
{
    return InsertEntry(new MenuEntry(text, 0, submenu), position);
}

MenuEntry* IPopupMenu::InsertSeparator(int position)
{
    return InsertEntry(new MenuEntry(nullptr, MenuEntry::Separator), position);
}

MenuEntry* IPopupMenu::InsertTitle(const char* text, int position)
{
    return InsertEntry(new MenuEntry(text, MenuEntry::Title), position);
}

const MenuEntry* IPopupMenu::EntryAt(int index) const
{
    return index >= 0 && index < NEntries() ? mEntries[index].get() : nullptr;
}

MenuEntry* IPopupMenu::EntryAt(int index)
{
    return const_cast<MenuEntry*>(static_cast<const IPopupMenu*>(this)->EntryAt(index));
}

const MenuEntry* IPopupMenu::FindByTag(int tag) const
{
    for (const auto& e : mEntries)
    {
        if (e->tag == tag) return e.get();
        if (e->submenu)
        {
            if (const MenuEntry* found = e->submenu->FindByTag(tag)) return found;
        }
    }
    return nullptr;
}

MenuEntry* IPopupMenu::FindByTag(int tag)
{
    return const_cast<MenuEntry*>(static_cast<const IPopupMenu*>(this)->FindByTag(tag));
}

bool IPopupMenu::EnableByTag(int tag, bool enable)
{
    MenuEntry* e = FindByTag(tag);
    if (e) e->Set(MenuEntry::Disabled, !enable);
    return e != nullptr;
}

bool IPopupMenu::CheckByTag(int tag, bool check)
{
    MenuEntry* e = FindByTag(tag);
    if (e) e->Set(MenuEntry::Checked, check);
    return e != nullptr;
}

void IPopupMenu::CheckAll(bool check)
{
    for (auto& e : mEntries)
    {
        e->Set(MenuEntry::Checked, check);
        if (e->submenu) e->submenu->CheckAll(check);
    }
}

void IPopupMenu::EnableAll(bool enable)
{
    for (auto& e : mEntries)
    {
        e->Set(MenuEntry::Disabled, !enable);
        if (e->submenu) e->submenu->EnableAll(enable);
    }
}

const MenuEntry* IPopupMenu::EntryByFlatIndex(int n) const
{
    if (n < 0) return nullptr;
    // Each entry uses one id, then its submenu's ids; step into the submenu
    // that holds id n, or skip over it.
    const IPopupMenu* menu = this;
    int i = 0;
    while (i < menu->NEntries())
    {
        const MenuEntry* e = menu->mEntries[i].get();
        if (n == 0) return e;
        --n;
        if (e->submenu)
        {
            if (e->submenu->Total() > n)
            {
                menu = e->submenu.get();
                i = 0;
                continue;
            }
            n -= e->submenu->Total();
        }
        ++i;
    }
    return nullptr;
}

MenuEntry* IPopupMenu::EntryByFlatIndex(int n)
{
    return const_cast<MenuEntry*>(static_cast<const IPopupMenu*>(this)->EntryByFlatIndex(n));
}

bool BuildNativeMenu(NativeMenuSink& sink, void* nativeMenu, int& nextId, const IPopupMenu& menu)
{
    bool anyShown = false;
    for (int i = 0; i < menu.NEntries(); ++i)
    {
        const MenuEntry& e = *menu.EntryAt(i);
        const int id = nextId++;
        bool showChecked = e.Has(MenuEntry::Checked);
        void* nativeSubmenu = nullptr;
        if (e.submenu)
        {
            nativeSubmenu = sink.NewMenu();
            const bool inner = BuildNativeMenu(sink, nativeSubmenu, nextId, *e.submenu);
            if (inner && !e.Has(MenuEntry::Title)) showChecked = true;
        }
        anyShown = anyShown || showChecked;
        sink.AddItem(nativeMenu, i, id, e, showChecked, nativeSubmenu);
    }
    return anyShown;
}
