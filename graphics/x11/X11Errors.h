#pragma once

#include <X11/Xlib.h>

// Keeps X protocol errors, and the loss of the connection itself, on the
// editor's own display connections away from the handlers the process had,
// whose defaults end the process: the host must survive a parent window that
// is gone, an extension the server refuses, or the editor's connection killed
// (say, by a user who kills its window). Errors on connections that are not
// watched go on to the previous handlers as before. The handlers are
// installed while at least one connection is watched and put back when the
// last one goes, so they never outlive the module.
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
    // Whether the connection broke. Xlib's calls on it then return at once
    // and do nothing; only closing it is left to do.
    static bool Lost(Display* display);
    // Connections watched now.
    static int Watched();

private:
    static int Handler(Display* display, XErrorEvent* error);
    static int IoHandler(Display* display);
    static void IoExitHandler(Display* display, void*);
};
