#pragma once

// The editor as the plug-in base knows it. The base owns the attached editor
// and deletes it with itself; the graphics layer implements this interface.
class IEditor
{
public:
    virtual ~IEditor() = default;

    // Hands a parameter value to every control bound to paramIdx. When
    // normalized is false, value is the parameter's plain value.
    virtual void PushParamToControls(int paramIdx, double value, bool normalized) = 0;
    virtual void MarkAllControlsDirty() = 0;

    // The layout's size, in logical pixels.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // The window's size in device pixels.
    virtual int WindowWidth() const { return Width(); }
    virtual int WindowHeight() const { return Height(); }
    // The same in the host's own coordinates, as its frame is sized: they
    // differ where the host's window is scaled by the system (a host that is
    // not DPI aware on a screen of another scale).
    virtual int HostWidth() const { return WindowWidth(); }
    virtual int HostHeight() const { return WindowHeight(); }

    // Whether this editor has a window layer that can open a window in the
    // host's. An editor without one still holds values and draws, but the
    // host is not told about it.
    virtual bool CanOpenWindow() const { return true; }

    // Creates the editor window inside the host's parent window; returns the
    // window handle or null.
    virtual void* OpenEditorWindow(void* parent) = 0;
    virtual void CloseEditorWindow() = 0;
    // The host's idle call (effEditIdle) on its user-interface thread: a
    // window layer that is not driven by the window system handles its
    // events and repaints here.
    virtual void Idle() {}

    // Called once when the editor is attached, after the parameter values
    // have been pushed.
    virtual void CreateBackBuffer() {}
};
