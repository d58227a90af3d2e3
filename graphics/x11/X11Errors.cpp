#include "graphics/x11/X11Errors.h"

#include <algorithm>
#include <dlfcn.h>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
using ErrorHandler = int (*)(Display*, XErrorEvent*);
using IoErrorHandler = int (*)(Display*);
using IoExitHandler = void (*)(Display*, void*);
using SetIoExitHandler = void (*)(Display*, IoExitHandler, void*);

// Xlib from 1.7 on calls a connection's own exit handler after the I/O
// error handler, where older ones end the process; looked up at run time so
// that the module still loads with an older Xlib (which then ends the
// process, as before).
SetIoExitHandler FindSetIoExitHandler()
{
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (xlib == nullptr) return nullptr;
    // The module itself keeps Xlib loaded.
    auto* set = reinterpret_cast<SetIoExitHandler>(dlsym(xlib, "XSetIOErrorExitHandler"));
    dlclose(xlib);
    return set;
}

// Every editor of the process shares the one handler Xlib allows.
std::mutex& RegistryMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

struct Connection
{
    Display* display;
    int code;  // the first error recorded
    bool lost; // the connection broke
};

struct Registry
{
    std::vector<Connection> displays;
    ErrorHandler previous = nullptr;
    IoErrorHandler previousIo = nullptr;
};

// The watched entry of display, or null.
Connection* Find(Registry& r, Display* display)
{
    for (Connection& w : r.displays)
    {
        if (w.display == display) return &w;
    }
    return nullptr;
}

// Puts the process's handler back, unless someone installed another after
// ours: they keep theirs.
template <class H> void Restore(H (*set)(H), H ours, H previous)
{
    const H current = set(previous);
    if (current != ours) set(current);
}

Registry& TheRegistry()
{
    static Registry* registry = new Registry;
    return *registry;
}
} // namespace

int X11Errors::Handler(Display* display, XErrorEvent* error)
{
    ErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> hold(RegistryMutex());
        Registry& r = TheRegistry();
        if (Connection* w = Find(r, display))
        {
            if (w->code == 0) w->code = error->error_code;
            return 0;
        }
        previous = r.previous;
    }
    return previous ? previous(display, error) : 0;
}

int X11Errors::IoHandler(Display* display)
{
    IoErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> hold(RegistryMutex());
        Registry& r = TheRegistry();
        if (Connection* w = Find(r, display))
        {
            // Returning leads Xlib on to the connection's exit handler,
            // which returns too instead of ending the process.
            w->lost = true;
            return 0;
        }
        previous = r.previousIo;
    }
    return previous ? previous(display) : 0;
}

void X11Errors::IoExitHandler(Display* display, void*)
{
    {
        std::lock_guard<std::mutex> hold(RegistryMutex());
        if (Connection* w = Find(TheRegistry(), display)) w->lost = true;
    }
    // Xlib locks the connection for the thread that met the error, so that
    // no other thread runs while the process ends. It goes on instead, and
    // the editor's other thread must still get through the calls that now
    // return at once, closing the connection among them.
    XUnlockDisplay(display);
}

void X11Errors::Watch(Display* display)
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    Registry& r = TheRegistry();
    if (r.displays.empty())
    {
        r.previous = XSetErrorHandler(&X11Errors::Handler);
        r.previousIo = XSetIOErrorHandler(&X11Errors::IoHandler);
    }
    r.displays.push_back({display, 0, false});
    static const SetIoExitHandler setExitHandler = FindSetIoExitHandler();
    if (setExitHandler) setExitHandler(display, &X11Errors::IoExitHandler, nullptr);
}

void X11Errors::Unwatch(Display* display)
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    Registry& r = TheRegistry();
    const auto it = std::find_if(r.displays.begin(), r.displays.end(),
                                 [display](const Connection& w) { return w.display == display; });
    if (it == r.displays.end())
    {
        return;
    }
    r.displays.erase(it);
    if (r.displays.empty())
    {
        Restore<ErrorHandler>(&XSetErrorHandler, &X11Errors::Handler, r.previous);
        Restore<IoErrorHandler>(&XSetIOErrorHandler, &X11Errors::IoHandler, r.previousIo);
        r.previous = nullptr;
        r.previousIo = nullptr;
    }
}

int X11Errors::Sync(Display* display)
{
    XSync(display, False);
    std::lock_guard<std::mutex> hold(RegistryMutex());
    Connection* w = Find(TheRegistry(), display);
    return w != nullptr ? std::exchange(w->code, 0) : 0;
}

bool X11Errors::Lost(Display* display)
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    const Connection* w = Find(TheRegistry(), display);
    return w != nullptr && w->lost;
}

int X11Errors::Watched()
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    return static_cast<int>(TheRegistry().displays.size());
}
