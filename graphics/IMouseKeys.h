#pragma once

// Mouse buttons and modifier keys held during a mouse event.
struct IMouseKeys
{
    bool left = false;
    bool right = false;
    bool shift = false;
    bool control = false;
    bool alt = false;

    IMouseKeys() = default;
    IMouseKeys(bool l, bool r, bool s, bool c, bool a)
        : left(l), right(r), shift(s), control(c), alt(a)
    {
    }

    // From a mouse message's key-state word (bit 0 left button, bit 1 right
    // button, bit 2 shift, bit 3 control) and the state of the Alt key.
    static IMouseKeys FromKeyState(unsigned keyState, bool altDown)
    {
        return IMouseKeys((keyState & 1u) != 0, (keyState & 2u) != 0, (keyState & 4u) != 0,
                          (keyState & 8u) != 0, altDown);
    }
};
