#include "graphics/x11/IGraphicsX11.h"

#include "framework/IPlugBase.h"
#include "graphics/EditorSettings.h"
#include "graphics/IPopupMenu.h"
#include "graphics/headless/HeadlessFont.h"
#include "graphics/x11/ChildProcess.h"
#include "graphics/x11/FontLocator.h"
#include "graphics/x11/X11Errors.h"
#include "graphics/x11/X11Menu.h"
#include "graphics/x11/X11Surface.h"
#include "graphics/x11/X11TextEntry.h"
#include "graphics/x11/XSettings.h"
#include "raster/LICE_SysBitmap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int kDefaultDoubleClickMs = 400;
constexpr int kDoubleClickDistance = 4;
// The host counts as driving the editor while its idle calls come at least
// this often.
constexpr int64_t kHostIdleGraceMs = 250;
// XEmbed: protocol version 0, flags XEMBED_MAPPED.
constexpr long kXEmbedInfo[2] = {0, 1};

std::atomic<int> sOpenWindows{0};
// Set on every editor's own thread.
thread_local bool tEditorThread = false;

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The key code HandleKeyDown takes, as the Win32 layer maps virtual keys:
// space, the arrows, the digits and the letters; -1 for any other key.
int KeyCodeFor(KeySym sym)
{
    switch (sym)
    {
    case XK_space:
        return KeySpace;
    case XK_Up:
    case XK_KP_Up:
        return KeyUp;
    case XK_Down:
    case XK_KP_Down:
        return KeyDown;
    case XK_Left:
    case XK_KP_Left:
        return KeyLeft;
    case XK_Right:
    case XK_KP_Right:
        return KeyRight;
    default:
        break;
    }
    if (sym >= XK_0 && sym <= XK_9)
    {
        return KeyDigit0 + static_cast<int>(sym - XK_0);
    }
    if (sym >= XK_a && sym <= XK_z)
    {
        return KeyLetterA + static_cast<int>(sym - XK_a);
    }
    if (sym >= XK_A && sym <= XK_Z)
    {
        return KeyLetterA + static_cast<int>(sym - XK_A);
    }
    return -1;
}

unsigned ButtonMask(unsigned button)
{
    switch (button)
    {
    case Button1:
        return Button1Mask;
    case Button2:
        return Button2Mask;
    case Button3:
        return Button3Mask;
    default:
        return 0;
    }
}

IMouseKeys KeysFrom(unsigned state)
{
    return IMouseKeys((state & Button1Mask) != 0, (state & Button3Mask) != 0,
                      (state & ShiftMask) != 0, (state & ControlMask) != 0,
                      (state & Mod1Mask) != 0);
}

bool IsWebAddress(const char* address)
{
    return address &&
           (strncasecmp(address, "http://", 7) == 0 || strncasecmp(address, "https://", 8) == 0);
}
} // namespace

// The open window and everything that goes with it.
struct IGraphicsX11::Session
{
    Display* display = nullptr;
    Window window = 0;
    std::unique_ptr<X11Surface> surface;
    std::unique_ptr<X11TextEntry> entry;
    IBox exposed;      // waiting to be painted
    IBox unshown;      // painted, waiting to be put on the screen (Present)
    bool gone = false; // destroyed with the host's window
    // The connection to the server broke (the window went with it): nothing
    // is drawn or read any more, and the thread only waits to be stopped.
    std::atomic<bool> lost{false};
    bool captured = false; // the pointer is grabbed for a press
    unsigned swallowRelease = 0;
    int doubleClickMs = kDefaultDoubleClickMs;
    unsigned lastButton = 0; // of a press that a second one may pair with
    Time lastTime = 0;
    int lastX = 0;
    int lastY = 0;
};

IGraphicsX11::IGraphicsX11(IPlugBase* plugIn, int w, int h, int framesPerSecond)
    : IGraphicsLice(plugIn, w, h, framesPerSecond)
{
    // Text finds its faces through fontconfig, else beside the module.
    HeadlessFont::SetFaceFinder(&FontLocator::FaceFile);
}

IGraphicsX11::~IGraphicsX11()
{
    CloseEditorWindow();
}

int IGraphicsX11::OpenWindowCount()
{
    return sOpenWindows.load();
}

void* IGraphicsX11::NativeWindow()
{
    return session ? reinterpret_cast<void*>(static_cast<uintptr_t>(session->window)) : nullptr;
}

// --- Opening and closing ----------------------------------------------------

void* IGraphicsX11::OpenEditorWindow(void* parent)
{
    CloseEditorWindow();
    const Window parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
    if (parentWindow == 0)
    {
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        return nullptr;
    }
    X11Errors::Watch(display);
    auto fail = [display]
    {
        X11Errors::Sync(display);
        X11Errors::Unwatch(display);
        XCloseDisplay(display);
        return nullptr;
    };
    // A window of the host's that is gone (or never was) answers an error.
    XWindowAttributes parentAttributes;
    if (!XGetWindowAttributes(display, parentWindow, &parentAttributes) ||
        X11Errors::Sync(display) != 0)
    {
        return fail();
    }
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = 0; // None: every pixel is painted from the back buffer
    attributes.colormap = DefaultColormap(display, screen);
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | FocusChangeMask |
                            StructureNotifyMask;
    const Window window = XCreateWindow(
        display, parentWindow, 0, 0, static_cast<unsigned>(std::max(WindowWidth(), 1)),
        static_cast<unsigned>(std::max(WindowHeight(), 1)), 0, DefaultDepth(display, screen),
        InputOutput, DefaultVisual(display, screen),
        CWBackPixmap | CWColormap | CWBorderPixel | CWEventMask, &attributes);
    const Atom xembed = XInternAtom(display, "_XEMBED_INFO", False);
    XChangeProperty(display, window, xembed, xembed, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kXEmbedInfo), 2);
    XMapWindow(display, window);
    // The parent may have gone meanwhile.
    if (X11Errors::Sync(display) != 0)
    {
        XDestroyWindow(display, window);
        return fail();
    }

    session = std::make_unique<Session>();
    session->display = display;
    session->window = window;
    session->surface = std::make_unique<X11Surface>(display, window);
    session->surface->Create(WindowWidth(), WindowHeight(), true);
    const std::optional<int> doubleClick =
        XSettings::Integer(display, screen, "Net/DoubleClickTime");
    if (doubleClick && *doubleClick > 0)
    {
        session->doubleClickMs = *doubleClick;
    }
    // Without a face the editor shows no text at all: said once, where a
    // host's log picks it up.
    static std::atomic<bool> toldNoText{false};
    if (!HeadlessFont::Available() && !toldNoText.exchange(true))
    {
        std::fprintf(stderr, "Zelbor: no Liberation Sans face found; the editor shows no text\n");
    }
    ++sOpenWindows;
    MarkAllControlsDirty();
    nextFrame = 0;
    StartThread();
    return NativeWindow();
}

void IGraphicsX11::CloseEditorWindow()
{
    if (!session)
    {
        return;
    }
    StopThread();
    // The entry goes without an answer, a drag in progress with its end.
    CancelEntry();
    session->entry.reset();
    EndOpenGesture();
    Display* display = session->display;
    Ungrab();
    session->surface.reset();
    if (!session->gone && !session->lost)
    {
        XDestroyWindow(display, session->window);
    }
    X11Errors::Sync(display);
    X11Errors::Unwatch(display);
    XCloseDisplay(display);
    session.reset();
    --sOpenWindows;
    ChildProcess::ReapDetached();
}

// --- Who runs the loop ------------------------------------------------------

void IGraphicsX11::Idle()
{
    lastIdle = NowMs();
    std::unique_lock<std::mutex> working(work, std::try_to_lock);
    if (!working.owns_lock() || !session)
    {
        return;
    }
    // The dispatcher may hold the lock already; it is taken here too, so
    // that a modal prompt can let go of this level while it waits.
    if (plug)
    {
        plug->Lock().Enter();
        holdsPlugLock = true;
    }
    Pump();
    if (holdsPlugLock)
    {
        holdsPlugLock = false;
        plug->Lock().Leave();
    }
    Present();
}

void IGraphicsX11::StartThread()
{
    stopping = false;
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
    {
        wakePipe[0] = wakePipe[1] = -1;
    }
    thread = std::thread([this] { ThreadLoop(); });
}

void IGraphicsX11::StopThread()
{
    stopping = true;
    if (wakePipe[1] >= 0)
    {
        const char wake = 1;
        [[maybe_unused]] const ssize_t n = write(wakePipe[1], &wake, 1);
    }
    if (thread.joinable())
    {
        thread.join();
    }
    for (int& fd : wakePipe)
    {
        if (fd >= 0)
        {
            close(fd);
            fd = -1;
        }
    }
}

void IGraphicsX11::ThreadLoop()
{
    tEditorThread = true;
    const int period = 1000 / std::max(fps, 1);
    const int xfd = ConnectionNumber(session->display);
    while (!stopping)
    {
        const bool hostDrives = NowMs() - lastIdle < kHostIdleGraceMs;
        pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {xfd, POLLIN, 0}};
        int timeout = period;
        if (!hostDrives)
        {
            timeout = moreQueued
                          ? 0
                          : static_cast<int>(std::clamp<int64_t>(nextFrame - NowMs(), 0, period));
        }
        poll(fds, hostDrives || session->lost ? 1 : 2, session->lost ? period : timeout);
        if (stopping)
        {
            break;
        }
        if (NowMs() - lastIdle < kHostIdleGraceMs || session->lost)
        {
            continue;
        }
        std::unique_lock<std::mutex> working(work, std::try_to_lock);
        if (!working.owns_lock())
        {
            // The host's thread is inside the editor, usually in a menu or
            // a prompt it opened from an idle call, which may stay up for
            // minutes: wait a frame (or for the stop) instead of spinning.
            poll(fds, 1, period);
            continue;
        }
        // Never waits for the plug-in's lock: whoever holds it may be
        // closing the editor and waiting for this thread.
        if (plug && !plug->Lock().TryEnter())
        {
            working.unlock();
            poll(fds, 1, 2);
            continue;
        }
        holdsPlugLock = plug != nullptr;
        Pump();
        if (holdsPlugLock)
        {
            holdsPlugLock = false;
            plug->Lock().Leave();
        }
        Present();
    }
}

bool IGraphicsX11::MayWork() const
{
    return session && !session->lost && (!plug || holdsPlugLock);
}

template <class Wait> bool IGraphicsX11::WaitUnlocked(Wait&& wait)
{
    const bool release = holdsPlugLock;
    if (release)
    {
        holdsPlugLock = false;
        plug->Lock().Leave();
    }
    wait();
    if (!release)
    {
        return true;
    }
    if (!tEditorThread)
    {
        plug->Lock().Enter();
        holdsPlugLock = true;
        return true;
    }
    while (!plug->Lock().TryEnter())
    {
        if (stopping)
        {
            return false; // the closer holds the lock and waits for this thread
        }
        usleep(2000);
    }
    holdsPlugLock = true;
    return true;
}

bool IGraphicsX11::RunBlocking(const std::function<void()>& work)
{
    return WaitUnlocked(work);
}

void IGraphicsX11::Pump()
{
    ChildProcess::ReapDetached();
    DrainEvents();
    const int64_t now = NowMs();
    if (MayWork() && now >= nextFrame)
    {
        nextFrame = now + 1000 / std::max(fps, 1);
        Frame();
    }
    if (session && X11Errors::Lost(session->display))
    {
        session->lost = true;
        moreQueued = false;
    }
    else if (session)
    {
        moreQueued = XEventsQueued(session->display, QueuedAlready) > 0;
    }
}

void IGraphicsX11::DrainEvents()
{
    while (MayWork() && XPending(session->display) > 0)
    {
        XEvent event;
        XNextEvent(session->display, &event);
        Dispatch(event);
    }
    if (MayWork())
    {
        PaintExposed();
    }
}

void IGraphicsX11::PaintExposed()
{
    const IBox box = session->exposed.Intersect(IBox(0, 0, WindowWidth(), WindowHeight()));
    session->exposed = IBox();
    if (!box.Empty() && backBuffer && !session->gone)
    {
        // Painting reads only what the controls keep in atomics and writes
        // only this thread's back buffer, so it runs without the plug-in's
        // lock: a full repaint at 200 % takes milliseconds (tens on the
        // first at a new size, which makes its images), and audio waits for
        // that lock.
        RunBlocking([&] { PaintDeviceArea(box); });
    }
}

void IGraphicsX11::Frame()
{
    IBox dirty;
    if (CollectDirtyArea(dirty) && !session->gone)
    {
        const IBox box = dirty.Intersect(IBox(0, 0, width, height));
        if (!box.Empty())
        {
            RunBlocking([&] { PaintArea(box); }); // as in PaintExposed
        }
    }
    // The entry follows its parameter until the user types into it.
    if (MayWork() && session->entry && !session->entry->Edited())
    {
        const std::string text = EntryValueText();
        if (!text.empty() && text != session->entry->Text())
        {
            session->entry->SetText(text);
        }
    }
}

// --- Events -------------------------------------------------------------------

void IGraphicsX11::Dispatch(XEvent& event)
{
    Session& s = *session;
    const Window entryWindow = s.entry ? s.entry->Handle() : 0;
    switch (event.type)
    {
    case Expose:
        if (event.xexpose.window == s.window)
        {
            const XExposeEvent& e = event.xexpose;
            s.exposed = s.exposed.Union(IBox(e.x, e.y, e.x + e.width, e.y + e.height));
        }
        else if (entryWindow && event.xexpose.window == entryWindow && event.xexpose.count == 0)
        {
            s.entry->Draw();
        }
        break;
    case ButtonPress:
        if (entryWindow && event.xbutton.window == entryWindow)
        {
            EntryPress(event);
        }
        else if (event.xbutton.window == s.window)
        {
            Press(event);
        }
        break;
    case ButtonRelease:
        if (event.xbutton.window == s.window)
        {
            Release(event);
        }
        else if (event.xbutton.button == s.swallowRelease)
        {
            s.swallowRelease = 0;
        }
        break;
    case MotionNotify:
        Motion(event);
        break;
    case LeaveNotify:
        if (event.xcrossing.window == s.window && event.xcrossing.mode == NotifyNormal &&
            event.xcrossing.detail != NotifyInferior)
        {
            HandleMouseOut();
        }
        break;
    case KeyPress:
        Key(event);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == s.window)
        {
            // Gone with the host's window: nothing more is sent to it.
            s.gone = true;
            s.captured = false;
        }
        break;
    default:
        break;
    }
}

void IGraphicsX11::Grab(unsigned long time)
{
    Session& s = *session;
    s.captured = XGrabPointer(s.display, s.window, False,
                              ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                              GrabModeAsync, GrabModeAsync, 0, 0, time) == GrabSuccess;
}

void IGraphicsX11::Ungrab()
{
    if (session && session->captured)
    {
        XUngrabPointer(session->display, CurrentTime);
        XFlush(session->display);
        session->captured = false;
    }
}

void IGraphicsX11::Press(XEvent& event)
{
    Session& s = *session;
    const XButtonEvent& e = event.xbutton;
    const unsigned button = e.button;
    if (button == Button4 || button == Button5)
    {
        // One notch each; the entry keeps the wheel to itself.
        if (!s.entry)
        {
            HandleWheel(e.x, e.y, KeysFrom(e.state), button == Button4 ? 1 : -1);
        }
        return;
    }
    if (button != Button1 && button != Button3)
    {
        return;
    }
    // A release to be ignored that never came (its window went first) is
    // not waited for past the next press.
    if (s.swallowRelease == button)
    {
        s.swallowRelease = 0;
    }
    if (s.entry)
    {
        if (button == Button3)
        {
            // A right click only cancels the entry.
            CancelOpenEntry();
            s.swallowRelease = button;
            return;
        }
        // A left click elsewhere commits it and then acts as a press.
        CommitOpenEntry();
    }
    XSetInputFocus(s.display, s.window, RevertToParent, e.time);
    const IMouseKeys keys = KeysFrom(e.state | ButtonMask(button));
    const bool pairs = button == s.lastButton && e.time - s.lastTime <= Time(s.doubleClickMs) &&
                       std::abs(e.x - s.lastX) <= kDoubleClickDistance &&
                       std::abs(e.y - s.lastY) <= kDoubleClickDistance;
    if (pairs)
    {
        // A third press starts afresh.
        s.lastButton = 0;
        // As the Win32 window's class asks for double-clicks, the second
        // press of a right double-click does nothing.
        if (button == Button1 && HandleDoubleClick(e.x, e.y, keys))
        {
            Grab(e.time);
        }
    }
    else
    {
        s.lastButton = button;
        s.lastTime = e.time;
        s.lastX = e.x;
        s.lastY = e.y;
        Grab(e.time);
        HandleMouseDown(e.x, e.y, keys);
    }
    if (session && session->entry)
    {
        // The press opened an entry: its release is not the entry's.
        session->swallowRelease = button;
        Ungrab();
    }
}

void IGraphicsX11::Release(XEvent& event)
{
    Session& s = *session;
    const XButtonEvent& e = event.xbutton;
    if (e.button == s.swallowRelease)
    {
        s.swallowRelease = 0;
        return;
    }
    if (e.button != Button1 && e.button != Button3)
    {
        return;
    }
    Ungrab();
    HandleMouseUp(e.x, e.y, KeysFrom(e.state & ~ButtonMask(e.button)));
}

void IGraphicsX11::Motion(XEvent& event)
{
    Session& s = *session;
    if (event.xmotion.window != s.window)
    {
        return;
    }
    // Only the latest position of a burst matters; a press or a release
    // in between ends the burst.
    XEvent next;
    while (XPending(s.display) > 0 && XPeekEvent(s.display, &next) && next.type == MotionNotify &&
           next.xmotion.window == s.window)
    {
        XNextEvent(s.display, &event);
    }
    const XMotionEvent& e = event.xmotion;
    if (e.state & (Button1Mask | Button3Mask))
    {
        if (s.captured)
        {
            HandleMouseDrag(e.x, e.y, KeysFrom(e.state));
        }
    }
    else
    {
        HandleMouseOver(e.x, e.y, KeysFrom(e.state));
    }
}

void IGraphicsX11::Key(XEvent& event)
{
    Session& s = *session;
    if (s.entry)
    {
        switch (s.entry->Key(event.xkey))
        {
        case X11TextEntry::Commit:
            CommitOpenEntry();
            break;
        case X11TextEntry::Cancel:
            CancelOpenEntry();
            break;
        default:
            break;
        }
        return;
    }
    const int code = KeyCodeFor(XLookupKeysym(&event.xkey, 0));
    if (code >= 0)
    {
        HandleKeyDown(event.xkey.x, event.xkey.y, code);
    }
}

void IGraphicsX11::EntryPress(XEvent& event)
{
    Session& s = *session;
    const XButtonEvent& e = event.xbutton;
    if (e.button == Button1)
    {
        s.entry->Click(e.x);
    }
    else if (e.button == Button3)
    {
        CancelOpenEntry();
        s.swallowRelease = Button3;
    }
}

// --- Prompts --------------------------------------------------------------------

void IGraphicsX11::CommitOpenEntry()
{
    if (!session || !session->entry)
    {
        return;
    }
    const std::string text = session->entry->Text();
    session->entry.reset();
    EntryCommitted(text);
}

void IGraphicsX11::CancelOpenEntry()
{
    if (!session || !session->entry)
    {
        return;
    }
    session->entry.reset();
    EntryCancelled();
}

bool IGraphicsX11::ShowTextEntry(const IBox& box, const std::string& initial)
{
    if (!session || session->gone)
    {
        return false;
    }
    Session& s = *session;
    s.entry =
        std::make_unique<X11TextEntry>(s.display, s.window, ToDevice(box), initial, scalePercent);
    XSetInputFocus(s.display, s.window, RevertToParent, CurrentTime);
    XFlush(s.display);
    return true;
}

void IGraphicsX11::CloseTextEntry()
{
    if (session)
    {
        session->entry.reset();
    }
}

void IGraphicsX11::SetTextEntryText(const std::string& text)
{
    if (session && session->entry)
    {
        session->entry->SetText(text);
    }
}

int IGraphicsX11::ShowMenu(const IPopupMenu& menu, int x, int y)
{
    if (!session || session->gone)
    {
        return -1;
    }
    Session& s = *session;
    // The menu takes the pointer over from the press.
    Ungrab();
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XTranslateCoordinates(s.display, s.window, DefaultRootWindow(s.display), ToDevice(x),
                          ToDevice(y), &rootX, &rootY, &child);
    X11Menu popup(s.display, stopping, scalePercent);
    popup.otherEvent = [this, &s](XEvent& event)
    {
        if (event.type == Expose && event.xexpose.window == s.window)
        {
            ReshowExposed(event);
        }
        else if (event.type == DestroyNotify && event.xdestroywindow.window == s.window)
        {
            s.gone = true;
        }
    };
    int chosen = -1;
    return WaitUnlocked([&] { chosen = popup.Run(menu, rootX, rootY); }) ? chosen : -1;
}

std::string IGraphicsX11::AskPathInEntry(const std::string& folder)
{
    Session& s = *session;
    const int h = ToDevice(24);
    const IBox box(ToDevice(8), WindowHeight() / 2 - h / 2, WindowWidth() - ToDevice(8),
                   WindowHeight() / 2 + h / 2);
    X11TextEntry entry(s.display, s.window, box, folder, scalePercent);
    // The caret after the folder, where the file's name goes.
    entry.SetText(folder);
    XSetInputFocus(s.display, s.window, RevertToParent, CurrentTime);
    XFlush(s.display);
    std::string path;
    bool finished = false;
    const bool locked = WaitUnlocked(
        [&]
        {
            while (!finished && !stopping)
            {
                if (XPending(s.display) == 0)
                {
                    finished = X11Errors::Lost(s.display);
                    pollfd p{ConnectionNumber(s.display), POLLIN, 0};
                    poll(&p, 1, 50);
                    continue;
                }
                XEvent event;
                XNextEvent(s.display, &event);
                switch (event.type)
                {
                case KeyPress:
                {
                    const X11TextEntry::Outcome outcome = entry.Key(event.xkey);
                    if (outcome != X11TextEntry::Editing)
                    {
                        path = outcome == X11TextEntry::Commit ? entry.Text() : std::string();
                        finished = true;
                    }
                    break;
                }
                case ButtonPress:
                    if (event.xbutton.window == entry.Handle() && event.xbutton.button == Button1)
                    {
                        entry.Click(event.xbutton.x);
                    }
                    else if (event.xbutton.button <= Button3)
                    {
                        finished = true; // a click elsewhere cancels
                    }
                    break;
                case Expose:
                    if (event.xexpose.window == entry.Handle())
                    {
                        entry.Draw();
                    }
                    else if (event.xexpose.window == s.window)
                    {
                        ReshowExposed(event);
                    }
                    break;
                case DestroyNotify:
                    if (event.xdestroywindow.window == s.window)
                    {
                        s.gone = true;
                        finished = true;
                    }
                    break;
                default:
                    break;
                }
            }
        });
    // The area under the entry is shown again.
    s.exposed = s.exposed.Union(box);
    return locked ? path : std::string();
}

void IGraphicsX11::AskForFilePath(std::string& path, int action, const char* startFolder,
                                  const char* extension)
{
    path.clear();
    if (!session || session->gone)
    {
        return;
    }
    std::string folder = startFolder ? startFolder : "";
    if (folder.empty())
    {
        HostModuleFolder(folder);
    }
    if (!folder.empty() && folder.back() != '/')
    {
        folder += '/';
    }
    const std::string filter =
        extension && *extension ? std::string("*.") + extension : std::string("*");
    const bool save = action == FileSave;
    std::vector<std::string> args;
    if (ChildProcess::Installed("zenity"))
    {
        args = {"zenity", "--file-selection", "--filename=" + folder, "--file-filter=" + filter};
        if (save)
        {
            args.insert(args.begin() + 2, {"--save", "--confirm-overwrite"});
        }
    }
    else if (ChildProcess::Installed("kdialog"))
    {
        args = {"kdialog", save ? "--getsavefilename" : "--getopenfilename", folder, filter};
    }
    Ungrab();
    if (args.empty())
    {
        path = AskPathInEntry(folder);
        // Unlike the desktop's choosers, the entry does not ask before a
        // save replaces a file.
        if (save && !path.empty() && !MayReplace(path, 8, height / 2))
        {
            path.clear();
        }
        return;
    }
    ChildProcess chooser;
    if (!chooser.Start(args, true))
    {
        return;
    }
    std::string output;
    int status = -1;
    if (!WaitUnlocked([&] { status = chooser.Wait(output, [this] { return stopping.load(); }); }))
    {
        return;
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
    {
        output.pop_back();
    }
    // The choosers print nothing when cancelled, so a path with an unknown
    // status (the host reaped the chooser) is still the user's choice.
    const bool ended = status == 0 || status == ChildProcess::kReapedElsewhere;
    if (ended && !output.empty())
    {
        path = output;
    }
}

bool IGraphicsX11::OpenWebPage(const char* address, const char*, const char*, const char*)
{
    // xdg-open would open a file or start a program as readily as a page.
    if (!IsWebAddress(address))
    {
        return false;
    }
    ChildProcess opener;
    if (!opener.Start({"xdg-open", address}, false))
    {
        return false;
    }
    opener.Detach();
    return true;
}

// --- Drawing --------------------------------------------------------------------

bool IGraphicsX11::PresentArea(const IBox& box)
{
    // Put on the screen by Present, once the plug-in's lock is let go:
    // putting waits for the server (a round trip with shared memory, a full
    // socket on a remote display), and audio waits for that lock.
    if (session)
    {
        session->unshown = session->unshown.Union(box);
    }
    return true;
}

void IGraphicsX11::ReshowExposed(XEvent& event)
{
    Session& s = *session;
    const XExposeEvent& e = event.xexpose;
    const IBox box(e.x, e.y, e.x + e.width, e.y + e.height);
    s.exposed = s.exposed.Union(box);
    if (!s.gone && !s.lost && backBuffer && s.surface)
    {
        s.surface->Put(backBuffer->Bits(), backBuffer->RowSpan(), box);
    }
}

void IGraphicsX11::Present()
{
    if (!session)
    {
        return;
    }
    const IBox box = session->unshown;
    session->unshown = IBox();
    if (!box.Empty() && !session->gone && !session->lost && backBuffer && session->surface)
    {
        session->surface->Put(backBuffer->Bits(), backBuffer->RowSpan(), box);
    }
}

bool IGraphicsX11::DrawTextIn(ITextStyle& style, const char* text, const IBox& box)
{
    style.scalePercent = scalePercent;
    return HeadlessFont::DrawStyled(backBuffer.get(), style, text, ToDevice(box));
}

void IGraphicsX11::ResizeEditor(int w, int h)
{
    // The controls go: an entry for one of them goes first.
    CancelEntry();
    IGraphicsLice::ResizeEditor(w, h);
    ScaleChanged();
}

void IGraphicsX11::ScaleChanged()
{
    IGraphicsLice::ScaleChanged();
    if (session && !session->gone)
    {
        XResizeWindow(session->display, session->window,
                      static_cast<unsigned>(std::max(WindowWidth(), 1)),
                      static_cast<unsigned>(std::max(WindowHeight(), 1)));
        session->surface->Create(WindowWidth(), WindowHeight(), true);
    }
}

int IGraphicsX11::InitialScalePercent()
{
    if (const int remembered = EditorSettings::RememberedScale())
    {
        return remembered;
    }
    // The screen's: the resource database's Xft.dpi against 96, read on a
    // connection of its own (the window's comes later).
    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        return 100;
    }
    int percent = 100;
    if (const char* resources = XResourceManagerString(display))
    {
        percent = XSettings::ScaleFromResources(resources);
    }
    XCloseDisplay(display);
    return percent;
}
