#include "X11Host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace
{
Display* sDisplay = nullptr;
ScratchDir* sFolder = nullptr;
DynamicLibrary* sModule = nullptr;
VstPluginMainProc sMain = nullptr;

constexpr int kEditorWidth = 720;
constexpr int kEditorHeight = 650;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A factory preset with a Wet value of its own, so that loading it shows.
std::string PresetWithWet(const std::string& wet)
{
    std::string text = ReadFile(ZELBOR_SOURCE_DIR "/data/presets/Dub/Dub Echo Chamber.preset");
    const size_t at = text.find("param Wet ");
    const size_t end = text.find('\n', at);
    if (at != std::string::npos && end != std::string::npos)
    {
        text.replace(at, end - at, "param Wet " + wet);
    }
    return text;
}
} // namespace

void X11HostLog::Clear()
{
    std::lock_guard<std::mutex> hold(mutex);
    calls.clear();
}

std::string X11HostLog::Edits()
{
    std::lock_guard<std::mutex> hold(mutex);
    std::string out;
    std::string last;
    for (const Call& c : calls)
    {
        std::string item;
        if (c.opcode == audioMasterBeginEdit)
        {
            item = "B" + std::to_string(c.index);
        }
        else if (c.opcode == audioMasterEndEdit)
        {
            item = "E" + std::to_string(c.index);
        }
        else if (c.opcode == audioMasterAutomate)
        {
            item = "A" + std::to_string(c.index);
            if (item == last)
            {
                continue;
            }
        }
        else
        {
            continue;
        }
        out += (out.empty() ? "" : " ") + item;
        last = item;
    }
    return out;
}

VstIntPtr VSTCALLBACK X11HostLog::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr, void*, float opt)
{
    if (opcode == 1)
    {
        return 2400; // host version
    }
    if (effect && effect->user)
    {
        auto* log = static_cast<X11HostLog*>(effect->user);
        std::lock_guard<std::mutex> hold(log->mutex);
        log->calls.push_back({opcode, index, opt});
    }
    return 0;
}

bool X11Host::Start(std::string& why)
{
    if (sMain)
    {
        return true;
    }
    sDisplay = XOpenDisplay(nullptr);
    if (!sDisplay)
    {
        why = "no X display (DISPLAY is \"" +
              std::string(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") + "\")";
        return false;
    }
    // The popups come and go while the test looks at the screen's windows:
    // a window gone in between is no reason to end the test.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(sDisplay, &event, &error, &major, &minor))
    {
        why = "the X server has no XTest";
        return false;
    }
    // The module beside its own configuration: a preset at the top and one
    // in a folder.
    sFolder = new ScratchDir;
    fs::copy_file(ZELBOR_MODULE_FILE, sFolder->Path() / "Zelbor.so");
    // The user's own settings (a size chosen in a real host) stay out of it.
    setenv("XDG_CONFIG_HOME", (sFolder->Path() / "config").c_str(), 1);
    WriteBytes(sFolder->Path() / "Zelbor.ini", "PresetFolder \"Presets\"\n");
    fs::create_directories(sFolder->Path() / "Presets" / "Nested");
    WriteBytes(sFolder->Path() / "Presets" / "Top.preset", PresetWithWet("0.200000000000"));
    WriteBytes(sFolder->Path() / "Presets" / "Nested" / "Inner.preset",
               PresetWithWet("0.333000000000"));
    sModule = new DynamicLibrary;
    if (!sModule->Open(sFolder->File("Zelbor.so")))
    {
        why = "cannot load the module: " + sModule->Error();
        return false;
    }
    sMain = reinterpret_cast<VstPluginMainProc>(sModule->Symbol("VSTPluginMain"));
    if (!sMain)
    {
        why = "the module has no VSTPluginMain";
        return false;
    }
    return true;
}

Display* X11Host::TheDisplay()
{
    return sDisplay;
}

Window X11Host::Root()
{
    return DefaultRootWindow(sDisplay);
}

const ScratchDir& X11Host::Folder()
{
    return *sFolder;
}

VstIntPtr X11Host::Call(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                        float opt)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

AEffect* X11Host::Create(X11HostLog& log)
{
    AEffect* effect = sMain(&X11HostLog::Callback);
    if (!effect)
    {
        return nullptr;
    }
    effect->user = &log;
    Call(effect, effOpen);
    Call(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Call(effect, effSetBlockSize, 0, 512);
    Call(effect, effMainsChanged, 0, 1);
    return effect;
}

void X11Host::Destroy(AEffect* effect)
{
    if (effect)
    {
        Call(effect, effMainsChanged, 0, 0);
        Call(effect, effClose);
    }
}

// The parents MakeParent made and DestroyWindow has not destroyed.
static std::vector<Window>& Parents()
{
    static std::vector<Window> parents;
    return parents;
}

Window X11Host::MakeParent(int x, int y, int w, int h)
{
    Display* d = sDisplay;
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True; // placed exactly, whatever manages windows
    attributes.background_pixel = BlackPixel(d, screen);
    attributes.event_mask = StructureNotifyMask;
    const Window window = XCreateWindow(
        d, RootWindow(d, screen), x, y, static_cast<unsigned>(w > 0 ? w : kEditorWidth),
        static_cast<unsigned>(h > 0 ? h : kEditorHeight), 0, CopyFromParent, InputOutput,
        CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    XMapRaised(d, window);
    Parents().push_back(window);
    XEvent event;
    do
    {
        XWindowEvent(d, window, StructureNotifyMask, &event);
    } while (event.type != MapNotify);
    XSync(d, False);
    return window;
}

X11Host::Rect X11Host::Geometry(Window window)
{
    XWindowAttributes a{};
    if (!window || !XGetWindowAttributes(sDisplay, window, &a))
    {
        return Rect{0, 0, 0, 0};
    }
    return Rect{a.x, a.y, a.width, a.height};
}

void X11Host::DestroyWindow(Window window)
{
    auto& parents = Parents();
    parents.erase(std::remove(parents.begin(), parents.end(), window), parents.end());
    XDestroyWindow(sDisplay, window);
    XSync(sDisplay, False);
}

void X11Host::KillClientOf(Window window)
{
    XKillClient(sDisplay, window);
    XSync(sDisplay, False);
}

int X11Host::ServerPid()
{
    // ":99" or "host:99.0": a local server's lock file is /tmp/.X99-lock.
    const char* name = std::getenv("DISPLAY");
    const char* colon = name ? std::strrchr(name, ':') : nullptr;
    if (!colon)
    {
        return 0;
    }
    const int number = std::atoi(colon + 1);
    std::ifstream lock("/tmp/.X" + std::to_string(number) + "-lock");
    int pid = 0;
    lock >> pid;
    return pid;
}

int X11Host::Children(Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(sDisplay, window, &root, &parent, &children, &count))
    {
        return -1;
    }
    if (children)
    {
        XFree(children);
    }
    return static_cast<int>(count);
}

Window X11Host::FirstChild(Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window first = 0;
    if (XQueryTree(sDisplay, window, &root, &parent, &children, &count) && count > 0)
    {
        first = children[0];
    }
    if (children)
    {
        XFree(children);
    }
    return first;
}

std::vector<X11Host::Rect> X11Host::Popups()
{
    std::vector<Rect> out;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XSync(sDisplay, False);
    if (!XQueryTree(sDisplay, DefaultRootWindow(sDisplay), &root, &parent, &children, &count))
    {
        return out;
    }
    for (unsigned i = 0; i < count; ++i)
    {
        XWindowAttributes a;
        // Our own parents are override-redirect too.
        const auto& parents = Parents();
        if (XGetWindowAttributes(sDisplay, children[i], &a) && a.override_redirect &&
            a.map_state == IsViewable &&
            std::find(parents.begin(), parents.end(), children[i]) == parents.end())
        {
            out.push_back({a.x, a.y, a.width, a.height});
        }
    }
    if (children)
    {
        XFree(children);
    }
    return out;
}

void X11Host::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(sDisplay, DefaultScreen(sDisplay), x, y, 0);
    XSync(sDisplay, False);
}

void X11Host::Button(unsigned button, bool down)
{
    XTestFakeButtonEvent(sDisplay, button, down ? True : False, 0);
    XSync(sDisplay, False);
}

void X11Host::Click(int x, int y, unsigned button)
{
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
}

void X11Host::HoldKey(unsigned long keysym, bool down)
{
    XTestFakeKeyEvent(sDisplay, XKeysymToKeycode(sDisplay, keysym), down ? True : False, 0);
    XSync(sDisplay, False);
}

void X11Host::Key(unsigned long keysym, bool shift)
{
    if (shift)
    {
        HoldKey(XK_Shift_L, true);
    }
    HoldKey(keysym, true);
    HoldKey(keysym, false);
    if (shift)
    {
        HoldKey(XK_Shift_L, false);
    }
}

void X11Host::Type(const std::string& text)
{
    for (char c : text)
    {
        const std::string name(1, c);
        const KeySym sym = c == '.'   ? XK_period
                           : c == '-' ? XK_minus
                           : c == '/' ? XK_slash
                                      : XStringToKeysym(name.c_str());
        Key(sym, c >= 'A' && c <= 'Z');
    }
}

std::vector<uint32_t> X11Host::Capture(Window window, int w, int h)
{
    std::vector<uint32_t> out;
    XImage* image = XGetImage(sDisplay, window, 0, 0, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image)
    {
        return out;
    }
    out.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
    {
        for (int x = 0; x < w; ++x)
        {
            out[static_cast<size_t>(y) * w + x] =
                static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
        }
    }
    XDestroyImage(image);
    return out;
}
