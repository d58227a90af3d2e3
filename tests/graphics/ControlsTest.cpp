#include "graphics/ICaptionControl.h"
#include "graphics/IContactControl.h"
#include "graphics/IKnobMultiControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/ISpinnerControl.h"
#include "graphics/ISwitchControl.h"
#include "graphics/ITextControl.h"
#include "tests/graphics/EditorFixture.h"

#include <algorithm>

namespace
{
const IMouseKeys kLeft(true, false, false, false, false);
const IMouseKeys kRight(false, true, false, false, false);
const IMouseKeys kShift(false, false, true, false, false);
const IMouseKeys kNone;
} // namespace

TEST_F(EditorTest, SwitchStepsThroughItsFramesAndWraps)
{
    auto* sw = Add<ISwitchControl>(10, 10, -1, Strip(10, 10, 3));
    Attach();
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i)
    {
        Press(15, 15);
        Release(15, 15);
        seen.push_back(sw->value);
    }
    EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
}

TEST_F(EditorTest, FilmstripShowsTheFrameOfItsValue)
{
    auto* sw = Add<ISwitchControl>(10, 10, -1, Strip(8, 2, 101));
    auto* knob = Add<IKnobMultiControl>(40, 10, -1, Strip(8, 2, 101));
    Attach();
    sw->TakePlugValue(0.5);
    knob->TakePlugValue(1.0);
    g->PaintAll();
    EXPECT_EQ(FrameAt(12, 11), 51);
    EXPECT_EQ(FrameAt(44, 11), 101);
    knob->TakePlugValue(0.0);
    g->Tick();
    EXPECT_EQ(FrameAt(44, 11), 1);
}

TEST_F(EditorTest, KnobDragAndWheelSteps)
{
    // 40 px high, divisor 4: a full-height drag up adds a quarter.
    auto* knob = Add<IKnobMultiControl>(10, 10, -1, Strip(20, 40, 11), 0, 4.0);
    Attach();
    knob->value = 0.5;
    Press(20, 45);
    g->HandleMouseDrag(20, 5, kNone);
    EXPECT_NEAR(knob->value, 0.75, 1e-12);
    g->HandleMouseDrag(20, 45, kShift);
    EXPECT_NEAR(knob->value, 0.725, 1e-12);
    Release(20, 45);

    g->HandleWheel(20, 20, kNone, 2);
    EXPECT_NEAR(knob->value, 0.745, 1e-12);
    g->HandleWheel(20, 20, IMouseKeys(false, false, false, true, false), -5);
    EXPECT_NEAR(knob->value, 0.74, 1e-12);
    g->HandleWheel(20, 20, kNone, 100); // clamped
    EXPECT_EQ(knob->value, 1.0);
}

TEST_F(EditorTest, DefaultIsTheFirstPushedValue)
{
    auto* fresh = Add<ProbeControl>(IBox(0, 0, 10, 10));
    auto* bound = Add<ProbeControl>(IBox(20, 0, 30, 10), 3);
    Attach();
    fresh->value = 0.3;
    fresh->IControl::MouseDoubleClick(0, 0, kNone); // no default known: unchanged
    EXPECT_EQ(fresh->value, 0.3);

    const double initial = plug.GetParam(3)->ToNormalized();
    EXPECT_EQ(bound->defaultValue, initial);
    bound->TakePlugValue(0.9);
    EXPECT_EQ(bound->defaultValue, initial);
    bound->IControl::MouseDoubleClick(0, 0, kNone);
    EXPECT_EQ(bound->value, initial);
    EXPECT_NEAR(plug.GetParam(3)->Value(), 250.0, 1e-9);
}

TEST_F(EditorTest, ContactIsPressedWhileHeldAndDoubleClickPressesAgain)
{
    auto* contact = Add<IContactControl>(10, 10, 2, Strip(10, 10, 2));
    Attach();
    Press(15, 15);
    EXPECT_EQ(contact->value, 1.0);
    EXPECT_EQ(plug.GetParam(2)->Value(), 1.0);
    Release(15, 15);
    EXPECT_EQ(contact->value, 0.0);
    EXPECT_TRUE(g->HandleDoubleClick(15, 15, kLeft));
    EXPECT_EQ(contact->value, 1.0);
    Release(15, 15);
    EXPECT_EQ(contact->value, 0.0);

    // "on" from the right-click menu, which takes the release: pressed and
    // let go.
    plug.calls.clear();
    g->Chooser().menu = [](const IPopupMenu&) { return 2; };
    Press(15, 15, kRight);
    EXPECT_EQ(plug.GetParam(2)->Value(), 0.0);
    EXPECT_EQ(std::count(plug.calls.begin(), plug.calls.end(), "changed 2"), 2);
}

TEST_F(EditorTest, ChangesMadeWhileAnotherControlPaintsAreKept)
{
    // The editor's thread collects a frame's area, here another control's,
    // then the host's thread sets a text and greys a control before that
    // frame is painted: both still get painted in the next one.
    const ITextStyle style("Arial", 12, IColorRGBA(255, 0, 0, 0));
    auto* text = Add<ITextControl>(IBox(10, 10, 60, 30), style, "old");
    auto* greyed = Add<ProbeControl>(IBox(70, 10, 90, 30));
    auto* other = Add<ProbeControl>(IBox(100, 10, 120, 30));
    Attach();
    other->dirty = true;
    IBox area;
    ASSERT_TRUE(g->CollectDirtyArea(area));
    text->SetText("new");
    greyed->SetGreyed(true);
    g->PaintArea(area);
    EXPECT_TRUE(text->NeedsPaint());
    EXPECT_TRUE(greyed->NeedsPaint());
}

TEST_F(EditorTest, SpinnerWrapsAndStepsChoicesPerNotch)
{
    const ITextStyle style("Arial", 12, IColorRGBA(255, 0, 0, 0));
    auto* gain = Add<ISpinnerControl>(IBox(10, 10, 50, 30), 0, style, nullptr, true, true, 0, 1.0);
    auto* mode = Add<ISpinnerControl>(IBox(60, 10, 100, 30), 1, style);
    Attach();
    gain->value = 0.95;
    Press(20, 20);
    g->HandleMouseDrag(20, 18, kNone); // +0.1: past the top, wraps to 0
    EXPECT_EQ(gain->value, 0.0);
    g->HandleMouseDrag(20, 19, kNone); // -0.05 from 0: wraps to 1
    EXPECT_EQ(gain->value, 1.0);
    Release(20, 19);

    EXPECT_EQ(mode->value, 0.5); // "medium"
    g->HandleWheel(70, 20, kNone, 1);
    EXPECT_EQ(plug.GetParam(1)->Value(), 2.0);
    g->HandleWheel(70, 20, kShift, 1); // still one choice per notch; wraps
    EXPECT_EQ(mode->value, 0.0);
    gain->value = 0.5;
    g->HandleWheel(20, 20, kShift, 3);
    EXPECT_NEAR(gain->value, 0.503, 1e-12);

    gain->SetGreyed(true);
    gain->value = 0.5;
    gain->MouseWheel(20, 20, kNone, 1);
    EXPECT_EQ(gain->value, 0.5);
    g->PaintAll();
    EXPECT_EQ(gain->GetText(), "5.00 dB");
    EXPECT_EQ(mode->GetText(), "soft");
}

TEST_F(EditorTest, TextGreysDarkerAndIgnoresTheSameText)
{
    ITextStyle style("Arial", 16, IColorRGBA(255, 200, 100, 50));
    auto* text = Add<ITextControl>(IBox(0, 0, 200, 40), style, "WWW");
    Attach();
    EXPECT_EQ(text->greyColor, IColorRGBA(255, 72, 0, 0));
    text->SetText("WWW");
    EXPECT_FALSE(text->NeedsPaint());
    text->SetText("MMM");
    EXPECT_TRUE(text->NeedsPaint());

    if (!IGraphicsHeadless::TextAvailable())
    {
        GTEST_SKIP() << "no text drawing here";
    }
    // The strongest ink of the line is the text colour, then the grey one.
    auto strongest = [&]
    {
        g->FillBox(IColorRGBA(255, 0, 0, 0), IBox(0, 0, 200, 120), nullptr);
        g->PaintAll();
        IColorRGBA best(255, 0, 0, 0);
        for (int y = 0; y < 40; ++y)
        {
            for (int x = 0; x < 200; ++x)
            {
                const IColorRGBA c = g->PeekPixel(x, y);
                if (c.red > best.red)
                {
                    best = c;
                }
            }
        }
        return best;
    };
    const IColorRGBA normal = strongest();
    EXPECT_EQ(normal.red, 200);
    EXPECT_EQ(normal.green, 100);
    text->SetGreyed(true);
    const IColorRGBA grey = strongest();
    EXPECT_EQ(grey.red, 72);
    EXPECT_EQ(grey.green, 0);
}

TEST_F(EditorTest, RightClickOffersTheChoicesAndEndsTheGesture)
{
    const ITextStyle style("Arial", 12, IColorRGBA(255, 0, 0, 0));
    auto* mode = Add<ICaptionControl>(IBox(10, 10, 60, 30), 1, style);
    auto* other = Add<ProbeControl>(IBox(100, 10, 150, 30));
    std::string shown;
    g->Chooser().menu = [&](const IPopupMenu& menu)
    {
        for (int i = 0; i < menu.NEntries(); ++i)
        {
            shown += menu.EntryAt(i)->text + (menu.EntryAt(i)->Has(MenuEntry::Checked) ? "*" : "");
            shown += " ";
        }
        return 3; // "hard"
    };
    Attach();
    Press(20, 20, kRight);
    EXPECT_EQ(shown, "soft medium* hard ");
    EXPECT_EQ(plug.GetParam(1)->Value(), 2.0);
    EXPECT_EQ(plug.calls,
              (std::vector<std::string>{"begin 1", "automate 1", "changed 1", "end 1"}));
    // The menu swallowed the release: the next wheel goes where the pointer is.
    EXPECT_EQ(g->captureIdx, -1);
    g->HandleWheel(120, 20, kNone, 1);
    EXPECT_EQ(other->events, std::vector<std::string>{"wheel 1"});
    g->Tick();
    EXPECT_EQ(mode->GetText(), "hard");

    // Cancelled: nothing changes, the gesture still ends.
    g->Chooser().menu = [](const IPopupMenu&) { return 0; };
    plug.calls.clear();
    Press(20, 20, kRight);
    EXPECT_EQ(plug.calls, (std::vector<std::string>{"begin 1", "end 1"}));
}

TEST_F(EditorTest, ParameterMenusBreakColumnsEvery24Items)
{
    plug.GetParam(1)->DefineEnum("Mode", 0, 50);
    for (int i = 3; i < 50; ++i)
    {
        const std::string text = std::to_string(i);
        plug.GetParam(1)->AddDisplayText(i, text.c_str());
    }
    auto* mode = Add<ProbeControl>(IBox(0, 0, 10, 10), 1);
    auto* none = Add<ProbeControl>(IBox(0, 0, 10, 10), 0);
    Attach();
    EXPECT_EQ(none->BuildParamMenu(), nullptr); // continuous
    std::unique_ptr<IPopupMenu> menu(mode->BuildParamMenu());
    ASSERT_EQ(menu->NEntries(), 50);
    std::vector<int> breaks;
    for (int i = 0; i < 50; ++i)
    {
        if (menu->EntryAt(i)->Has(MenuEntry::ColumnBreak))
        {
            breaks.push_back(i + 1);
        }
    }
    EXPECT_EQ(breaks, (std::vector<int>{25, 49}));
    mode->MenuChosen(menu.get(), 30);
    EXPECT_EQ(plug.GetParam(1)->Value(), 30.0);
}
