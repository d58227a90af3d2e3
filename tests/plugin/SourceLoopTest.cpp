// The source menus of all eight tap strips, on the headless editor: a tap
// that would close a loop (one the line already feeds, the line itself, or
// one upstream of it) is greyed, and the source in force is checked.

#include "graphics/IPopupMenu.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "plugin/Delay.h"
#include "plugin/DelayEditor.h"
#include "plugin/DelayParams.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace
{

// "A- B C* ... | None": greyed entries carry "-", checked ones "*".
std::string Describe(const IPopupMenu& menu)
{
    std::string out;
    for (int i = 0; i < menu.NEntries(); ++i)
    {
        const MenuEntry* e = menu.EntryAt(i);
        out += out.empty() ? "" : " ";
        if (e->Has(MenuEntry::Separator))
        {
            out += "|";
            continue;
        }
        out += e->text + (e->Has(MenuEntry::Disabled) ? "-" : "") +
               (e->Has(MenuEntry::Checked) ? "*" : "");
    }
    return out;
}

// The menus of every strip once the sources are set (line, tap it hears).
std::vector<std::string> MenusWith(const std::vector<std::pair<int, int>>& sources)
{
    Delay delay(nullptr);
    auto* g = dynamic_cast<IGraphicsHeadless*>(delay.EditorView()->Graphics());
    if (!g)
    {
        return {};
    }
    g->OpenEditorWindow(&delay);
    for (const auto& [line, tap] : sources)
    {
        PlugLockGuard guard(delay.Lock());
        delay.GetParam(kBaseRx + line)->SetValue(tap);
        g->PushParamToControls(kBaseRx + line, tap, false);
        delay.ParamChanged(kBaseRx + line);
    }
    std::vector<std::string> menus;
    std::string seen;
    g->Chooser().menu = [&](const IPopupMenu& menu)
    {
        seen = Describe(menu);
        return 0;
    };
    for (int tap = 0; tap < kNumTaps; ++tap)
    {
        const int y = 305 + 32 * tap + 5;
        g->HandleMouseDown(95, y, IMouseKeys(true, false, false, false, false));
        g->HandleMouseUp(95, y, IMouseKeys());
        menus.push_back(seen);
    }
    return menus;
}

TEST(SourceMenus, TwoChainsGreyTheirOwnTapsOnly)
{
    // A -> C -> E -> G and B -> D -> F -> H.
    const auto menus = MenusWith({{2, 0}, {4, 2}, {6, 4}, {3, 1}, {5, 3}, {7, 5}});
    if (menus.empty())
    {
        GTEST_SKIP() << "the editor here has a window layer of its own";
    }
    const std::vector<std::string> expected = {
        "A- B C- D E- F G- H | None*", "A B- C D- E F- G H- | None*", "A-* B C- D E- F G- H | None",
        "A B-* C D- E F- G H- | None", "A- B C-* D E- F G- H | None", "A B- C D-* E F- G H- | None",
        "A- B C- D E-* F G- H | None", "A B- C D- E F-* G H- | None",
    };
    EXPECT_EQ(menus, expected);
}

TEST(SourceMenus, ABranchGreysBothWaysAndSparesItsSibling)
{
    // A feeds B and C; B feeds D, D feeds E; H feeds G; F stands alone.
    const auto menus = MenusWith({{1, 0}, {2, 0}, {3, 1}, {4, 3}, {6, 7}});
    if (menus.empty())
    {
        GTEST_SKIP() << "the editor here has a window layer of its own";
    }
    const std::vector<std::string> expected = {
        "A- B- C- D- E- F G H | None*", "A-* B- C D- E- F G H | None", "A-* B C- D E F G H | None",
        "A- B-* C D- E- F G H | None",  "A- B- C D-* E- F G H | None", "A B C D E F- G H | None*",
        "A B C D E F G- H-* | None",    "A B C D E F G- H- | None*",
    };
    EXPECT_EQ(menus, expected);
}

} // namespace
