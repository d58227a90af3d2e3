// The effect's editor driven through the mouse on the headless layer, at the
// coordinates a user clicks, with the effect's own handlers behind it.

#include "plugin/DelayEditor.h"

#include "graphics/IKnobMultiControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/ISpinnerControl.h"
#include "graphics/ISwitchControl.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "plugin/Delay.h"
#include "plugin/DelayModeControl.h"
#include "plugin/InputPortControl.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetNameControl.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

const IMouseKeys kLeft(true, false, false, false, false);
const IMouseKeys kRight(false, true, false, false, false);

int Row(int tap)
{
    return 305 + 32 * tap;
}

// "A- B C* ..." : disabled items carry "-", checked ones "*".
std::string Describe(const IPopupMenu& menu)
{
    std::string out;
    for (int i = 0; i < menu.NEntries(); ++i)
    {
        const MenuEntry* e = menu.EntryAt(i);
        if (e->Has(MenuEntry::Separator))
        {
            out += "| ";
            continue;
        }
        out += e->text;
        if (e->submenu)
        {
            out += '[';
            out += Describe(*e->submenu);
            out += ']';
        }
        out += e->Has(MenuEntry::Disabled) ? "-" : "";
        out += e->Has(MenuEntry::Checked) ? "*" : "";
        out += ' ';
    }
    return out;
}

class DelayEditorTest : public ::testing::Test
{
protected:
    DelayEditorTest() : delay(nullptr)
    {
        editor = delay.EditorView();
        g = editor ? dynamic_cast<IGraphicsHeadless*>(editor->Graphics()) : nullptr;
        if (g)
        {
            g->OpenEditorWindow(this);
            g->PaintAll();
        }
    }

    void SetUp() override
    {
        ASSERT_NE(editor, nullptr);
        if (!g)
        {
            GTEST_SKIP() << "the editor here has a window layer of its own";
        }
    }

    // A change from the host: value, controls, handler.
    void HostSet(int idx, double plain)
    {
        PlugLockGuard guard(delay.Lock());
        delay.GetParam(idx)->SetValue(plain);
        g->PushParamToControls(idx, plain, false);
        delay.ParamChanged(idx);
    }

    void Click(int x, int y, const IMouseKeys& keys = kLeft)
    {
        g->HandleMouseDown(x, y, keys);
        g->HandleMouseUp(x, y, IMouseKeys());
        g->Tick();
    }

    // Opens the menu of the control at (x, y), records it and picks the item
    // with that text (none when null).
    std::string OpenMenu(int x, int y, const char* pick = nullptr, const IMouseKeys& keys = kLeft)
    {
        std::string seen;
        g->Chooser().menu = [&](const IPopupMenu& menu)
        {
            seen = Describe(menu);
            for (int id = 1; pick && id <= menu.Total(); ++id)
            {
                const MenuEntry* e = menu.EntryByFlatIndex(id - 1);
                if (e && e->text == pick)
                {
                    return id;
                }
            }
            return 0;
        };
        Click(x, y, keys);
        g->Chooser().menu = nullptr;
        return seen;
    }

    bool StripShown(int tap) { return !editor->Strip(tap).feedback->hidden; }

    Delay delay;
    DelayEditor* editor = nullptr;
    IGraphicsHeadless* g = nullptr;
};

} // namespace

TEST_F(DelayEditorTest, StripsShowWhatTheirLineUses)
{
    EXPECT_EQ(g->Width(), 720);
    EXPECT_EQ(g->Height(), 650);
    for (int tap = 0; tap < kNumTaps; ++tap)
    {
        const TapStrip& s = editor->Strip(tap);
        EXPECT_EQ(StripShown(tap), tap < 2) << tap;
        EXPECT_FALSE(s.input->hidden || s.source->hidden || s.mode->hidden);
        EXPECT_EQ(s.time->hidden, tap >= 2);
        EXPECT_TRUE(s.bpm->hidden);
    }
    // A click where strip C's time knob would be reaches the background.
    EXPECT_EQ(g->ControlAt(134, Row(2) + 12), 0);

    HostSet(kBaseMode + 1, 0); // B in bpm
    g->Tick();
    EXPECT_TRUE(editor->Strip(1).time->hidden);
    EXPECT_FALSE(editor->Strip(1).bpm->hidden);
    EXPECT_EQ(editor->Strip(1).bpm->GetText(), "1/4");

    HostSet(kBaseRx + 2, 0); // C hears A
    EXPECT_TRUE(StripShown(2));
    EXPECT_FALSE(editor->Strip(2).time->hidden);
}

TEST_F(DelayEditorTest, TimeModeSwitchLiesOverTheSourceSelector)
{
    const int y = Row(1);
    Click(110, y + 15);
    EXPECT_EQ(delay.GetParam(kBaseMode + 1)->Value(), 0.0); // bpm
    Click(110, y + 15);
    EXPECT_EQ(delay.GetParam(kBaseMode + 1)->Value(), 1.0); // msec

    // "join" has nothing to join on A and leaves B in msec.
    EXPECT_EQ(OpenMenu(110, Row(0) + 15, nullptr, kRight), "bpm msec* | join- ");
    EXPECT_EQ(OpenMenu(110, y + 15, "join", kRight), "bpm msec* | join ");
    EXPECT_EQ(delay.GetParam(kBaseMode + 1)->Value(), 1.0);
    OpenMenu(110, y + 15, "bpm", kRight);
    EXPECT_EQ(delay.GetParam(kBaseMode + 1)->Value(), 0.0);
}

TEST_F(DelayEditorTest, SourceMenusOfferOnlyTapsThatCloseNoLoop)
{
    auto menuOf = [&](int tap) { return OpenMenu(95, Row(tap) + 5); };
    EXPECT_EQ(menuOf(0), "A- B C D E F G H | None* ");

    HostSet(kBaseRx + 1, 0); // B <- A
    EXPECT_EQ(menuOf(0), "A- B- C D E F G H | None* ");
    EXPECT_EQ(menuOf(1), "A-* B- C D E F G H | None ");

    HostSet(kBaseRx + 2, 1); // C <- B
    EXPECT_EQ(menuOf(0), "A- B- C- D E F G H | None* ");
    EXPECT_EQ(menuOf(2), "A- B-* C- D E F G H | None ");

    // The host asks A to hear C: refused. The caption shows the request,
    // the menu the source in force.
    HostSet(kBaseRx + 0, 2);
    g->Tick();
    EXPECT_EQ(editor->Strip(0).source->GetText(), "C");
    EXPECT_EQ(menuOf(0), "A- B- C- D E F G H | None* ");

    // "None" comes after the separator; it clears C's source.
    OpenMenu(95, Row(2) + 5, "None");
    EXPECT_EQ(delay.GetParam(kBaseRx + 2)->Value(), 8.0);
    EXPECT_EQ(editor->Strip(2).source->GetText(), "-");
    EXPECT_FALSE(StripShown(2));
}

TEST_F(DelayEditorTest, GlobalKnobsAndButtonsAct)
{
    // Wet: 40 px knob, divisor 8: a 40 px drag up adds an eighth.
    const double wet = delay.GetParam(kParamWet)->ToNormalized();
    g->HandleMouseDown(506, 70, kLeft);
    g->HandleMouseDrag(506, 30, IMouseKeys());
    g->HandleMouseUp(506, 30, IMouseKeys());
    EXPECT_NEAR(delay.GetParam(kParamWet)->ToNormalized(), wet + 0.125, 1e-9);

    // The scale reset puts the scale knobs back.
    IPlugParam* sclDly = delay.GetParam(kParamSclDly);
    const double initial = sclDly->Value();
    g->HandleMouseDown(430, 630, kLeft);
    g->HandleMouseDrag(430, 600, IMouseKeys());
    g->HandleMouseUp(430, 600, IMouseKeys());
    EXPECT_NE(sclDly->Value(), initial);
    Click(380, 628);
    EXPECT_DOUBLE_EQ(sclDly->Value(), initial);
    EXPECT_EQ(delay.GetParam(kParamSclRst)->Value(), 0.0);

    // Panic is pressed while held and released after.
    g->HandleMouseDown(584, 112, kLeft);
    EXPECT_EQ(delay.GetParam(kParamPanic)->Value(), 1.0);
    g->HandleMouseUp(584, 112, IMouseKeys());
    EXPECT_EQ(delay.GetParam(kParamPanic)->Value(), 0.0);
}

TEST_F(DelayEditorTest, PresetMenuListsLoadsAndSaves)
{
    ScratchDir dir;
    const fs::path folder = dir.Path() / "bank";
    fs::create_directories(folder / "Dub");
    WriteBytes(folder / "a.preset", "Delay V1.0\nparam Wet 0.25\n");
    WriteBytes(folder / "Dub" / "x.preset", "Broken header\nparam Wet 0.75\n");
    WriteBytes(dir.Path() / "Zelbor.ini", "PresetFolder \"" + Utf8(folder) + "\"\n");
    delay.Presets().Init(dir.File("Zelbor.ini").c_str());
    PresetNameControl* field = editor->PresetName();
    EXPECT_EQ(field->GetText(), "PRESET");

    const int x = 560, y = 170;
    const std::string commands = "| Load ... | Save Save As ... | Rescan ";
    EXPECT_EQ(OpenMenu(x, y), "a Dub[x ] " + commands);
    EXPECT_EQ(field->GetText(), "PRESET");

    // "Save" before any load asks for a name, like "Save As ...".
    std::vector<std::string> asked;
    std::string answer;
    g->Chooser().filePath = [&](int action, const std::string& start)
    {
        asked.push_back(std::to_string(action) + " " + start);
        return answer;
    };
    answer = Utf8(folder / "Echo");
    OpenMenu(x, y, "Save");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "1 " + Utf8(folder));
    EXPECT_TRUE(fs::exists(folder / "Echo.preset"));
    EXPECT_EQ(field->GetText(), "Echo");
    EXPECT_EQ(OpenMenu(x, y), "a Echo Dub[x ] " + commands);

    for (const char* name : {"Echo.preset", "Echo.PRESET", "a.preset.old"})
    {
        answer = Utf8(folder / name);
        OpenMenu(x, y, "Save As ...");
    }
    EXPECT_TRUE(fs::exists(folder / "Echo.PRESET.preset"));
    EXPECT_TRUE(fs::exists(folder / "a.preset.old.preset"));
    EXPECT_FALSE(fs::exists(folder / "Echo.preset.preset"));

    // "Echo" becomes Echo.preset, a file the dialog did not ask about: it is
    // replaced only when the user says so.
    WriteBytes(folder / "Echo.preset", "mine\n");
    answer = Utf8(folder / "Echo");
    for (const std::string reply : {"Cancel", "Replace \"Echo.preset\""})
    {
        std::vector<std::string> menus;
        g->Chooser().menu = [&](const IPopupMenu& menu)
        {
            menus.push_back(Describe(menu));
            const std::string pick = menus.size() == 1 ? "Save As ..." : reply;
            for (int id = 1; id <= menu.Total(); ++id)
                if (menu.EntryByFlatIndex(id - 1)->text == pick) return id;
            return 0;
        };
        Click(x, y);
        ASSERT_EQ(menus.size(), 2u);
        EXPECT_EQ(menus[1], "Replace \"Echo.preset\" Cancel ");
        EXPECT_EQ(ReadBytes(folder / "Echo.preset") == "mine\n", reply == "Cancel");
    }
    g->Chooser().menu = nullptr;

    // A listed preset whose header is broken renames the field only.
    const double wet = delay.GetParam(kParamWet)->Value();
    OpenMenu(x, y, "x");
    EXPECT_EQ(field->GetText(), "x");
    EXPECT_EQ(delay.GetParam(kParamWet)->Value(), wet);
}
