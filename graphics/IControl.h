#pragma once

#include "graphics/IBox.h"
#include "graphics/IDrawBlend.h"
#include "graphics/IMouseKeys.h"
#include "graphics/ISubject.h"

#include <atomic>

class IGraphics;
class IPlugBase;
class IPlugParam;
class IPopupMenu;

// A rectangle of the editor that shows a value and lets the user change it.
// A control may be bound to one plug-in parameter by index; value is then
// that parameter's normalised value. User gestures change value and push it
// to the plug-in; values from the host arrive through TakePlugValue and are
// not pushed back.
//
// The host's thread writes value, dirty, repaintPending, changed and hidden
// through TakePlugValue and the effect's handlers while the editor's thread
// paints and hit-tests without the plug-in lock, so those are atomics.
class IControl : public ISubject
{
public:
    IControl(IPlugBase* plug, const IBox& rect, int paramIdx = -1, int blendKind = BlendCopyAlpha,
             float blendWeight = 1.0f);
    ~IControl() override = default;

    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    // Base: the right button asks the user for a value.
    virtual void MouseDown(int x, int y, const IMouseKeys& keys);
    virtual void MouseUp(int x, int y, const IMouseKeys& keys);
    virtual void MouseDrag(int x, int y, int dX, int dY, const IMouseKeys& keys);
    // Base: back to the default value, once one is known.
    virtual void MouseDoubleClick(int x, int y, const IMouseKeys& keys);
    // Base: 0.01 per notch, 0.001 with Control or Shift.
    virtual void MouseWheel(int x, int y, const IMouseKeys& keys, int delta);
    virtual void KeyDown(int x, int y, int key);
    virtual void MouseOver(int x, int y, const IMouseKeys& keys);
    virtual void MouseOut();
    virtual bool Paint(IGraphics* graphics) = 0;
    // A value set by the plug-in (host automation, state loads). The first
    // one also becomes the default.
    virtual void TakePlugValue(double v);
    virtual void SetHidden(bool flag);
    virtual void SetGreyed(bool flag);
    virtual bool HitTest(int x, int y);
    // Clamps value, marks the control for repainting and, with push set,
    // hands the value to the plug-in.
    virtual void MarkDirty(bool push);
    virtual void MarkPainted();
    virtual bool NeedsPaint();
    virtual void ResetToDefault();
    // A menu of the bound parameter's choices, or null.
    virtual IPopupMenu* BuildParamMenu();
    virtual void DiscardMenu(IPopupMenu* menu);
    // The user picked item index of a menu this control built.
    virtual void MenuChosen(IPopupMenu* menu, int index);
    virtual void SpareHook() {}
    // Marks a change made outside the editor's thread (a host value, a
    // handler's text, greying or hiding) for repainting, without pushing it.
    void MarkChangedElsewhere();

    // A value the user chose by other means (text entry, menu, MIDI learn):
    // stored and pushed to the plug-in.
    void TakeUserValue(double v);
    // Opens the window layer's prompt for the bound parameter.
    void AskUserForValue();

    // The bound parameter, or null.
    IPlugParam* Param() const;
    // The graphics the plug-in has attached, or null.
    IGraphics* Graphics() const;

    IPlugBase* plug;
    IBox rect;       // where the control draws; unioned into the dirty area
    IBox targetRect; // where the control is hit
    int paramIdx;    // fixed once the control is added to a graphics
    std::atomic<double> value{0.0};
    double defaultValue = -1.0; // below 0: not known yet
    double clampLow = 0.0;
    double clampHigh = 1.0;
    std::atomic<bool> dirty{true};
    std::atomic<bool> hidden{false};
    std::atomic<bool> greyed{false};
    std::atomic<bool> repaintPending{false};
    bool noPrompt = false;
    bool doubleClickAsDown = false;
    IDrawBlend blend; // kind and weight from the constructor

    // The blend to paint with: weight 0.25 while greyed. Greying may come
    // from a handler on the host's thread, so the weight is derived from the
    // greyed flag when painting instead of being written into blend.
    IDrawBlend PaintBlend() const;

protected:
    // Frame (counted from 1) of an n-frame filmstrip that shows value.
    int FilmstripFrame(int frames, bool singleFrameRule) const;
    // Adds delta to value with the spinner's wrap-around: below 0 becomes
    // 1 and above 1 becomes 0.
    void AddWrapped(double delta);
};
