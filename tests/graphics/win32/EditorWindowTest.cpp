// The Win32 editor window as a host drives it: opened through a test
// effect's dispatcher inside a top-level window and worked with real window
// messages. The effect's editor has a knob, a switch, a caption of a
// three-way choice and two probes, built on the module's own images.

#include "framework/vst/EffectEntry.h"
#include "graphics/EditorGraphics.h"
#include "graphics/ICaptionControl.h"
#include "graphics/IKnobMultiControl.h"
#include "graphics/ISwitchControl.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "graphics/win32/IGraphicsWin.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/PngWriter.h"
#include "tests/support/RealInput.h"
#include "tests/support/ScriptedHost.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace
{

enum
{
    kGain,   // continuous 0..10
    kBypass, // switch
    kMode,   // "soft", "medium", "hard"
    kTime,   // continuous 1..2000 ms
    kNumParams
};

const IBox kGainBox(100, 100, 140, 140);
const IBox kBypassBox(200, 100, 214, 114);
const IBox kModeBox(300, 100, 400, 120);
const IBox kModeMenuBox(300, 200, 400, 220);
const IBox kTimeBox(100, 200, 140, 240);
const IBox kKeyProbeBox(500, 100, 560, 160);

// Records the key codes it receives.
struct KeyProbe : IControl
{
    KeyProbe(IPlugBase* plug) : IControl(plug, kKeyProbeBox) {}
    bool Paint(IGraphics*) override { return true; }
    void KeyDown(int, int, int key) override { keys.push_back(key); }
    std::vector<int> keys;
};

// Asks for its parameter with the menu of display texts, two to a column.
struct MenuProbe : IControl
{
    MenuProbe(IPlugBase* plug) : IControl(plug, kModeMenuBox, kMode) {}
    bool Paint(IGraphics*) override { return true; }
    void MouseDown(int, int, const IMouseKeys&) override
    {
        Graphics()->PromptFromMenu(this, Param(), 2);
    }
};

class WindowTestEffect : public IPlugVST
{
public:
    WindowTestEffect(audioMasterCallback host, bool headless)
        : IPlugVST(host, kNumParams, "1-1 2-2", 1, "WinFx", "", "Testers", 0x00010000, 0x77547374,
                   0x77547376, 0, false, false, false)
    {
        GetParam(kGain)->DefineContinuous("Gain", 5.0, 0.0, 10.0, 0.01, "dB");
        GetParam(kBypass)->DefineSwitch("Bypass", false);
        GetParam(kMode)->DefineEnum("Mode", 1, 3);
        GetParam(kMode)->AddDisplayText(0, "soft");
        GetParam(kMode)->AddDisplayText(1, "medium");
        GetParam(kMode)->AddDisplayText(2, "hard");
        GetParam(kTime)->DefineContinuous("Time", 250.0, 1.0, 2000.0, 1.0, "ms");

        IGraphics* g = headless ? new IGraphicsHeadless(this, 720, 650)
                                : CreateEditorGraphics(this, 720, 650, 0);
        g->SetBackground(100, "delay-bg_v2.png");
        const IBitmapRef knob = g->LoadBitmapRef(102, "knob-40x101.png", 101);
        g->AddControl(new IKnobMultiControl(this, kGainBox.left, kGainBox.top, kGain, knob));
        g->AddControl(new ISwitchControl(this, kBypassBox.left, kBypassBox.top, kBypass,
                                         g->LoadBitmapRef(112, "on-off-14x14.png", 2)));
        const ITextStyle style("Arial", 14, IColorRGBA(255, 240, 240, 240), ITextStyle::Normal,
                               ITextStyle::Centre);
        g->AddControl(new ICaptionControl(this, kModeBox, kMode, style));
        g->AddControl(new IKnobMultiControl(this, kTimeBox.left, kTimeBox.top, kTime, knob));
        g->AddControl(keyProbe = new KeyProbe(this));
        g->AddControl(new MenuProbe(this));
        AttachEditor(g);
    }

    IGraphics* Graphics() const { return static_cast<IGraphics*>(GetEditor()); }
    KeyProbe* keyProbe = nullptr;
};

IPlugVST* MakeWindowTestEffect(audioMasterCallback host)
{
    return new WindowTestEffect(host, false);
}

// Runs the message loop for ms milliseconds.
void Pump(int ms)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    do
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(2);
    } while (GetTickCount64() < end);
}

bool PumpUntil(const std::function<bool()>& done)
{
    const ULONGLONG end = GetTickCount64() + 3000;
    while (!done())
    {
        if (GetTickCount64() > end) return false;
        Pump(5);
    }
    return true;
}

// Calls step on a thread timer, which also runs inside modal loops, until
// it answers true. After five seconds it closes the menu instead, so a step
// that never succeeds cannot hang the run.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<bool()> step)
    {
        sStep = std::move(step);
        sDeadline = GetTickCount64() + 5000;
        timer = SetTimer(nullptr, 0, 30, &ModalDriver::Tick);
    }
    ~ModalDriver()
    {
        KillTimer(nullptr, timer);
        sStep = nullptr;
    }
    static inline bool timedOut = false;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (!sStep) return;
        if (sStep())
        {
            sStep = nullptr;
        }
        else if (GetTickCount64() > sDeadline)
        {
            timedOut = true;
            sStep = nullptr;
            EndMenu();
        }
    }
    UINT_PTR timer = 0;
    static inline std::function<bool()> sStep;
    static inline ULONGLONG sDeadline = 0;
};

HMENU OpenMenu()
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu)
               ? reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0))
               : nullptr;
}

// The audioMaster calls about parameter edits: "begin N", "automate N", "end N".
std::vector<std::string> EditCalls(const ScriptedHost& host)
{
    std::vector<std::string> out;
    for (const ScriptedHost::Call& c : host.calls)
    {
        const char* what = c.opcode == audioMasterAutomate    ? "automate "
                           : c.opcode == audioMasterBeginEdit ? "begin "
                           : c.opcode == audioMasterEndEdit   ? "end "
                                                              : nullptr;
        if (what) out.push_back(what + std::to_string(c.index));
    }
    return out;
}
using Calls = std::vector<std::string>;

bool ClassRegistered(void* instance)
{
    WNDCLASSW wc;
    return GetClassInfoW(static_cast<HINSTANCE>(instance), L"IPlugWndClass", &wc) != FALSE;
}

// A window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Update boxes of the paint messages the editor window receives.
std::vector<IBox> gPainted;
WNDPROC gEditorProc = nullptr;
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    RECT r;
    if (msg == WM_PAINT && GetUpdateRect(hwnd, &r, FALSE))
        gPainted.emplace_back(r.left, r.top, r.right, r.bottom);
    return CallWindowProcW(gEditorProc, hwnd, msg, wp, lp);
}

class EditorWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        effect = CreateEffectInstance(host.Callback(), &MakeWindowTestEffect);
        ASSERT_NE(effect, nullptr);
        fx = static_cast<WindowTestEffect*>(IPlugVST::FromEffect(effect));
        g = dynamic_cast<IGraphicsWin*>(fx->Graphics());
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(effect->flags, 0x1019);
        ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
        editor = static_cast<HWND>(g->NativeWindow());
        SetCursorPos(1200, 1000);
        // Painted until nothing is left to paint.
        PumpUntil(
            [this]
            {
                for (int i = 0; i < g->NControls(); ++i)
                    if (g->GetControl(i)->NeedsPaint()) return false;
                return true;
            });
        Pump(60);
        host.calls.clear();
    }

    void TearDown() override
    {
        if (!effect) return;
        Dispatch(effEditClose);
        Dispatch(effClose);
        EXPECT_FALSE(ModalDriver::timedOut);
    }

    // One frame serves every test (top-level windows are slow to go under
    // Wine); tests that need a parent destroyed use a child of it.
    static HWND Frame()
    {
        static HWND frame = []
        {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ZelborTestHost";
            RegisterClassW(&wc);
            HWND hwnd =
                CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 780, 720, nullptr, nullptr, wc.hInstance, nullptr);
            SetForegroundWindow(hwnd);
            return hwnd;
        }();
        return frame;
    }
    HWND Container()
    {
        return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 750, 680, parent,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }

    VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, void* ptr = nullptr)
    {
        return effect->dispatcher(effect, op, index, 0, ptr, 0.0f);
    }

    // A press alone is what a modal prompt sees: the prompt takes the release.
    void Press(const IBox& b, UINT msg = WM_LBUTTONDOWN)
    {
        const WPARAM keys = msg == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
        SendMessageW(editor, msg, keys, MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2));
    }
    void Click(const IBox& b, UINT msg = WM_LBUTTONDOWN)
    {
        Press(b, msg);
        SendMessageW(editor, msg + 1, 0,
                     MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2));
    }
    void Wheel(const IBox& b, int delta)
    {
        POINT p = {(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        ClientToScreen(editor, &p);
        SendMessageW(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(p.x, p.y));
    }

    HWND OpenTimeEntry()
    {
        Press(kTimeBox, WM_RBUTTONDOWN);
        return GetDlgItem(editor, IGraphicsWin::kEntryId);
    }
    bool EntryGone()
    {
        return PumpUntil([this] { return !GetDlgItem(editor, IGraphicsWin::kEntryId); });
    }

    double Normalised(int param) const { return effect->getParameter(effect, param); }
    double Plain(int param) const { return fx->GetParam(param)->Value(); }

    ScriptedHost host;
    HWND parent = Frame();
    AEffect* effect = nullptr;
    WindowTestEffect* fx = nullptr;
    IGraphicsWin* g = nullptr;
    HWND editor = nullptr;
};

TEST_F(EditorWindow, MouseGesturesReachTheHostInOrder)
{
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 120));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 116));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 112));
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(120, 112));
    EXPECT_NEAR(Normalised(kGain), 0.7, 1e-6); // 8 pixels up a 40-pixel knob
    EXPECT_EQ(EditCalls(host), (Calls{"begin 0", "automate 0", "automate 0", "end 0"}));
    EXPECT_EQ(GetCapture(), nullptr);

    host.calls.clear();
    Click(kBypassBox);
    EXPECT_EQ(Plain(kBypass), 1.0);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 1", "automate 1", "end 1"}));

    Wheel(kGainBox, 120);
    Wheel(kGainBox, 60); // less than a notch
    Wheel(kGainBox, -240);
    EXPECT_NEAR(Normalised(kGain), 0.69, 1e-6);
    SendMessageW(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(120, 120));
    EXPECT_NEAR(Normalised(kGain), 0.5, 1e-6); // the default again
}

TEST_F(EditorWindow, KeysReachTheControlUnderTheCursor)
{
    POINT p = {530, 130};
    ClientToScreen(editor, &p);
    SetCursorPos(p.x, p.y);
    for (WPARAM vk : std::vector<WPARAM>{VK_SPACE, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, '0', '9', 'A',
                                         'Z', VK_F1, VK_RETURN})
        SendMessageW(editor, WM_KEYDOWN, vk, 0);
    EXPECT_EQ(fx->keyProbe->keys, (std::vector<int>{0, 1, 2, 3, 4, 5, 14, 15, 40}));
}

TEST_F(EditorWindow, HostChangeRepaintsOnlyTheBoundControl)
{
    gEditorProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
    gPainted.clear();
    Pump(150);
    EXPECT_TRUE(gPainted.empty()); // idle ticks draw nothing

    effect->setParameter(effect, kGain, 0.9f);
    EXPECT_TRUE(PumpUntil([] { return !gPainted.empty(); }));
    Pump(150);
    for (const IBox& b : gPainted)
        EXPECT_EQ(b, kGainBox);
    EXPECT_TRUE(EditCalls(host).empty());

    // At twice the size the knob covers twice the pixels, and a change is
    // painted there.
    g->SetScale(200);
    Pump(150);
    gPainted.clear();
    effect->setParameter(effect, kGain, 0.2f);
    EXPECT_TRUE(PumpUntil([] { return !gPainted.empty(); }));
    Pump(150);
    for (const IBox& b : gPainted)
        EXPECT_EQ(b, IBox(200, 200, 280, 280));
    SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gEditorProc));
}

TEST_F(EditorWindow, EntryCommitsOnReturn)
{
    const int fonts = IGraphicsWin::LiveFontCount();
    HWND entry = OpenTimeEntry();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(GetFocus(), entry);
    const RECT r = RectInParent(entry);
    EXPECT_EQ(r.left, 120 - 18);
    EXPECT_EQ(r.top, 220 - 8);
    EXPECT_EQ(r.right - r.left, 72);
    EXPECT_EQ(r.bottom - r.top, 20);
    wchar_t text[32] = {};
    GetWindowTextW(entry, text, 32);
    EXPECT_STREQ(text, L"250");
    EXPECT_EQ(IGraphicsWin::LiveFontCount(), fonts + 1);
    // The press that opened the entry has ended its gesture.
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 3", "end 3"}));

    SetWindowTextW(entry, L"1000");
    SendMessageW(entry, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(EntryGone());
    EXPECT_EQ(Plain(kTime), 1000.0);
    // The commit is a gesture of its own.
    EXPECT_EQ(EditCalls(host), (Calls{"begin 3", "end 3", "begin 3", "automate 3", "end 3"}));
    EXPECT_EQ(IGraphicsWin::LiveFontCount(), fonts);
}

// What a user does with the mouse and keyboard, as the window system
// delivers it: the release of the right-click lands on the entry under the
// pointer, which must neither open an editing menu nor keep the editor from
// the next drag.
TEST_F(EditorWindow, RealRightClickTypeAndReturnThenDrag)
{
    auto pointAt = [this](int x, int y)
    {
        SendPointerTo(editor, x, y);
        Pump(30);
    };
    auto button = [](DWORD flags)
    {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        SendInput(1, &in, sizeof(in));
        Pump(30);
    };
    auto key = [](WORD vk)
    {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = vk;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
        Pump(30);
    };
    SetForegroundWindow(parent);
    pointAt(120, 220);
    button(MOUSEEVENTF_RIGHTDOWN);
    button(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(PumpUntil([this] { return GetDlgItem(editor, IGraphicsWin::kEntryId); }));
    Pump(150);
    EXPECT_EQ(OpenMenu(), nullptr);
    for (WORD vk : {WORD('1'), WORD('2'), WORD('3'), WORD(VK_RETURN)})
        key(vk);
    ASSERT_TRUE(EntryGone());
    EXPECT_EQ(Plain(kTime), 123.0);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 3", "end 3", "begin 3", "automate 3", "end 3"}));

    // Escape cancels what was typed; the editor stays. (A pause first, so
    // the right-click does not pair with the last one.)
    Pump(600);
    pointAt(120, 220);
    button(MOUSEEVENTF_RIGHTDOWN);
    button(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(PumpUntil([this] { return GetDlgItem(editor, IGraphicsWin::kEntryId); }));
    Pump(150);
    for (WORD vk : {WORD('9'), WORD(VK_ESCAPE)})
        key(vk);
    ASSERT_TRUE(EntryGone());
    EXPECT_EQ(Plain(kTime), 123.0);
    EXPECT_TRUE(IsWindow(editor));

    host.calls.clear();
    pointAt(120, 120);
    button(MOUSEEVENTF_LEFTDOWN);
    pointAt(120, 116);
    pointAt(120, 112);
    button(MOUSEEVENTF_LEFTUP);
    EXPECT_NEAR(Normalised(kGain), 0.7, 1e-6);
    ASSERT_FALSE(EditCalls(host).empty());
    EXPECT_EQ(EditCalls(host).front(), "begin 0");
    EXPECT_EQ(EditCalls(host).back(), "end 0");
}

// Another window takes the mouse during a drag (a switch to another
// program): the host gets the drag's end-edit then, and only then.
TEST_F(EditorWindow, LosingTheMouseDuringADragEndsTheGesture)
{
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 120));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 116));
    SetCapture(parent);
    const Calls dragged = {"begin 0", "automate 0", "end 0"};
    EXPECT_EQ(EditCalls(host), dragged);
    ReleaseCapture();
    SendMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(120, 112));
    EXPECT_EQ(EditCalls(host), dragged);
}

// A host that closes the editor during a drag still gets the drag's
// end-edit, once.
TEST_F(EditorWindow, ClosingDuringADragEndsTheGesture)
{
    SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 120));
    SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 116));
    Dispatch(effEditClose);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 0", "automate 0", "end 0"}));
    ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
    editor = static_cast<HWND>(g->NativeWindow());
}

TEST_F(EditorWindow, EntryCancelsOnRightClickAndCommitsOnLeftClickOnceUnfocused)
{
    HWND entry = OpenTimeEntry();
    ASSERT_NE(entry, nullptr);
    SetWindowTextW(entry, L"5");
    Click(kGainBox, WM_RBUTTONDOWN);
    ASSERT_TRUE(EntryGone());
    EXPECT_EQ(Plain(kTime), 250.0);

    entry = OpenTimeEntry();
    ASSERT_NE(entry, nullptr);
    SetWindowTextW(entry, L"700");
    host.calls.clear();
    Click(kGainBox); // while the entry has the focus: nothing at all
    Pump(100);
    EXPECT_EQ(GetDlgItem(editor, IGraphicsWin::kEntryId), entry);
    EXPECT_TRUE(EditCalls(host).empty());
    SetFocus(parent);
    Click(kBypassBox); // commits, and presses the switch
    ASSERT_TRUE(EntryGone());
    EXPECT_EQ(Plain(kTime), 700.0);
    EXPECT_EQ(Plain(kBypass), 1.0);
}

TEST_F(EditorWindow, MenuChoiceEndsTheGesture)
{
    int items = 0;
    bool mediumTicked = false;
    ModalDriver driver(
        [&]
        {
            HMENU menu = OpenMenu();
            if (!menu) return false;
            items = GetMenuItemCount(menu);
            mediumTicked = GetMenuState(menu, 1, MF_BYPOSITION) & MF_CHECKED;
            // Up from no selection reaches the last item, "hard".
            PostMessageW(FindWindowW(L"#32768", nullptr), WM_KEYDOWN, VK_UP, 0);
            PostMessageW(FindWindowW(L"#32768", nullptr), WM_KEYDOWN, VK_RETURN, 0);
            return true;
        });
    Press(kModeBox, WM_RBUTTONDOWN);
    EXPECT_EQ(items, 3);
    EXPECT_TRUE(mediumTicked);
    EXPECT_EQ(Plain(kMode), 2.0);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 2", "automate 2", "end 2"}));

    // The release went with the menu: the next wheel reaches the knob under it.
    EXPECT_EQ(GetCapture(), nullptr);
    Wheel(kGainBox, 120);
    EXPECT_NEAR(Normalised(kGain), 0.51, 1e-6);
    EXPECT_EQ(Plain(kMode), 2.0);
}

TEST_F(EditorWindow, MenuOfDisplayTextsLeavesSystemSettingsAlone)
{
    BOOL animation = FALSE, fade = FALSE;
    SystemParametersInfoW(SPI_GETMENUANIMATION, 0, &animation, 0);
    SystemParametersInfoW(SPI_GETMENUFADE, 0, &fade, 0);
    bool settingsKept = false;
    bool columns = false;
    ModalDriver driver(
        [&]
        {
            HMENU menu = OpenMenu();
            if (!menu) return false;
            columns = (GetMenuState(menu, 2, MF_BYPOSITION) & MF_MENUBARBREAK) &&
                      !(GetMenuState(menu, 1, MF_BYPOSITION) & MF_MENUBARBREAK);
            BOOL a = !animation, f = !fade;
            SystemParametersInfoW(SPI_GETMENUANIMATION, 0, &a, 0);
            SystemParametersInfoW(SPI_GETMENUFADE, 0, &f, 0);
            settingsKept = a == animation && f == fade;
            EndMenu(); // nothing chosen
            return true;
        });
    Press(kModeMenuBox);
    EXPECT_TRUE(columns);
    EXPECT_TRUE(settingsKept);
    EXPECT_EQ(Plain(kMode), 1.0);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 2", "end 2"}));
    EXPECT_EQ(g->captureIdx, -1);
}

TEST_F(EditorWindow, ReopeningKeepsSizeAndPlace)
{
    SetWindowPos(editor, nullptr, 10, 20, 500, 400, SWP_NOZORDER);
    ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
    RECT r = RectInParent(static_cast<HWND>(g->NativeWindow()));
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 400);
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);

    // Closed first, it opens at the editor's own size, which the host reads.
    EXPECT_EQ(Dispatch(effEditClose), 1);
    ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
    r = RectInParent(static_cast<HWND>(g->NativeWindow()));
    ERect* rect = nullptr;
    ASSERT_EQ(Dispatch(effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right - r.left, rect->right - rect->left);
    EXPECT_EQ(r.bottom - r.top, rect->bottom - rect->top);
    EXPECT_EQ(rect->right, 720);
    EXPECT_EQ(rect->bottom, 650);
}

TEST_F(EditorWindow, ClassIsRegisteredWhileAnyEditorIsOpen)
{
    AEffect* second = CreateEffectInstance(host.Callback(), &MakeWindowTestEffect);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->dispatcher(second, effEditOpen, 0, 0, parent, 0.0f), 1);
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 2);
    EXPECT_TRUE(ClassRegistered(g->Instance()));
    EXPECT_EQ(Dispatch(effEditClose), 1);
    EXPECT_TRUE(ClassRegistered(g->Instance()));
    second->dispatcher(second, effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(ClassRegistered(g->Instance()));
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(EditorWindow, NullOrDestroyedParentOpensNothing)
{
    Dispatch(effEditClose);
    EXPECT_EQ(Dispatch(effEditOpen, 0, nullptr), 0);
    HWND gone = Container();
    DestroyWindow(gone);
    EXPECT_EQ(Dispatch(effEditOpen, 0, gone), 0);
    EXPECT_FALSE(g->IsWindowOpen());
    EXPECT_FALSE(ClassRegistered(g->Instance()));
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
}

// The window going in every other way: by a close message while the entry
// has the focus, with its parent, or closed by the host while a menu of the
// editor is open. Nothing is left behind, and the editor opens again.
TEST_F(EditorWindow, WindowGoingUnexpectedlyLeavesNothingBehind)
{
    const int fonts = IGraphicsWin::LiveFontCount();
    ASSERT_NE(OpenTimeEntry(), nullptr);
    SendMessageW(editor, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_FALSE(g->IsWindowOpen());
    EXPECT_EQ(IGraphicsWin::LiveFontCount(), fonts);
    EXPECT_EQ(Dispatch(effEditClose), 1);
    EXPECT_FALSE(ClassRegistered(g->Instance()));

    HWND container = Container();
    ASSERT_EQ(Dispatch(effEditOpen, 0, container), 1);
    DestroyWindow(container);
    EXPECT_FALSE(g->IsWindowOpen());
    Pump(100);
    EXPECT_EQ(Dispatch(effEditClose), 1);
    EXPECT_FALSE(ClassRegistered(g->Instance()));

    ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
    editor = static_cast<HWND>(g->NativeWindow());
    host.calls.clear();
    ModalDriver driver(
        [this]
        {
            if (!OpenMenu()) return false;
            Dispatch(effEditClose);
            return true;
        });
    Press(kModeBox, WM_RBUTTONDOWN);
    EXPECT_FALSE(g->IsWindowOpen());
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
    EXPECT_EQ(EditCalls(host), (Calls{"begin 2", "end 2"}));

    // The host deletes the effect with the editor and an entry open.
    ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
    editor = static_cast<HWND>(g->NativeWindow());
    ASSERT_NE(OpenTimeEntry(), nullptr);
    Dispatch(effClose);
    effect = nullptr;
    Pump(100);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(IGraphicsWin::LiveFontCount(), 0); // the caption's went with its control
    EXPECT_FALSE(ClassRegistered(GetModuleHandleW(nullptr)));
}

TEST_F(EditorWindow, OpenCloseCyclesLeakNothing)
{
    // Counted after the first paint, which made the caption's font.
    const int fonts = IGraphicsWin::LiveFontCount();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 200; ++i)
    {
        Dispatch(effEditClose);
        ASSERT_EQ(Dispatch(effEditOpen, 0, parent), 1);
        editor = static_cast<HWND>(g->NativeWindow());
        UpdateWindow(editor);
        if (i % 10 == 0) OpenTimeEntry(); // closed with the window
    }
    Dispatch(effEditClose);
    EXPECT_EQ(IGraphicsWin::LiveFontCount(), fonts);
    // Where the system counts its objects (Wine does not: both stay 0).
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
}

// Outside the text, the window shows pixel for pixel what the headless
// layer renders of the same editor (which draws no text here).
TEST_F(EditorWindow, WindowShowsWhatTheHeadlessLayerRenders)
{
    LICE_SysBitmap shot(720, 650);
    HDC windowDc = GetDC(editor);
    BitBlt(static_cast<HDC>(shot.DeviceContext()), 0, 0, 720, 650, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    ReleaseDC(editor, windowDc);
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string png = std::string(folder) + "zelbor-editor-window.png";
    EXPECT_TRUE(WritePngFile(&shot, png.c_str(), true));
    std::printf("editor window captured to %s\n", png.c_str());

    WindowTestEffect reference(nullptr, true);
    auto* headless = static_cast<IGraphicsHeadless*>(reference.Graphics());
    ASSERT_TRUE(headless->PaintAll());
    int outside = 0;
    int inText = 0;
    for (int y = 0; y < 650; ++y)
        for (int x = 0; x < 720; ++x)
        {
            const bool same =
                ((shot.Bits()[y * shot.RowSpan() + x] ^ headless->PeekPixel(x, y).Pack()) &
                 0xFFFFFF) == 0;
            (kModeBox.Contains(x, y) ? inText : outside) += same ? 0 : 1;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inText, 20); // the caption's text is there
}

// The editor sits in two nested child windows of the frame: the window, its
// parent and its grandparent follow the change in size, the frame does not.
TEST_F(EditorWindow, ResizingGrowsParentAndGrandparent)
{
    Dispatch(effEditClose);
    HWND outer = Container();
    HWND inner = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 5, 5, 730, 660, outer,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(Dispatch(effEditOpen, 0, inner), 1);
    RECT frame, frameAfter;
    GetWindowRect(parent, &frame);
    g->ResizeEditor(800, 700);
    auto size = [](HWND hwnd)
    {
        const RECT r = RectInParent(hwnd);
        return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
    };
    EXPECT_EQ(size(static_cast<HWND>(g->NativeWindow())), "800x700");
    EXPECT_EQ(size(inner), "810x710");
    EXPECT_EQ(size(outer), "830x730");
    GetWindowRect(parent, &frameAfter);
    EXPECT_TRUE(EqualRect(&frame, &frameAfter));
    ERect* rect = nullptr;
    ASSERT_EQ(Dispatch(effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right, 800);
    EXPECT_EQ(rect->bottom, 700);
    DestroyWindow(outer);
}

// Anything but a web address is refused without the shell, and the error
// text is shown.
TEST_F(EditorWindow, WebPageOpensOnlyWebAddresses)
{
    bool errorShown = false;
    ModalDriver driver(
        [&]
        {
            HWND box = FindWindowW(L"#32770", L"Web");
            if (!box) return false;
            errorShown = FindWindowExW(box, nullptr, nullptr, L"No page") != nullptr;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return true;
        });
    EXPECT_FALSE(g->OpenWebPage("C:\\windows\\notepad.exe", "Web", nullptr, "No page"));
    EXPECT_TRUE(errorShown);
}

// A host whose editor window is owned by its main window: the main window
// takes no input while a file dialog is up, so the effect cannot be closed
// under it, and works again after.
TEST_F(EditorWindow, AFileDialogDisablesTheHostsOwningWindow)
{
    HWND main = CreateWindowExW(0, L"ZelborTestHost", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(main, nullptr);
    SetWindowLongPtrW(parent, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(main));
    int mainEnabled = -1;
    ModalDriver driver(
        [&]
        {
            HWND dialog = FindWindowW(L"#32770", nullptr);
            if (!dialog || !IsWindowVisible(dialog)) return false;
            mainEnabled = IsWindowEnabled(main);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
    std::string path = "unchanged";
    g->AskForFilePath(path, FileOpen, nullptr, "preset");
    EXPECT_EQ(mainEnabled, 0);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(path.empty());
    SetWindowLongPtrW(parent, GWLP_HWNDPARENT, 0);
    DestroyWindow(main);
}

// Figures, not a check: a full repaint and present of the open window
// against one block copy of the whole editor, medians of 100 runs each.
TEST_F(EditorWindow, RepaintCostAgainstOneBlockCopy)
{
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    auto median = [&freq](const std::function<void()>& run)
    {
        std::vector<double> us;
        for (int i = 0; i < 100; ++i)
        {
            LARGE_INTEGER t0, t1;
            QueryPerformanceCounter(&t0);
            run();
            GdiFlush();
            QueryPerformanceCounter(&t1);
            us.push_back(1e6 * double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart));
        }
        std::sort(us.begin(), us.end());
        return us[us.size() / 2];
    };
    HDC dc = GetDC(editor);
    HDC back = static_cast<HDC>(g->BackBuffer()->DeviceContext());
    const double copy = median([&] { BitBlt(dc, 0, 0, 720, 650, back, 0, 0, SRCCOPY); });
    ReleaseDC(editor, dc);
    const double repaint = median(
        [this]
        {
            InvalidateRect(editor, nullptr, FALSE);
            UpdateWindow(editor);
        });
    std::printf("block copy 720 x 650: %.1f us; full repaint and present: %.1f us; ratio %.2f\n",
                copy, repaint, repaint / copy);
}

} // namespace
