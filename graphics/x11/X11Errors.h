#pragma once

#include <X11/Xlib.h>

// Keeps X protocol errors on the editor's own display connections away from
// the error handler the process had, whose default ends the process: the
// host must survive a parent window that is gone or an extension the server
// refuses. Errors on connections that are not watched go on to the previous
// handler as before. The handler is installed while at least one connection
// is watched and put back when the last one goes, so it never outlives the
// module.
class X11Errors
{
public:
    // Starts recording the errors of display.
    static void Watch(Display* display);
    static void Unwatch(Display* display);
    // Waits until the server has handled every request sent so far and
    // answers the first error code recorded since the last call (0 for
    // none), clearing it.
    static int Sync(Display* display);
    // Connections watched now.
    static int Watched();

private:
    static int Handler(Display* display, XErrorEvent* error);
};
