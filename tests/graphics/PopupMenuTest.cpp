#include "graphics/IPopupMenu.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{

// Builds a menu into fake native menus and records each item by its id.
struct RecordingSink : NativeMenuSink
{
    struct Item
    {
        void* menu;
        const MenuEntry* entry;
        bool ticked;
        void* sub;
    };
    const IPopupMenu& source;
    std::vector<std::unique_ptr<int>> menus;
    std::map<int, Item> byId;
    int top = 0, nextId = 1;
    bool anyTicked;

    explicit RecordingSink(const IPopupMenu& m) : source(m)
    {
        anyTicked = BuildNativeMenu(*this, &top, nextId, m);
    }
    void* NewMenu() override { return menus.emplace_back(std::make_unique<int>()).get(); }
    void AddItem(void* menu, int, int id, const MenuEntry& e, bool ticked, void* sub) override
    {
        byId[id] = {menu, &e, ticked, sub};
    }
    // "text id" per item in id order, "<parent" when in a submenu, "*" when
    // ticked, "!" when EntryByFlatIndex(id - 1) is another entry.
    std::string Layout() const
    {
        std::string s;
        for (const auto& [id, it] : byId)
        {
            s += (s.empty() ? "" : " ") + it.entry->text + std::to_string(id);
            for (const auto& [pid, p] : byId)
                if (p.sub && p.sub == it.menu) s += "<" + p.entry->text;
            if (it.ticked) s += "*";
            if (source.EntryByFlatIndex(id - 1) != it.entry) s += "!";
        }
        return s;
    }
};

IPopupMenu* Menu(std::initializer_list<const char*> texts)
{
    auto* m = new IPopupMenu;
    for (const char* t : texts)
        m->InsertText(t);
    return m;
}

} // namespace

TEST(PopupMenu, NativeIdsResolveBackThroughFlatIndex)
{
    IPopupMenu flat;
    flat.InsertText("P");
    flat.InsertText("Q");
    flat.InsertSeparator();
    flat.InsertText("R");
    EXPECT_EQ("P1 Q2 3 R4", RecordingSink(flat).Layout());

    IPopupMenu m;
    m.InsertText("A");
    EXPECT_EQ(3, m.InsertSubmenu("S", Menu({"X", "Y"}))->count);
    m.InsertText("B");
    EXPECT_EQ("A1 S2 X3<S Y4<S B5", RecordingSink(m).Layout());
    EXPECT_EQ(nullptr, m.EntryByFlatIndex(5));
    EXPECT_EQ(nullptr, m.EntryByFlatIndex(-1));

    // [A, S1=[B, S2=[C, S3=[D, E], F], G], H]
    auto* s2 = Menu({"C"});
    s2->InsertSubmenu("S3", Menu({"D", "E"}));
    s2->InsertText("F");
    auto* s1 = Menu({"B"});
    s1->InsertSubmenu("S2", s2);
    s1->InsertText("G");
    m.InsertSubmenu("S1", s1, 1);
    EXPECT_EQ(14, m.Total());
    EXPECT_EQ("A1 S12 B3<S1 S24<S1 C5<S2 S36<S2 D7<S3 E8<S3 F9<S2 G10<S1 S11 X12<S Y13<S B14",
              RecordingSink(m).Layout());
}

TEST(PopupMenu, TickPropagatesToParentsExceptTitles)
{
    auto* mid = new IPopupMenu;
    mid->InsertSubmenu("M", Menu({"x", "y"}))->submenu->EntryAt(1)->Set(MenuEntry::Checked, true);
    IPopupMenu m;
    m.InsertSubmenu("O", mid);
    m.InsertSubmenu("P", Menu({"p"}));
    m.InsertEntry(new MenuEntry("T", MenuEntry::Title, Menu({"t"})), -1)->submenu->CheckAll(true);
    EXPECT_EQ("O1* M2<O* x3<M y4<M* P5 p6<P T7 t8<T*", RecordingSink(m).Layout());

    mid->EntryAt(0)->submenu->CheckAll(false);
    EXPECT_FALSE(RecordingSink(m).anyTicked); // only the title's submenu holds a tick
}

TEST(PopupMenu, EnableAllAndTagsReachEveryDepth)
{
    auto* deep = Menu({"d"});
    deep->EntryAt(0)->tag = 7;
    auto* sub = new IPopupMenu;
    sub->InsertSubmenu("deep", deep);
    IPopupMenu m;
    m.InsertSubmenu("sub", sub)->tag = 3;
    m.InsertText("later")->tag = 7;

    m.EnableAll(false);
    for (int n = 0; n < m.Total(); ++n)
        EXPECT_TRUE(m.EntryByFlatIndex(n)->Has(MenuEntry::Disabled)) << n;
    // Depth first: the nested 7 comes before the later top-level 7.
    EXPECT_TRUE(m.EnableByTag(7, true));
    EXPECT_FALSE(deep->EntryAt(0)->Has(MenuEntry::Disabled));
    EXPECT_TRUE(m.EntryAt(1)->Has(MenuEntry::Disabled));
    EXPECT_EQ(m.EntryAt(0), m.FindByTag(3));
    EXPECT_EQ(nullptr, m.FindByTag(99));
    EXPECT_FALSE(m.EnableByTag(99, true));
    EXPECT_FALSE(m.CheckByTag(99, true));
}

TEST(PopupMenu, InsertPositionsAreClamped)
{
    IPopupMenu m;
    m.InsertText("b");
    m.InsertText("c", 10);
    m.InsertText("a", -5);
    m.InsertText("x", 1);
    EXPECT_EQ("a1 x2 b3 c4", RecordingSink(m).Layout());
    EXPECT_EQ(nullptr, m.EntryAt(4));
}
