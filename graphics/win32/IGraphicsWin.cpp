#include "graphics/win32/IGraphicsWin.h"

#include "framework/IPlugBase.h"
#include "graphics/EditorSettings.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "platform/win32/CodeModule.h"
#include "raster/LICE_SysBitmap.h"

#include <windows.h>
// After windows.h, which they need.
#include <atomic>
#include <commdlg.h>
#include <cstring>
#include <shellapi.h>
#include <vector>
#include <windowsx.h>
#include <wininet.h>

static_assert(sizeof(COLORREF) == sizeof(unsigned long), "custom colours are COLORREF words");

namespace
{

const wchar_t kClassName[] = L"IPlugWndClass";

// Process-wide, touched only on the thread that opens and closes editors.
int sOpenWindows = 0;
int sRepaintRate = 24;
// The class could not be unregistered because its last window was still
// being destroyed; the next chance unregisters it.
HINSTANCE sPendingUnregister = nullptr;

std::atomic<int> sLiveFonts{0};

// Entry texts are read and written up to this many characters.
constexpr int kEntryTextChars = 1000;
// Characters of a path from the file dialogs.
constexpr DWORD kPathChars = 32768;

std::wstring Widen(const char* text)
{
    if (!text || !*text) return {};
    // UTF-8 as everywhere in the plug-in; anything else is taken to be in
    // the ANSI code page.
    for (UINT page : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)})
    {
        const DWORD flags = page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int n = MultiByteToWideChar(page, flags, text, -1, nullptr, 0);
        if (n > 0)
        {
            std::wstring out(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(page, flags, text, -1, out.data(), n);
            out.resize(static_cast<size_t>(n - 1));
            return out;
        }
    }
    return {};
}

std::string Narrow(const wchar_t* text)
{
    if (!text || !*text) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

HFONT MakeFont(int height, int angle, int weight, bool italic, const wchar_t* face)
{
    HFONT font = CreateFontW(height, 0, angle, angle, weight, italic ? TRUE : FALSE, 0, 0, 0, 0, 0,
                             0, 0, face);
    if (font) ++sLiveFonts;
    return font;
}

void DropFont(void* font)
{
    if (font && DeleteObject(static_cast<HFONT>(font))) --sLiveFonts;
}

// The GDI font of a text style, with the fields it was made from so that a
// style changed since is given a new one.
struct StyleFont
{
    HFONT font = nullptr;
    char face[ITextStyle::FaceLength] = {};
    int size = 0;
    int style = 0;
    int orientation = 0;

    static StyleFont* Create(const ITextStyle& s)
    {
        const std::wstring face = Widen(s.face);
        HFONT font =
            MakeFont(s.PixelSize(), s.orientation * 10, s.style == ITextStyle::Bold ? 700 : 0,
                     s.style == ITextStyle::Italic, face.c_str());
        if (!font) return nullptr;
        auto* f = new StyleFont;
        f->font = font;
        std::memcpy(f->face, s.face, sizeof(f->face));
        f->size = s.PixelSize();
        f->style = s.style;
        f->orientation = s.orientation;
        return f;
    }

    static void Release(void* p)
    {
        auto* f = static_cast<StyleFont*>(p);
        DropFont(f->font);
        delete f;
    }

    bool Matches(const ITextStyle& s) const
    {
        return std::memcmp(face, s.face, sizeof(face)) == 0 && size == s.PixelSize() &&
               style == s.style && orientation == s.orientation;
    }
};

// Fills Win32 popup menus from the shared numbering of IPopupMenu.
struct Win32MenuSink : NativeMenuSink
{
    void* NewMenu() override { return CreatePopupMenu(); }

    void AddItem(void* nativeMenu, int position, int id, const MenuEntry& item, bool showChecked,
                 void* nativeSubmenu) override
    {
        std::wstring text = Widen(item.text.c_str());
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
        info.wID = static_cast<UINT>(id);
        if (item.Has(MenuEntry::Separator))
        {
            info.fType = MFT_SEPARATOR;
        }
        else
        {
            info.fType = MFT_STRING;
            info.fMask |= MIIM_STRING;
            info.dwTypeData = text.data();
        }
        if (item.Has(MenuEntry::ColumnBreak)) info.fType |= MFT_MENUBARBREAK;
        if (showChecked) info.fState |= MFS_CHECKED;
        if (item.Has(MenuEntry::Disabled)) info.fState |= MFS_DISABLED | MFS_GRAYED;
        if (item.Has(MenuEntry::Highlighted)) info.fState |= MFS_HILITE;
        if (nativeSubmenu)
        {
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = static_cast<HMENU>(nativeSubmenu);
        }
        const bool added = nativeMenu && InsertMenuItemW(static_cast<HMENU>(nativeMenu),
                                                         static_cast<UINT>(position), TRUE, &info);
        // A submenu that found no place belongs to nobody.
        if (!added && nativeSubmenu) DestroyMenu(static_cast<HMENU>(nativeSubmenu));
    }
};

bool RegisterEditorClass(HINSTANCE instance, WNDPROC proc)
{
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (RegisterClassW(&wc))
    {
        sPendingUnregister = nullptr;
        return true;
    }
    // Left registered by a window that went with its parent: the same class.
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void UnregisterEditorClass(HINSTANCE instance)
{
    if (UnregisterClassW(kClassName, instance))
    {
        sPendingUnregister = nullptr;
    }
    else
    {
        sPendingUnregister = GetLastError() == ERROR_CLASS_HAS_WINDOWS ? instance : nullptr;
    }
}

void RetryPendingUnregister()
{
    if (sOpenWindows == 0 && sPendingUnregister) UnregisterEditorClass(sPendingUnregister);
}

void ReleaseOpenWindow(HINSTANCE instance)
{
    if (sOpenWindows > 0) --sOpenWindows;
    if (sOpenWindows == 0) UnregisterEditorClass(instance);
}

// The key code HandleKeyDown takes for a virtual key, or -1.
int KeyCodeFor(WPARAM vk)
{
    switch (vk)
    {
    case VK_SPACE:
        return KeySpace;
    case VK_UP:
        return KeyUp;
    case VK_DOWN:
        return KeyDown;
    case VK_LEFT:
        return KeyLeft;
    case VK_RIGHT:
        return KeyRight;
    default:
        break;
    }
    if (vk >= '0' && vk <= '9') return KeyDigit0 + static_cast<int>(vk - '0');
    if (vk >= 'A' && vk <= 'Z') return KeyLetterA + static_cast<int>(vk - 'A');
    return -1;
}

IMouseKeys KeysFrom(WPARAM keyState)
{
    return IMouseKeys::FromKeyState(static_cast<unsigned>(keyState & 0xFFFF),
                                    GetKeyState(VK_MENU) < 0);
}

// A child window that is not an MDI child.
bool IsPlainChild(HWND hwnd)
{
    return hwnd && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) != 0 &&
           (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD) == 0;
}

void GrowWindow(HWND hwnd, int dw, int dh)
{
    RECT r;
    if (!hwnd || !GetWindowRect(hwnd, &r)) return;
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The editor's own window is per-monitor DPI aware, whatever the host's
// process is: the thread's awareness (and its hosting of windows of another
// awareness) is switched only around the window's creation and the DPI
// queries, never for the process. Systems without these calls keep today's
// behaviour.
class PerMonitorDpiScope
{
public:
    PerMonitorDpiScope()
    {
        HMODULE user = GetModuleHandleW(L"user32.dll");
        setContext = user ? reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
                                GetProcAddress(user, "SetThreadDpiAwarenessContext")))
                          : nullptr;
        setHosting = user ? reinterpret_cast<SetHostingFn>(reinterpret_cast<void*>(
                                GetProcAddress(user, "SetThreadDpiHostingBehavior")))
                          : nullptr;
        if (setHosting) oldHosting = setHosting(kHostingMixed);
        if (setContext)
        {
            oldContext = setContext(kPerMonitorAwareV2);
            if (!oldContext) oldContext = setContext(kPerMonitorAware);
        }
    }
    ~PerMonitorDpiScope()
    {
        if (setContext && oldContext) setContext(oldContext);
        if (setHosting && oldHosting >= 0) setHosting(oldHosting);
    }
    PerMonitorDpiScope(const PerMonitorDpiScope&) = delete;
    PerMonitorDpiScope& operator=(const PerMonitorDpiScope&) = delete;

private:
    using SetContextFn = HANDLE(WINAPI*)(HANDLE);
    using SetHostingFn = int(WINAPI*)(int);
    static inline const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(-3);
    static inline const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(-4);
    static constexpr int kHostingMixed = 1;
    SetContextFn setContext = nullptr;
    SetHostingFn setHosting = nullptr;
    HANDLE oldContext = nullptr;
    int oldHosting = -1;
};

// The effective DPI of the monitor that shows window (the primary monitor
// for null), as a per-monitor aware thread sees it; 96 when unknown.
unsigned MonitorDpi(HWND window)
{
    PerMonitorDpiScope scope;
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static HMODULE shcore = LoadLibraryW(L"shcore.dll");
    const auto getDpi = shcore ? reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void*>(
                                     GetProcAddress(shcore, "GetDpiForMonitor")))
                               : nullptr;
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (monitor && getDpi && getDpi(monitor, 0 /* effective */, &dpiX, &dpiY) == S_OK && dpiX)
        return dpiX;
    unsigned dpi = 96;
    if (HDC screen = GetDC(nullptr))
    {
        dpi = static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : 96;
}

// The DPI a window works in, as its own awareness makes it see the screen
// (96 for a window that is not DPI aware); 96 where the system cannot say.
unsigned WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    const auto get = user ? reinterpret_cast<GetDpiForWindowFn>(
                                reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))
                          : nullptr;
    const UINT dpi = get && window ? get(window) : 0;
    return dpi ? dpi : 96;
}

bool IsWebAddress(const char* address)
{
    if (!address) return false;
    return _strnicmp(address, "http://", 7) == 0 || _strnicmp(address, "https://", 8) == 0;
}

UINT_PTR CALLBACK ColourDialogHook(HWND dialog, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
    {
        const auto* cc = reinterpret_cast<const CHOOSECOLORW*>(lParam);
        if (cc && cc->lCustData) SetWindowTextW(dialog, reinterpret_cast<LPCWSTR>(cc->lCustData));
    }
    return 0;
}

// A modal dialog disables only the top-level window it is owned by. A host
// that shows the editor in a window of its own, owned by its main window,
// would leave the main window working under the dialog, where a user could
// close the effect while the dialog's call is still running inside it. For
// as long as a dialog is up, the windows owning the editor's top-level
// window are disabled too, and enabled again after.
class OwnersDisabled
{
public:
    explicit OwnersDisabled(HWND editor)
    {
        HWND root = editor ? GetAncestor(editor, GA_ROOT) : nullptr;
        for (HWND owner = root ? GetWindow(root, GW_OWNER) : nullptr; owner && mCount < kMost;
             owner = GetWindow(owner, GW_OWNER))
        {
            if (IsWindowEnabled(owner))
            {
                EnableWindow(owner, FALSE);
                mDisabled[mCount++] = owner;
            }
        }
    }
    ~OwnersDisabled()
    {
        while (mCount > 0)
        {
            HWND owner = mDisabled[--mCount];
            if (IsWindow(owner)) EnableWindow(owner, TRUE);
        }
    }
    OwnersDisabled(const OwnersDisabled&) = delete;
    OwnersDisabled& operator=(const OwnersDisabled&) = delete;

private:
    static constexpr int kMost = 8;
    HWND mDisabled[kMost] = {};
    int mCount = 0;
};

} // namespace

// The two window procedures, with access to the editor behind the window.
struct IGraphicsWinAccess
{
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_CREATE)
        {
            const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
            const int rate = sRepaintRate > 0 ? sRepaintRate : 24;
            SetTimer(hwnd, IGraphicsWin::kTimerId, static_cast<UINT>(1000 / rate), nullptr);
            SetFocus(hwnd);
            return 0;
        }
        // The user data is cleared whenever the editor lets go of its window,
        // so it never leads to an editor that has gone.
        auto* g = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!g || g->window != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
        return g->HandleMessage(hwnd, msg, wParam, lParam);
    }

    static LRESULT CALLBACK EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        auto* g = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!g || g->entryWindow != hwnd || !g->entryPrevProc)
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        return g->HandleEntryMessage(hwnd, msg, wParam, lParam);
    }
};

// --- Construction ---------------------------------------------------------

IGraphicsWin::IGraphicsWin(IPlugBase* plugIn, int w, int h, int framesPerSecond)
    : IGraphicsLice(plugIn, w, h, framesPerSecond), instance(CodeModule())
{
}

IGraphicsWin::~IGraphicsWin()
{
    CloseEditorWindow();
}

int IGraphicsWin::OpenWindowCount()
{
    return sOpenWindows;
}

int IGraphicsWin::LiveFontCount()
{
    return sLiveFonts;
}

// --- Opening and closing --------------------------------------------------

void* IGraphicsWin::OpenEditorWindow(void* parent)
{
    HWND parentHwnd = static_cast<HWND>(parent);
    parentWindow = parent;

    // Without a size the user chose, the editor takes the scale of the
    // screen its parent is on.
    if (parentHwnd && IsWindow(parentHwnd))
    {
        const unsigned oldRatio = hostDpi * 1000 / screenDpi;
        hostDpi = WindowDpi(parentHwnd);
        screenDpi = MonitorDpi(parentHwnd);
        if (!EditorSettings::RememberedScale()) SetScale(static_cast<int>(screenDpi * 100 / 96));
        // A host the system scales learns the size in its own coordinates.
        if (hostDpi * 1000 / screenDpi != oldRatio && plug)
            plug->OnEditorResized(HostWidth(), HostHeight());
    }
    int x = 0;
    int y = 0;
    int w = WindowWidth();
    int h = WindowHeight();
    if (HWND old = static_cast<HWND>(window))
    {
        // Reopening keeps the old window's size and its place in the parent.
        // The place is taken in the parent's client coordinates, where a
        // child window is positioned, so a parent with a frame does not move
        // it by the frame's size.
        RECT r;
        if (GetWindowRect(old, &r))
        {
            POINT corner = {r.left, r.top};
            if (parentHwnd && IsWindow(parentHwnd))
                MapWindowPoints(HWND_DESKTOP, parentHwnd, &corner, 1);
            x = corner.x;
            y = corner.y;
            w = r.right - r.left;
            h = r.bottom - r.top;
        }
        CloseEditorWindow();
    }
    // A child window needs a live parent.
    if (!parentHwnd || !IsWindow(parentHwnd)) return nullptr;

    HINSTANCE module = static_cast<HINSTANCE>(instance);
    if (sOpenWindows++ == 0 && !RegisterEditorClass(module, &IGraphicsWinAccess::WindowProc))
    {
        --sOpenWindows;
        return nullptr;
    }
    sRepaintRate = fps;
    HWND hwnd = nullptr;
    {
        PerMonitorDpiScope scope;
        hwnd = CreateWindowExW(0, kClassName, L"IPlug", WS_CHILD | WS_VISIBLE, x, y, w, h,
                               parentHwnd, nullptr, module, this);
    }
    if (!hwnd)
    {
        ReleaseOpenWindow(module);
        return nullptr;
    }
    window = hwnd;
    shownWidth = WindowWidth();
    shownHeight = WindowHeight();
    MarkAllControlsDirty();
    return window;
}

void IGraphicsWin::CloseEditorWindow()
{
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd)
    {
        RetryPendingUnregister();
        return;
    }
    // A menu of this editor still open ends with its window, and so does a
    // gesture in progress: its capture goes and the host gets its end-edit.
    if (menuOpen) EndMenu();
    CancelEntry();
    ReleaseOwnCapture();
    EndOpenGesture();
    KillTimer(hwnd, kTimerId);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window = nullptr;
    // Only the window's own thread can destroy it; from any other thread it
    // is asked to close, which the default procedure does.
    if (!DestroyWindow(hwnd)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    ReleaseOpenWindow(static_cast<HINSTANCE>(instance));
}

void IGraphicsWin::ForgetWindow()
{
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd) return;
    CancelEntry();
    EndOpenGesture();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window = nullptr;
    ReleaseOpenWindow(static_cast<HINSTANCE>(instance));
}

// --- Messages ---------------------------------------------------------------

intptr_t IGraphicsWin::HandleMessage(void* hwndPtr, unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    HWND hwnd = static_cast<HWND>(hwndPtr);
    const WPARAM wp = static_cast<WPARAM>(wParam);
    const LPARAM lp = static_cast<LPARAM>(lParam);

    // Destroyed by someone else (the host destroying its window, or the
    // default procedure closing it while the entry has the focus).
    if (msg == WM_NCDESTROY)
    {
        const LRESULT result = DefWindowProcW(hwnd, msg, wp, lp);
        ForgetWindow();
        return result;
    }

    // While the entry has the focus the editor stays out of its way; a right
    // click cancels it.
    if (entryWindow && entryState == EntryFocused)
    {
        if (msg == WM_RBUTTONDOWN)
        {
            entryState = EntryCancel;
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }

    const int x = GET_X_LPARAM(lp);
    const int y = GET_Y_LPARAM(lp);
    switch (msg)
    {
    case WM_PAINT:
        Paint();
        return 0;

    case WM_CLOSE:
        CloseEditorWindow();
        return 0;

    case WM_MOUSEACTIVATE:
        SetFocus(hwnd);
        return MA_ACTIVATE;

    case WM_KEYDOWN:
    {
        const int key = KeyCodeFor(wp);
        POINT p;
        if (key >= 0 && GetCursorPos(&p) && ScreenToClient(hwnd, &p)) HandleKeyDown(p.x, p.y, key);
        return 0;
    }

    case WM_TIMER:
        if (wp == kTimerId) TimerTick();
        return 0;

    case WM_MOUSEMOVE:
        if (wp & (MK_LBUTTON | MK_RBUTTON))
        {
            if (GetCapture() == hwnd) HandleMouseDrag(x, y, KeysFrom(wp));
        }
        else if (HandleMouseOver(x, y, KeysFrom(wp)))
        {
            TRACKMOUSEEVENT track = {};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd;
            track.dwHoverTime = HOVER_DEFAULT;
            TrackMouseEvent(&track);
        }
        return 0;

    case WM_LBUTTONDOWN:
        if (entryWindow) entryState = EntryCommit;
        SetCapture(hwnd);
        HandleMouseDown(x, y, KeysFrom(wp));
        return 0;

    case WM_RBUTTONDOWN:
        if (entryWindow)
        {
            entryState = EntryCancel;
            return 0;
        }
        SetCapture(hwnd);
        HandleMouseDown(x, y, KeysFrom(wp));
        return 0;

    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        ReleaseOwnCapture();
        HandleMouseUp(x, y, KeysFrom(wp));
        return 0;

    case WM_LBUTTONDBLCLK:
        if (HandleDoubleClick(x, y, KeysFrom(wp))) SetCapture(hwnd);
        return 0;

    case WM_MOUSEWHEEL:
    {
        // The message carries screen coordinates.
        RECT r;
        if (!GetWindowRect(hwnd, &r)) return 0;
        const int delta = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA; // toward zero
        HandleWheel(x - r.left, y - r.top, KeysFrom(GET_KEYSTATE_WPARAM(wp)), delta);
        return 0;
    }

    case WM_MOUSELEAVE:
        HandleMouseOut();
        return 0;

    case WM_CAPTURECHANGED:
        // Someone else took the mouse in the middle of a gesture (a switch
        // to another program, a pop-up of the host's): the gesture ends
        // here, or the host would stay in touch with the parameter.
        if (!releasingCapture && !menuOpen && reinterpret_cast<HWND>(lp) != hwnd) EndOpenGesture();
        return 0;

    case 0x02E3: // WM_DPICHANGED_AFTERPARENT: moved to a screen of another scale
        screenDpi = MonitorDpi(hwnd);
        hostDpi = WindowDpi(GetParent(hwnd));
        if (!EditorSettings::RememberedScale()) SetScale(static_cast<int>(screenDpi * 100 / 96));
        return 0;

    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void IGraphicsWin::Paint()
{
    HWND hwnd = static_cast<HWND>(window);
    RECT r;
    if (!GetUpdateRect(hwnd, &r, FALSE)) return;
    if (backBuffer)
    {
        inPaint = true;
        PaintDeviceArea(IBox(r.left, r.top, r.right, r.bottom));
    }
    // Nothing was presented (no controls, no back buffer): the area still
    // has to be validated, or the paint message would come back at once.
    if (inPaint || !backBuffer) ValidateRect(hwnd, nullptr);
    inPaint = false;
}

bool IGraphicsWin::PresentArea(const IBox& box)
{
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd) return true;
    HDC source = backBuffer ? static_cast<HDC>(backBuffer->DeviceContext()) : nullptr;
    if (inPaint)
    {
        inPaint = false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc && source)
            BitBlt(dc, box.left, box.top, box.W(), box.H(), source, box.left, box.top, SRCCOPY);
        EndPaint(hwnd, &ps);
    }
    else if (HDC dc = GetDC(hwnd))
    {
        // Painted outside the paint message: straight to the window.
        if (source)
            BitBlt(dc, box.left, box.top, box.W(), box.H(), source, box.left, box.top, SRCCOPY);
        ReleaseDC(hwnd, dc);
    }
    return true;
}

void IGraphicsWin::TimerTick()
{
    HWND hwnd = static_cast<HWND>(window);
    if (entryWindow && entryState != EntryIdle)
    {
        switch (entryState)
        {
        case EntryRefresh:
            SetTextEntryText(EntryValueText());
            entryState = EntryIdle;
            break;
        case EntryCommit:
        {
            const std::string typed = EntryText();
            DestroyEntry();
            EntryCommitted(typed);
            break;
        }
        case EntryCancel:
            DestroyEntry();
            EntryCancelled();
            break;
        default:
            break;
        }
        return;
    }
    IBox dirty;
    if (!CollectDirtyArea(dirty)) return;
    // The controls' area is in editor units, the window's in pixels.
    const IBox device = ToDevice(dirty);
    RECT r = {device.left, device.top, device.right, device.bottom};
    InvalidateRect(hwnd, &r, FALSE);
    UpdateWindow(hwnd);
    // The entry's text follows the parameter at the next tick.
    if (entryWindow) entryState = EntryRefresh;
}

// --- Text entry ---------------------------------------------------------------

intptr_t IGraphicsWin::HandleEntryMessage(void* hwndPtr, unsigned msg, uintptr_t wParam,
                                          intptr_t lParam)
{
    HWND hwnd = static_cast<HWND>(hwndPtr);
    const WPARAM wp = static_cast<WPARAM>(wParam);
    const LPARAM lp = static_cast<LPARAM>(lParam);
    const WNDPROC previous = reinterpret_cast<WNDPROC>(entryPrevProc);
    switch (msg)
    {
    case WM_SETFOCUS:
        // A commit or cancel already asked for stays asked for.
        if (entryState == EntryIdle || entryState == EntryRefresh) entryState = EntryFocused;
        break;
    case WM_KILLFOCUS:
        if (entryState == EntryFocused) entryState = EntryIdle;
        break;
    case WM_GETDLGCODE:
    {
        LRESULT code = CallWindowProcW(previous, hwnd, msg, wp, lp);
        const MSG* query = reinterpret_cast<const MSG*>(lp);
        if (query && query->message == WM_KEYDOWN &&
            (query->wParam == VK_RETURN || query->wParam == VK_ESCAPE))
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_KEYDOWN:
        // Escape cancels here, before the edit control, which in a host's
        // dialog loop would ask the editor window to close.
        if (wp == VK_RETURN || wp == VK_ESCAPE)
        {
            entryState = wp == VK_RETURN ? EntryCommit : EntryCancel;
            return 0;
        }
        break;
    case WM_CHAR:
        // Return commits and Escape cancels; neither goes into the text.
        if (wp == '\r' || wp == '\n' || wp == 0x1B) return 0;
        break;
    case WM_CONTEXTMENU:
        // The entry is one value: it has no editing menu of its own.
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        entryPressSeen = true;
        if (msg == WM_RBUTTONDOWN) return 0;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        // The release of the press that opened the entry is not the entry's.
        if (!entryPressSeen || msg == WM_RBUTTONUP) return 0;
        break;
    case WM_COMMAND:
        if (HIWORD(wp) == 1)
        {
            entryState = EntryCommit;
            return 0;
        }
        break;
    case WM_NCDESTROY:
    {
        // Destroyed with the editor window: only the bookkeeping is left.
        const LRESULT result = CallWindowProcW(previous, hwnd, msg, wp, lp);
        entryWindow = nullptr;
        DestroyEntry();
        EntryCancelled();
        return result;
    }
    default:
        break;
    }
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

std::string IGraphicsWin::EntryText() const
{
    HWND entry = static_cast<HWND>(entryWindow);
    if (!entry) return {};
    wchar_t typed[kEntryTextChars + 1] = {};
    GetWindowTextW(entry, typed, kEntryTextChars + 1);
    return Narrow(typed);
}

void IGraphicsWin::DestroyEntry()
{
    if (HWND entry = static_cast<HWND>(entryWindow))
    {
        entryWindow = nullptr;
        // The edit control gets its own procedure back before it goes.
        if (entryPrevProc)
            SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryPrevProc));
        SetWindowLongPtrW(entry, GWLP_USERDATA, 0);
        if (window && GetFocus() == entry) SetFocus(static_cast<HWND>(window));
        DestroyWindow(entry);
    }
    // The font goes after the control that used it.
    DropFont(entryFont);
    entryFont = nullptr;
    entryPrevProc = nullptr;
    entryState = EntryIdle;
}

void IGraphicsWin::ReleaseOwnCapture()
{
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd || GetCapture() != hwnd) return;
    releasingCapture = true;
    ReleaseCapture();
    releasingCapture = false;
}

// --- Prompts ------------------------------------------------------------------

int IGraphicsWin::TrackMenu(void* menu, void* owner)
{
    POINT p = {};
    GetCursorPos(&p);
    menuOpen = true;
    const int id = static_cast<int>(TrackPopupMenu(static_cast<HMENU>(menu),
                                                   TPM_LEFTALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                                   p.x, p.y, 0, static_cast<HWND>(owner), nullptr));
    menuOpen = false;
    return id;
}

int IGraphicsWin::ShowMenu(const IPopupMenu& menu, int, int)
{
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd) return -1;
    HMENU native = CreatePopupMenu();
    if (!native) return -1;
    Win32MenuSink sink;
    int nextId = 1;
    ::BuildNativeMenu(sink, native, nextId, menu);
    const int id = TrackMenu(native, hwnd);
    DestroyMenu(native);
    // A modal menu swallowed the release of the press that opened it.
    ReleaseOwnCapture();
    return id > 0 ? id - 1 : -1;
}

bool IGraphicsWin::ShowTextEntry(const IBox& box, const std::string& initial)
{
    HWND hwnd = static_cast<HWND>(window);
    // The press that opens the entry gives the mouse back to the window
    // system, so its release lands wherever the pointer is.
    ReleaseOwnCapture();
    if (!hwnd || entryWindow) return false;
    const std::wstring text = Widen(initial.c_str());
    const IBox place = ToDevice(box);
    HWND entry = CreateWindowExW(0, L"EDIT", text.c_str(),
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | ES_CENTER | ES_MULTILINE,
                                 place.left, place.top, place.W(), place.H(), hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryId)),
                                 static_cast<HINSTANCE>(instance), nullptr);
    if (!entry) return false;
    entryWindow = entry;
    entryState = EntryIdle;
    entryPressSeen = false;
    // The entry procedure is in place before the entry takes the focus, so
    // the focus is seen and the editor leaves the typing alone.
    SetWindowLongPtrW(entry, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    entryPrevProc = reinterpret_cast<void*>(SetWindowLongPtrW(
        entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&IGraphicsWinAccess::EntryProc)));
    entryFont = MakeFont(ToDevice(14), 0, 0, false, L"Arial");
    if (entryFont) SendMessageW(entry, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont), FALSE);
    SendMessageW(entry, EM_SETSEL, 0, -1);
    SetFocus(entry);
    return true;
}

void IGraphicsWin::CloseTextEntry()
{
    DestroyEntry();
}

void IGraphicsWin::SetTextEntryText(const std::string& text)
{
    HWND entry = static_cast<HWND>(entryWindow);
    if (!entry) return;
    const std::wstring wanted = Widen(text.c_str());
    wchar_t shown[kEntryTextChars + 1] = {};
    GetWindowTextW(entry, shown, kEntryTextChars + 1);
    if (wanted != shown) SetWindowTextW(entry, wanted.c_str());
}

// --- Text -----------------------------------------------------------------------

bool IGraphicsWin::DrawTextIn(ITextStyle& style, const char* text, const IBox& box)
{
    if (!text || !*text) return true;
    HDC dc = backBuffer ? static_cast<HDC>(backBuffer->DeviceContext()) : nullptr;
    if (!dc) return false;

    style.scalePercent = scalePercent;
    auto* font = style.LayerFont<StyleFont>();
    if (!font)
    {
        return false;
    }

    HGDIOBJ previous = SelectObject(dc, font->font);
    SetBkMode(dc, TRANSPARENT);
    const IColorRGBA& c = style.color;
    if (c.red != textColour.red || c.green != textColour.green || c.blue != textColour.blue)
    {
        SetTextColor(dc, RGB(c.red, c.green, c.blue));
        textColour = c;
    }
    UINT format = DT_TOP | DT_NOCLIP | DT_NOPREFIX;
    format |= style.align == ITextStyle::Centre  ? DT_CENTER
              : style.align == ITextStyle::Right ? DT_RIGHT
                                                 : DT_LEFT;
    const IBox device = ToDevice(box);
    RECT r = {device.left, device.top, device.right, device.bottom};
    const std::wstring wide = Widen(text);
    const int drawn = DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, format);
    SelectObject(dc, previous);
    // The raster code writes the same pixels next: GDI must be done with them.
    GdiFlush();
    return drawn != 0;
}

// --- Size -------------------------------------------------------------------------

void IGraphicsWin::ResizeEditor(int w, int h)
{
    // The controls go: an entry for one of them goes first.
    CancelEntry();
    IGraphicsLice::ResizeEditor(w, h);
    ScaleChanged();
}

void IGraphicsWin::ScaleChanged()
{
    IGraphicsLice::ScaleChanged();
    HWND hwnd = static_cast<HWND>(window);
    if (!hwnd || !IsWindow(hwnd)) return;
    const int dw = WindowWidth() - shownWidth;
    const int dh = WindowHeight() - shownHeight;
    shownWidth = WindowWidth();
    shownHeight = WindowHeight();
    GrowWindow(hwnd, dw, dh);
    if (IsPlainChild(hwnd))
    {
        // The host's windows grow in their own coordinates.
        const int hostW = MulDiv(dw, static_cast<int>(hostDpi), static_cast<int>(screenDpi));
        const int hostH = MulDiv(dh, static_cast<int>(hostDpi), static_cast<int>(screenDpi));
        HWND parent = GetParent(hwnd);
        GrowWindow(parent, hostW, hostH);
        if (IsPlainChild(parent)) GrowWindow(GetParent(parent), hostW, hostH);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

int IGraphicsWin::HostWidth() const
{
    return MulDiv(WindowWidth(), static_cast<int>(hostDpi), static_cast<int>(screenDpi));
}

int IGraphicsWin::HostHeight() const
{
    return MulDiv(WindowHeight(), static_cast<int>(hostDpi), static_cast<int>(screenDpi));
}

int IGraphicsWin::InitialScalePercent()
{
    if (const int remembered = EditorSettings::RememberedScale()) return remembered;
    return static_cast<int>(MonitorDpi(static_cast<HWND>(parentWindow)) * 100 / 96);
}

// --- Platform services ------------------------------------------------------------

void IGraphicsWin::AskForFilePath(std::string& path, int action, const char* startFolder,
                                  const char*)
{
    path.clear();
    if (!window) return;
    std::string start = startFolder ? startFolder : "";
    if (start.empty()) HostModuleFolder(start);
    const std::wstring initialDir = Widen(start.c_str());
    std::vector<wchar_t> file(kPathChars, L'\0');

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = static_cast<HWND>(window);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathChars;
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    // The host's working folder is not the plug-in's to change.
    ofn.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    bool chosen;
    OwnersDisabled owners(ofn.hwndOwner);
    if (action == FileSave)
    {
        ofn.Flags |= OFN_OVERWRITEPROMPT;
        chosen = GetSaveFileNameW(&ofn) != FALSE;
    }
    else
    {
        ofn.Flags |= OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameW(&ofn) != FALSE;
    }
    if (chosen) path = Narrow(file.data());
}

bool IGraphicsWin::AskForColour(IColorRGBA& colour, const char* title)
{
    if (!window) return false;
    if (!customColors) customColors.reset(new unsigned long[16]());
    const std::wstring caption = Widen(title);

    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = static_cast<HWND>(window);
    cc.rgbResult = RGB(colour.red, colour.green, colour.blue);
    cc.lpCustColors = reinterpret_cast<COLORREF*>(customColors.get());
    cc.Flags = CC_FULLOPEN | CC_RGBINIT | CC_ANYCOLOR | CC_SOLIDCOLOR | CC_ENABLEHOOK;
    cc.lpfnHook = &ColourDialogHook;
    cc.lCustData = caption.empty() ? 0 : reinterpret_cast<LPARAM>(caption.c_str());
    OwnersDisabled owners(cc.hwndOwner);
    if (!ChooseColorW(&cc)) return false;
    colour.red = GetRValue(cc.rgbResult);
    colour.green = GetGValue(cc.rgbResult);
    colour.blue = GetBValue(cc.rgbResult);
    return true;
}

bool IGraphicsWin::OpenWebPage(const char* address, const char* title, const char* confirmation,
                               const char* error)
{
    HWND owner = static_cast<HWND>(window);
    const std::wstring caption = Widen(title);
    OwnersDisabled owners(owner);
    if (confirmation && *confirmation &&
        MessageBoxW(owner, Widen(confirmation).c_str(), caption.c_str(), MB_YESNO) != IDYES)
        return false;
    // The shell's "open" would run a program or open a file as readily as a
    // page: anything but a web address is refused.
    DWORD connection = 0;
    if (IsWebAddress(address) && InternetGetConnectedState(&connection, 0))
    {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(owner, L"open", Widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result > 32) return true;
    }
    if (error && *error) MessageBoxW(owner, Widen(error).c_str(), caption.c_str(), MB_OK);
    return false;
}
