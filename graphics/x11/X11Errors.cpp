#include "graphics/x11/X11Errors.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
using ErrorHandler = int (*)(Display*, XErrorEvent*);

// Every editor of the process shares the one handler Xlib allows.
std::mutex& RegistryMutex()
{
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

struct Registry
{
    std::vector<std::pair<Display*, int>> displays; // connection, first error code
    ErrorHandler previous = nullptr;
};

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
        for (auto& [watched, code] : r.displays)
        {
            if (watched == display)
            {
                if (code == 0)
                {
                    code = error->error_code;
                }
                return 0;
            }
        }
        previous = r.previous;
    }
    return previous ? previous(display, error) : 0;
}

void X11Errors::Watch(Display* display)
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    Registry& r = TheRegistry();
    if (r.displays.empty())
    {
        r.previous = XSetErrorHandler(&X11Errors::Handler);
    }
    r.displays.emplace_back(display, 0);
}

void X11Errors::Unwatch(Display* display)
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    Registry& r = TheRegistry();
    const auto it = std::find_if(r.displays.begin(), r.displays.end(),
                                 [display](const auto& d) { return d.first == display; });
    if (it == r.displays.end())
    {
        return;
    }
    r.displays.erase(it);
    if (r.displays.empty())
    {
        // Someone who installed a handler after ours keeps theirs.
        const ErrorHandler current = XSetErrorHandler(r.previous);
        if (current != &X11Errors::Handler)
        {
            XSetErrorHandler(current);
        }
        r.previous = nullptr;
    }
}

int X11Errors::Sync(Display* display)
{
    XSync(display, False);
    std::lock_guard<std::mutex> hold(RegistryMutex());
    for (auto& [watched, code] : TheRegistry().displays)
    {
        if (watched == display)
        {
            return std::exchange(code, 0);
        }
    }
    return 0;
}

int X11Errors::Watched()
{
    std::lock_guard<std::mutex> hold(RegistryMutex());
    return static_cast<int>(TheRegistry().displays.size());
}
