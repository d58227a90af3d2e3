#pragma once

// Real input for Windows editor tests: events go through SendInput into the
// system's input queue, as a user's mouse makes them, not as messages posted
// to a window.

#include <windows.h>

// Moves the pointer to the client point (x, y) of window.
inline void SendPointerTo(HWND window, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(window, &p);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx =
        (p.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy =
        (p.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(in));
}
