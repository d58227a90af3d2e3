// The effect's own editor in a Win32 window, as a host drives it: the effect
// is made through the module's factory, its editor opened with effEditOpen
// inside a top-level window and worked with real window messages. Captures
// of the window are compared with headless renders of a second instance.

#include "framework/vst/EffectEntry.h"
#include "framework/vst/PluginFactory.h"
#include "graphics/EditorGraphics.h"
#include "graphics/EditorSettings.h"
#include "graphics/IControl.h"
#include "graphics/headless/IGraphicsHeadless.h"
#include "graphics/win32/IGraphicsWin.h"
#include "plugin/Delay.h"
#include "plugin/DelayEditor.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/PngWriter.h"
#include "tests/support/RealInput.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ScriptedHost.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

// Editor surfaces of this program: the Win32 window layer, as the module
// makes it, or the headless layer while a reference instance is built. This
// definition stands in for the library's.
static bool gHeadlessEditors = false;
IGraphics* CreateEditorGraphics(IPlugBase* plug, int width, int height, int fps)
{
    if (gHeadlessEditors) return new IGraphicsHeadless(plug, width, height, fps);
    return new IGraphicsWin(plug, width, height, fps);
}

namespace
{

using Calls = std::vector<std::string>;
int Row(int tap)
{
    return 305 + 32 * tap;
}

// Where the window draws text with GDI and the headless layer here none: the
// name field, the readout, the echo map, the source captions and the
// note-value spinners.
bool InTextBox(int x, int y)
{
    for (const IBox& b :
         {IBox(488, 164, 645, 180), IBox(416, 213, 560, 233), IBox(24, 84, 400, 262)})
        if (b.Contains(x, y)) return true;
    for (int tap = 0; tap < kNumTaps; ++tap)
        if (IBox(90, Row(tap) + 2, 114, Row(tap) + 18).Contains(x, y) ||
            IBox(122, Row(tap) + 4, 146, Row(tap) + 20).Contains(x, y))
            return true;
    return false;
}

// Runs the message loop until done answers true or ms milliseconds have
// passed; answers whether done did.
bool Pump(
    int ms, const std::function<bool()>& done = [] { return false; })
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (!done())
    {
        if (GetTickCount64() > end) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(2);
    }
    return true;
}

bool PumpUntilPainted(IGraphics& g)
{
    auto clean = [&g]
    {
        for (int i = 0; i < g.NControls(); ++i)
            if (g.GetControl(i)->NeedsPaint()) return false;
        return true;
    };
    const bool painted = Pump(3000, clean);
    Pump(60);
    return painted;
}

HWND MenuWindow()
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// Popup menus run modal loops, where the thread timer of the fixture still
// fires: it closes a menu shown by WithMenu with that call's close, and any
// other menu at once, noting it (a press that opened a menu by mistake
// would otherwise wait for a user).
std::function<void(HMENU, HWND)> gClose;
bool gShown = false;
bool gStrayMenu = false;
void CALLBACK MenuTick(HWND, UINT, UINT_PTR, DWORD)
{
    HWND menu = MenuWindow();
    if (!menu) return;
    if (!gClose)
    {
        gStrayMenu = true;
        EndMenu();
        return;
    }
    gShown = true;
    gClose(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)), menu);
    gClose = nullptr;
}
// Sends press, which should open a menu, and closes it with close; answers
// whether a menu showed.
bool WithMenu(const std::function<void()>& press, std::function<void(HMENU, HWND)> close)
{
    gClose = std::move(close);
    gShown = false;
    press();
    gClose = nullptr;
    return gShown;
}

// A default instance drawn by the headless layer (its window a token).
std::unique_ptr<Delay> HeadlessDelay()
{
    gHeadlessEditors = true;
    auto delay = std::make_unique<Delay>(nullptr);
    gHeadlessEditors = false;
    delay->EditorView()->Graphics()->OpenEditorWindow(delay.get());
    return delay;
}

class DelayEditorWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        effect = CreateEffectInstance(host.Callback(), &CreatePluginInstance);
        ASSERT_NE(effect, nullptr);
        delay = static_cast<Delay*>(IPlugVST::FromEffect(effect));
        gStrayMenu = false;
        menuTimer = SetTimer(nullptr, 0, 30, &MenuTick);
        Dispatch(effOpen);
        Open();
    }
    void TearDown() override
    {
        KillTimer(nullptr, menuTimer);
        EXPECT_FALSE(gStrayMenu);
        if (!effect) return;
        Dispatch(effEditClose);
        Dispatch(effClose);
    }
    void Open()
    {
        static HWND frame = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 720,
                                            650, nullptr, nullptr, nullptr, nullptr);
        ASSERT_EQ(Dispatch(effEditOpen, 0, frame), 1);
        g = dynamic_cast<IGraphicsWin*>(delay->EditorView()->Graphics());
        ASSERT_NE(g, nullptr);
        editor = static_cast<HWND>(g->NativeWindow());
        ASSERT_TRUE(PumpUntilPainted(*g));
        host.calls.clear();
    }

    VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, void* ptr = nullptr)
    {
        return effect->dispatcher(effect, op, index, 0, ptr, 0.0f);
    }
    double Plain(int idx) { return delay->GetParam(idx)->Value(); }
    double Normalised(int idx) { return delay->GetParam(idx)->ToNormalized(); }
    void Send(UINT msg, int x, int y, WPARAM keys = 0)
    {
        SendMessageW(editor, msg, keys, MAKELPARAM(x, y));
    }
    void Click(int x, int y)
    {
        Send(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        Send(WM_LBUTTONUP, x, y);
    }
    void Wheel(int x, int y, int delta)
    {
        POINT p = {x, y};
        ClientToScreen(editor, &p);
        SendMessageW(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(p.x, p.y));
    }
    // "begin N", "automate N", "end N" in the order the host heard them.
    Calls EditCalls() const
    {
        Calls out;
        for (const ScriptedHost::Call& c : host.calls)
            if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterAutomate ||
                c.opcode == audioMasterEndEdit)
                out.push_back((c.opcode == audioMasterBeginEdit  ? "begin "
                               : c.opcode == audioMasterAutomate ? "automate "
                                                                 : "end ") +
                              std::to_string(c.index));
        return out;
    }

    // What the screen shows of the editor window, as 0xRRGGBB words.
    std::vector<uint32_t> Capture(const char* pngName = nullptr)
    {
        LICE_SysBitmap shot(720, 650);
        HDC dc = GetDC(editor);
        BitBlt(static_cast<HDC>(shot.DeviceContext()), 0, 0, 720, 650, dc, 0, 0, SRCCOPY);
        GdiFlush();
        ReleaseDC(editor, dc);
        if (pngName)
        {
            char folder[MAX_PATH] = {};
            GetTempPathA(MAX_PATH, folder);
            const std::string png = std::string(folder) + pngName;
            EXPECT_TRUE(WritePngFile(&shot, png.c_str(), true));
            std::printf("editor window captured to %s\n", png.c_str());
        }
        std::vector<uint32_t> out;
        for (int y = 0; y < 650; ++y)
            for (int x = 0; x < 720; ++x)
                out.push_back(shot.Bits()[y * shot.RowSpan() + x] & 0xFFFFFF);
        return out;
    }
    // Pixels of the shot unlike the reference's render, outside the text
    // boxes and inside them.
    static std::pair<int, int> Differences(const std::vector<uint32_t>& shot, Delay& ref)
    {
        auto* g = dynamic_cast<IGraphicsHeadless*>(ref.EditorView()->Graphics());
        EXPECT_TRUE(g->PaintAll());
        std::pair<int, int> n{0, 0};
        for (int y = 0; y < 650; ++y)
            for (int x = 0; x < 720; ++x)
                if (shot[y * 720 + x] != (g->PeekPixel(x, y).Pack() & 0xFFFFFF))
                    ++(InTextBox(x, y) ? n.second : n.first);
        return n;
    }

    ScriptedHost host;
    AEffect* effect = nullptr;
    Delay* delay = nullptr;
    IGraphicsWin* g = nullptr;
    HWND editor = nullptr;
    UINT_PTR menuTimer = 0;
};

TEST_F(DelayEditorWindow, OffersItsSizeAndTakesDragsAndClicks)
{
    EXPECT_TRUE(effect->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(Dispatch(effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 720);
    EXPECT_EQ(rect->bottom - rect->top, 650);

    // Wet: 16 px up a 40 px knob with a drag divisor of 8 adds 0.05.
    const double wet = Normalised(kParamWet);
    Send(WM_LBUTTONDOWN, 506, 60, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 506, 52, MK_LBUTTON);
    Send(WM_MOUSEMOVE, 506, 44, MK_LBUTTON);
    Send(WM_LBUTTONUP, 506, 44);
    EXPECT_NEAR(Normalised(kParamWet), wet + 0.05, 1e-6);
    EXPECT_EQ(EditCalls(), (Calls{"begin 0", "automate 0", "automate 0", "end 0"}));
    EXPECT_EQ(GetCapture(), nullptr);

    // The time-mode switch of strip B flips between msec (1) and bpm (0).
    host.calls.clear();
    ASSERT_EQ(Plain(kBaseMode + 1), 1.0);
    Click(110, Row(1) + 15);
    EXPECT_EQ(Plain(kBaseMode + 1), 0.0);
    EXPECT_EQ(EditCalls(), (Calls{"begin 23", "automate 23", "end 23"}));
    Click(110, Row(1) + 15);
    EXPECT_EQ(Plain(kBaseMode + 1), 1.0);
}

TEST_F(DelayEditorWindow, HostInputRevealsAStripOnTheNextTick)
{
    const std::vector<uint32_t> before = Capture();
    effect->setParameter(effect, kBaseIn + 2, 0.2f); // "L"
    EXPECT_EQ(Plain(kBaseIn + 2), 1.0);
    ASSERT_TRUE(PumpUntilPainted(*g));
    const std::vector<uint32_t> after = Capture();
    int changed = 0; // in the box of strip C's time knob
    for (int y = Row(2); y < Row(2) + 24; ++y)
        for (int x = 122; x < 146; ++x)
            changed += before[y * 720 + x] != after[y * 720 + x] ? 1 : 0;
    EXPECT_GT(changed, 100); // the knob, not a stray pixel
    EXPECT_TRUE(EditCalls().empty());

    // The whole window is what the headless layer shows of the same change.
    auto ref = HeadlessDelay();
    ref->GetAEffect()->setParameter(ref->GetAEffect(), kBaseIn + 2, 0.2f);
    EXPECT_EQ(Differences(after, *ref).first, 0);
}

TEST_F(DelayEditorWindow, ClosedMenusLeaveNoCaptureBehind)
{
    // Strip A's source selector, right button; the menu is closed unchosen.
    int items = 0;
    EXPECT_TRUE(WithMenu([&] { Send(WM_RBUTTONDOWN, 96, Row(0) + 8, MK_RBUTTON); },
                         [&](HMENU menu, HWND)
                         {
                             items = GetMenuItemCount(menu);
                             EndMenu();
                         }));
    EXPECT_EQ(items, 10); // A..H, separator, None
    EXPECT_EQ(Plain(kBaseRx + 0), 8.0);
    EXPECT_EQ(EditCalls(), (Calls{"begin 13", "end 13"}));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(g->captureIdx, -1);
    const double wet = Normalised(kParamWet);
    Wheel(506, 55, 120);
    EXPECT_NEAR(Normalised(kParamWet), wet + 0.01, 1e-6);
    EXPECT_EQ(Plain(kBaseRx + 0), 8.0);

    // The preset field's menu, closed from the keyboard.
    host.calls.clear();
    wchar_t last[64] = {};
    EXPECT_TRUE(WithMenu([&] { Send(WM_LBUTTONDOWN, 566, 172, MK_LBUTTON); },
                         [&](HMENU menu, HWND window)
                         {
                             GetMenuStringW(menu, GetMenuItemCount(menu) - 1, last, 64,
                                            MF_BYPOSITION);
                             PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
                         }));
    Pump(50);
    EXPECT_STREQ(last, L"Rescan");
    EXPECT_EQ(MenuWindow(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(EditCalls().empty()); // the name field has no host parameter
    Wheel(506, 55, -120);
    EXPECT_NEAR(Normalised(kParamWet), wet, 1e-6);
}

// Outside the text, the window shows pixel for pixel what the headless
// layer renders of a second, default instance.
TEST_F(DelayEditorWindow, WindowShowsWhatTheHeadlessLayerRenders)
{
    const auto [outside, inText] =
        Differences(Capture("zelbor-delay-editor.png"), *HeadlessDelay());
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inText, 50); // the window's text
}

TEST_F(DelayEditorWindow, ReopensAndSurvivesTheEffectGoingWithTheEditorOpen)
{
    HWND first = editor;
    EXPECT_EQ(Dispatch(effEditClose), 1);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
    Open();
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);
    EXPECT_EQ(Differences(Capture(), *HeadlessDelay()).first, 0);
    Click(110, Row(1) + 15);
    EXPECT_EQ(Plain(kBaseMode + 1), 0.0);

    Dispatch(effClose);
    effect = nullptr;
    Pump(100);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
}

} // namespace

// The thread's DPI awareness as the system reports it, -1 where it cannot.
int ThreadAwareness()
{
    HMODULE user = GetModuleHandleW(L"user32.dll");
    using GetContext = HANDLE(WINAPI*)();
    using Awareness = int(WINAPI*)(HANDLE);
    const auto get = reinterpret_cast<GetContext>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
    const auto of = reinterpret_cast<Awareness>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    return get && of ? of(get()) : -1;
}

// A real right click on the background, the size menu worked from the
// keyboard: the window takes the new size, the host hears of it, the choice
// is remembered, and the process's and thread's DPI awareness stay as the
// host set them.
TEST_F(DelayEditorWindow, SizeMenuResizesTheWindowAndTheProcessStaysAsItWas)
{
    ScratchDir settings;
    _putenv_s("APPDATA", settings.Utf8Path().c_str());
    const BOOL processAware = IsProcessDPIAware();
    const int threadAwareness = ThreadAwareness();
    auto input = [](INPUT in)
    {
        SendInput(1, &in, sizeof(in));
        Pump(30);
    };
    SetForegroundWindow(GetParent(editor));
    SendPointerTo(editor, 300, 20);
    Pump(30);
    std::wstring items;
    auto press = [&]
    {
        INPUT down = {};
        down.type = INPUT_MOUSE;
        down.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        input(down);
        Pump(1000, [] { return gShown; });
    };
    EXPECT_TRUE(
        WithMenu(press,
                 [&](HMENU menu, HWND)
                 {
                     for (int i = 0; i < GetMenuItemCount(menu); ++i)
                     {
                         wchar_t text[64] = {};
                         GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
                         const bool checked = GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED;
                         items += std::wstring(text) + (checked ? L"*;" : L";");
                     }
                     for (WORD vk : {WORD(VK_DOWN), WORD(VK_DOWN), WORD(VK_DOWN), WORD(VK_RETURN)})
                     {
                         INPUT key[2] = {};
                         key[0].type = key[1].type = INPUT_KEYBOARD;
                         key[0].ki.wVk = key[1].ki.wVk = vk;
                         key[1].ki.dwFlags = KEYEVENTF_KEYUP;
                         SendInput(2, key, sizeof(INPUT));
                     }
                 }));
    INPUT up = {};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    input(up);
    EXPECT_EQ(items, L"Editor size: 100 %*;Editor size: 125 %;Editor size: 150 %;Editor size: 175 "
                     L"%;Editor size: 200 %;");
    RECT client = {};
    ASSERT_TRUE(Pump(2000, [&] { return GetClientRect(editor, &client) && client.right == 1080; }));
    EXPECT_EQ(client.bottom, 975);
    bool toldHost = false;
    for (const ScriptedHost::Call& c : host.calls)
        toldHost |= c.opcode == audioMasterSizeWindow && c.index == 1080 && c.value == 975;
    EXPECT_TRUE(toldHost);
    ERect* rect = nullptr;
    ASSERT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    EXPECT_EQ(rect->right, 1080);
    EXPECT_EQ(EditorSettings::RememberedScale(), 150);

    // Reopened, the editor keeps the chosen size; closed, it leaves the
    // process's and thread's awareness as they were.
    Dispatch(effEditClose);
    Open();
    EXPECT_TRUE(GetClientRect(editor, &client) && client.right == 1080);
    Dispatch(effEditClose);
    EXPECT_EQ(IsProcessDPIAware(), processAware);
    EXPECT_EQ(ThreadAwareness(), threadAwareness);
    _putenv_s("APPDATA", "");
}
