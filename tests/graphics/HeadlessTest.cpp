#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/ITextControl.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "raster/ImageLoader.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/Raster.h"
#include "support/TestPlug.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace
{
const IColorRGBA kBlack(255, 0, 0, 0);

// Counts its paints, records menu choices and may offer a menu of its own.
class Probe : public IControl
{
public:
    using IControl::IControl;
    int paints = 0;
    std::vector<int> chosen;
    std::function<IPopupMenu*()> makeMenu;

    bool Paint(IGraphics*) override { return ++paints > 0; }
    IPopupMenu* BuildParamMenu() override
    {
        return makeMenu ? makeMenu() : IControl::BuildParamMenu();
    }
    void MenuChosen(IPopupMenu* menu, int index) override
    {
        chosen.push_back(index);
        IControl::MenuChosen(menu, index);
    }
};

// A plug-in with its headless editor attached, on a white surface.
struct Editor
{
    TestPlug plug;
    IGraphicsHeadless* g;

    explicit Editor(int w = 240, int h = 80) : g(new IGraphicsHeadless(&plug, w, h))
    {
        plug.AttachEditor(g);
        RasterFillRect(g->BackBuffer(), 0, 0, w, h, 0xFFFFFFFFu, 1.0f, RasterModeCopy);
    }
    Probe* Add(const IBox& box, int paramIdx = -1)
    {
        auto* c = new Probe(&plug, box, paramIdx);
        g->AddControl(c);
        return c;
    }
    // Bounding box of the pixels darker than mid-grey in the red channel.
    IBox Ink() const
    {
        IBox ink;
        for (int y = 0; y < g->Height(); ++y)
            for (int x = 0; x < g->Width(); ++x)
                if (g->PeekPixel(x, y).red < 128) ink = ink.Union(IBox(x, y, x + 1, y + 1));
        return ink;
    }
    IBox Draw(ITextStyle& style, const char* text, const IBox& box)
    {
        EXPECT_TRUE(g->DrawTextIn(style, text, box));
        return Ink();
    }
};

#define REQUIRE_TEXT()                                                                             \
    if (!IGraphicsHeadless::TextAvailable()) GTEST_SKIP() << "no FreeType or Liberation Sans"
} // namespace

TEST(HeadlessText, AlignsHorizontallyAndHangsFromTheBoxTop)
{
    REQUIRE_TEXT();
    const IBox box(40, 20, 200, 60); // centre x 120
    for (int align : {ITextStyle::Left, ITextStyle::Centre, ITextStyle::Right})
    {
        Editor e;
        ITextStyle style("Arial", 16, kBlack, ITextStyle::Normal, align);
        const IBox ink = e.Draw(style, "HHH", box); // H has equal side bearings
        ASSERT_FALSE(ink.Empty());
        const double centre = (ink.left + ink.right) / 2.0;
        const int leftGap = ink.left - box.left;
        const int rightGap = box.right - ink.right;
        switch (align)
        {
        case ITextStyle::Left:
            EXPECT_LE(leftGap, 3);
            break;
        case ITextStyle::Right:
            EXPECT_LE(rightGap, 3);
            break;
        default:
            EXPECT_NEAR(centre, 120.0, 1.0);
        }
        EXPECT_GE(leftGap, 0);
        EXPECT_GE(rightGap, 0);
        // Cap height sits a few pixels under the cell top, baseline inside the cell.
        EXPECT_GE(ink.top - box.top, 1);
        EXPECT_LE(ink.top - box.top, 5);
        EXPECT_LE(ink.bottom, box.top + 16);
    }
}

TEST(HeadlessText, BlendsTheStyleColourOpaque)
{
    REQUIRE_TEXT();
    Editor e;
    ITextStyle style("Arial", 24, IColorRGBA(255, 0x20, 0x80, 0xC0));
    ASSERT_TRUE(e.g->DrawTextIn(style, "HIH", IBox(10, 10, 200, 40)));
    bool solid = false;
    for (int y = 0; y < e.g->Height(); ++y)
        for (int x = 0; x < e.g->Width(); ++x)
        {
            const IColorRGBA p = e.g->PeekPixel(x, y);
            solid = solid || (p.red == 0x20 && p.green == 0x80 && p.blue == 0xC0);
            ASSERT_GE(p.red, 0x20);
            ASSERT_GE(p.green, 0x80);
            ASSERT_GE(p.blue, 0xC0);
        }
    EXPECT_TRUE(solid) << "stems at full coverage take the colour exactly";
}

TEST(HeadlessText, SizeIsTheCellHeightAndBoldIsWider)
{
    REQUIRE_TEXT();
    ITextStyle small("Arial", 14, kBlack);
    EXPECT_NEAR(Editor().Draw(small, "Hg", IBox(10, 10, 100, 30)).H() / 14.0, 0.9, 0.1);

    // Liberation Sans: em 2048 units, cell 1854 + 434 = 2288 units; "Hg"
    // spans cap height plus descender, so its ink scales with the em.
    ITextStyle cell("Arial", 40, kBlack);
    ITextStyle em("Arial", -40, kBlack);
    const double ratio = Editor().Draw(cell, "Hg", IBox(10, 10, 200, 60)).H() /
                         static_cast<double>(Editor().Draw(em, "Hg", IBox(10, 10, 200, 60)).H());
    EXPECT_NEAR(ratio, 2048.0 / 2288.0, 0.04);

    ITextStyle regular("Arial", 16, kBlack);
    ITextStyle bold("Arial", 16, kBlack, ITextStyle::Bold);
    EXPECT_GT(Editor().Draw(bold, "Bold Text", IBox(10, 10, 200, 40)).W(),
              Editor().Draw(regular, "Bold Text", IBox(10, 10, 200, 40)).W());
}

TEST(HeadlessText, NotClippedToTheBoxOnlyToTheSurface)
{
    REQUIRE_TEXT();
    Editor e;
    ITextStyle style("Arial", 16, kBlack);
    IBox ink = e.Draw(style, "Wide text", IBox(10, 10, 20, 14));
    EXPECT_GT(ink.right, 40);
    EXPECT_GT(ink.bottom, 20);

    Editor edge;
    ink = edge.Draw(style, "Wide text", IBox(-30, 70, 0, 90));
    EXPECT_EQ(0, ink.left);
    EXPECT_EQ(80, ink.bottom);
}

TEST(HeadlessText, EachStyleOwnsItsFont)
{
    REQUIRE_TEXT();
    Editor e;
    ITextStyle style("Arial", 16, kBlack);
    EXPECT_TRUE(e.g->DrawTextIn(style, "", IBox(0, 0, 50, 20)));
    EXPECT_TRUE(e.g->DrawTextIn(style, nullptr, IBox(0, 0, 50, 20)));
    EXPECT_TRUE(e.Ink().Empty());

    ASSERT_TRUE(e.g->DrawTextIn(style, "a", IBox(0, 0, 50, 20)));
    ASSERT_NE(nullptr, style.font);
    ITextStyle copy(style);
    EXPECT_EQ(nullptr, copy.font);
    ASSERT_TRUE(e.g->DrawTextIn(copy, "b", IBox(0, 0, 50, 20)));
    EXPECT_NE(nullptr, copy.font);
    EXPECT_NE(style.font, copy.font);
    copy.ReleaseFont();
    copy.ReleaseFont();

    // A style changed after drawing gets a font of its new size.
    Editor big;
    style.size = 40;
    EXPECT_GT(big.Draw(style, "H", IBox(0, 0, 50, 60)).H(), 20);
}

TEST(Headless, WindowTokenAndTickPresentTheDirtyArea)
{
    Editor e(100, 50);
    Probe* a = e.Add(IBox(10, 10, 20, 20));
    Probe* b = e.Add(IBox(30, 5, 40, 15));
    EXPECT_EQ(nullptr, e.g->OpenEditorWindow(nullptr));
    EXPECT_FALSE(e.g->IsWindowOpen());
    int parent = 0;
    void* window = e.g->OpenEditorWindow(&parent);
    EXPECT_NE(nullptr, window);
    EXPECT_EQ(window, e.g->NativeWindow());

    e.g->ClearPresented();
    EXPECT_TRUE(e.g->Tick());
    EXPECT_EQ(std::vector<IBox>{IBox(10, 5, 40, 20)}, e.g->Presented());
    EXPECT_FALSE(e.g->Tick());
    b->MarkDirty(false);
    EXPECT_TRUE(e.g->Tick());
    EXPECT_EQ(IBox(30, 5, 40, 15), e.g->Presented().back());
    EXPECT_EQ(1, a->paints);
    EXPECT_EQ(2, b->paints);

    e.g->CloseEditorWindow();
    EXPECT_EQ(nullptr, e.g->NativeWindow());
}

TEST(Headless, SavePngWritesTheBackBufferOpaque)
{
    Editor e(7, 5);
    RasterFillRect(e.g->BackBuffer(), 2, 1, 3, 2, 0x00336699u, 1.0f, RasterModeCopy);
    const std::string path =
        (std::filesystem::temp_directory_path() / "zelbor-headless-test.png").string();
    ASSERT_TRUE(e.g->SavePng(path.c_str()));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    in.close();
    std::filesystem::remove(path);
    std::unique_ptr<LICE_IBitmap> back(DecodePngMemory(bytes.data(), bytes.size()));
    ASSERT_TRUE(back);
    ASSERT_EQ(7, back->Width());
    ASSERT_EQ(5, back->Height());
    EXPECT_EQ(0xFF336699u, RasterGetPixel(back.get(), 3, 2));
    EXPECT_EQ(0xFFFFFFFFu, RasterGetPixel(back.get(), 1, 2));
    EXPECT_EQ(0xFFFFFFFFu, RasterGetPixel(back.get(), 3, 3));
}

TEST(HeadlessPrompts, MenuChoiceGoesToTheControlByFlatIndex)
{
    Editor e;
    Probe* c = e.Add(IBox(0, 0, 10, 10), 0);
    c->makeMenu = []
    {
        auto* sub = new IPopupMenu;
        sub->InsertText("b1");
        sub->InsertText("b2");
        auto* m = new IPopupMenu;
        m->InsertText("a");
        m->InsertSubmenu("b", sub);
        m->InsertText("c");
        return m;
    };
    std::string offered;
    e.g->Chooser().menu = [&](const IPopupMenu& m)
    {
        offered = m.EntryByFlatIndex(4)->text;
        return 5; // a 1, b 2, b1 3, b2 4, c 5
    };
    e.g->PromptForValue(c, e.plug.GetParam(0), false);
    EXPECT_EQ("c", offered);
    EXPECT_EQ(std::vector<int>{4}, c->chosen);
    EXPECT_EQ(nullptr, e.g->editControl);

    e.g->Chooser().menu = [](const IPopupMenu&) { return 0; };
    e.g->PromptForValue(c, e.plug.GetParam(0), false);
    EXPECT_EQ(1u, c->chosen.size());
}

TEST(HeadlessPrompts, TextEntryStandsBesideTheControlAndCommitsAsOneGesture)
{
    Editor e;
    e.plug.GetParam(1)->DefineContinuous("Time", 50.0, 0.0, 100.0, 0.1);
    e.plug.GetParam(1)->SetValue(50.0);
    Probe* c = e.Add(IBox(20, 30, 40, 50), 1);
    int parent = 0;
    e.g->OpenEditorWindow(&parent);
    std::string shown;
    bool commit = false;
    e.g->Chooser().text = [&](const std::string& initial, std::string& typed)
    {
        shown = initial;
        typed = "25";
        return commit;
    };
    // A right-click opens the entry: the press's own gesture ends at once,
    // and a cancelled entry sends nothing more.
    e.g->HandleMouseDown(30, 40, IMouseKeys(false, true, false, false, false));
    EXPECT_EQ(0u, shown.rfind("50", 0)) << shown;
    EXPECT_EQ(IBox(12, 32, 84, 52), e.g->LastEntryBox());
    EXPECT_EQ(50.0, e.plug.GetParam(1)->Value());
    EXPECT_EQ((std::vector<std::string>{"begin 1", "end 1"}), e.plug.calls);
    e.g->HandleMouseUp(30, 40, IMouseKeys());
    EXPECT_EQ(2u, e.plug.calls.size());

    // A commit reaches the host as a whole gesture of its own.
    commit = true;
    e.plug.calls.clear();
    e.g->PromptForValue(c, c->Param(), false);
    EXPECT_DOUBLE_EQ(25.0, e.plug.GetParam(1)->Value());
    ASSERT_GE(e.plug.calls.size(), 3u);
    EXPECT_EQ("begin 1", e.plug.calls.front());
    EXPECT_EQ("end 1", e.plug.calls.back());
    EXPECT_EQ(1, std::count(e.plug.calls.begin(), e.plug.calls.end(), "automate 1"));
}

TEST(HeadlessPrompts, TextModeEntryStartsWithTheControlsText)
{
    Editor e;
    ITextStyle style;
    auto* label = new ITextControl(&e.plug, IBox(0, 0, 10, 10), style, "Caf\xC3\xA9 Echo");
    e.g->AddControl(label);
    std::string shown;
    e.g->Chooser().text = [&](const std::string& initial, std::string&)
    {
        shown = initial;
        return false;
    };
    e.g->PromptForValue(label, nullptr, true);
    EXPECT_EQ("Caf\xC3\xA9 Echo", shown);
    EXPECT_FALSE(e.g->EntryOpen());
}

TEST(HeadlessPrompts, ClosingTheWindowEndsAGestureInProgressOnce)
{
    Editor e;
    Probe* c = e.Add(IBox(0, 0, 10, 10), 0);
    int parent = 0;
    e.g->OpenEditorWindow(&parent);
    e.g->HandleMouseDown(5, 5, IMouseKeys(true, false, false, false, false));
    e.g->HandleMouseDrag(5, 3, IMouseKeys(true, false, false, false, false));
    e.g->CloseEditorWindow();
    e.g->HandleMouseUp(5, 3, IMouseKeys());
    EXPECT_EQ(-1, e.g->captureIdx);
    EXPECT_EQ(1, std::count(e.plug.calls.begin(), e.plug.calls.end(), "begin 0"));
    EXPECT_EQ(1, std::count(e.plug.calls.begin(), e.plug.calls.end(), "end 0"));
    (void)c;
}

TEST(HeadlessPrompts, ParameterMenuInColumnsMapsTextBackToValue)
{
    Editor e;
    IPlugParam* p = e.plug.GetParam(2);
    p->DefineEnum("Wave", 2, 5);
    for (const char* t : {"v0", "v1", "v2", "v3", "v4"})
        p->AddDisplayText(t[1] - '0', t);
    p->SetValue(2.0);
    Probe* c = e.Add(IBox(0, 0, 10, 10), 2);
    std::vector<int> flags;
    e.g->Chooser().menu = [&](const IPopupMenu& m)
    {
        for (int i = 0; i < m.NEntries(); ++i)
            flags.push_back(m.EntryAt(i)->flags);
        return 4;
    };
    e.g->PromptFromMenu(c, p, 2);
    const int brk = MenuEntry::ColumnBreak;
    EXPECT_EQ((std::vector<int>{0, 0, brk | MenuEntry::Checked, 0, brk}), flags);
    EXPECT_EQ(3.0, p->Value());
}
