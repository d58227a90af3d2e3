#pragma once

#include "framework/IEditor.h"
#include "graphics/IBitmapRef.h"
#include "graphics/IBox.h"
#include "graphics/IColorRGBA.h"
#include "graphics/IDrawBlend.h"
#include "graphics/IMouseKeys.h"
#include "graphics/ITextStyle.h"
#include "platform/PlugLock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IControl;
class IPlugBase;
class IPlugParam;
class IPopupMenu;
class LICE_IBitmap;

// Key codes handed to HandleKeyDown.
enum IKeyCode
{
    KeySpace = 0,
    KeyUp = 1,
    KeyDown = 2,
    KeyLeft = 3,
    KeyRight = 4,
    KeyDigit0 = 5,  // digits 0..9 are 5..14
    KeyLetterA = 15 // letters A..Z are 15..40
};

// What AskForFilePath asks the user for.
enum IFileAction
{
    FileOpen = 0,
    FileSave = 1
};

// The editor's drawing surface and control container. It owns the ordered
// control list (a control's index is its identity for event routing),
// collects the boxes of controls that need repainting, routes mouse and key
// events to the control under the pointer and carries parameter values from
// the plug-in to the controls bound to them. The raster layer below it
// implements the drawing operations; a window layer supplies the window,
// text, menus and dialogs.
class IGraphics : public IEditor
{
public:
    // fps of 0 or less means 24.
    IGraphics(IPlugBase* plug, int width, int height, int fps = 0);
    ~IGraphics() override;

    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    // --- Slots -----------------------------------------------------------
    // An absent blend (null) means BlendCopyAlpha at weight 1.

    void CreateBackBuffer() override = 0;
    // Copies the device box from the back buffer to the window.
    virtual bool PresentArea(const IBox& box) = 0;
    // Blits the bitmap into dest, clipped to drawRect; (srcX, srcY) is the
    // source point that lands on dest's top-left corner.
    virtual bool BlitBitmap(const IBitmapRef& bitmap, const IBox& dest, int srcX, int srcY,
                            const IDrawBlend* blend = nullptr) = 0;
    // The whole bitmap rotated by angle (radians) about (cx, cy).
    virtual bool BlitRotated(const IBitmapRef& bitmap, int cx, int cy, double angle, int yOffset,
                             const IDrawBlend* blend = nullptr) = 0;
    // base, with mask added and top copied over it, both rotated by angle
    // (degrees), drawn at (x, y).
    virtual bool BlitRotatedMask(const IBitmapRef& base, const IBitmapRef& mask,
                                 const IBitmapRef& top, int x, int y, double angle,
                                 const IDrawBlend* blend = nullptr) = 0;
    virtual bool PlotPoint(const IColorRGBA& colour, float x, float y,
                           const IDrawBlend* blend = nullptr, bool antialias = false) = 0;
    // Overwrites one pixel; the caller keeps the point inside the surface.
    virtual bool PokePixel(const IColorRGBA& colour, int x, int y) = 0;
    virtual bool StrokeLine(const IColorRGBA& colour, float x1, float y1, float x2, float y2,
                            const IDrawBlend* blend = nullptr, bool antialias = false) = 0;
    // Angles in radians, 0 pointing up, growing clockwise.
    virtual bool StrokeArc(const IColorRGBA& colour, float cx, float cy, float r, float startAngle,
                           float endAngle, const IDrawBlend* blend = nullptr,
                           bool antialias = false) = 0;
    virtual bool StrokeCircle(const IColorRGBA& colour, float cx, float cy, float r,
                              const IDrawBlend* blend = nullptr, bool antialias = false) = 0;
    virtual bool FillBox(const IColorRGBA& colour, const IBox& box,
                         const IDrawBlend* blend = nullptr) = 0;
    // Text into the back buffer, top-aligned in the box with the style's
    // horizontal alignment, not clipped to the box. Empty text draws nothing
    // and answers true.
    virtual bool DrawTextIn(ITextStyle& style, const char* text, const IBox& box) = 0;
    virtual IColorRGBA PeekPixel(int x, int y) = 0;
    virtual uint32_t* BackBufferBits() = 0;
    // Base: stores the size, drops the capture, destroys every control and
    // tells the plug-in.
    virtual void ResizeEditor(int width, int height);
    virtual bool IsWindowOpen() { return NativeWindow() != nullptr; }
    // The folders of the running program and of the plug-in's module,
    // ending in the path separator; empty when unknown.
    virtual void HostModuleFolder(std::string& folder);
    virtual void PluginModuleFolder(std::string& folder);
    // Empty path when the user cancels. The extension text is not used.
    virtual void AskForFilePath(std::string& path, int action, const char* startFolder,
                                const char* extension) = 0;
    virtual bool AskForColour(IColorRGBA& colour, const char* title) = 0;
    virtual bool OpenWebPage(const char* address, const char* title, const char* confirmation,
                             const char* error) = 0;
    virtual int QueryExtension(intptr_t, intptr_t) { return 0; }
    // Runs work that may take a while (a file put on disk, a repaint)
    // without holding up audio: a layer whose event handling holds the plug-in's
    // lock lets go of it meanwhile. False when the editor closed during the
    // work: the caller then leaves the editor alone.
    virtual bool RunBlocking(const std::function<void()>& work)
    {
        work();
        return true;
    }
    void* OpenEditorWindow(void* parent) override = 0;
    void CloseEditorWindow() override = 0;
    virtual void* NativeWindow() = 0;
    // The cached bitmap for the id, decoded on first use; an empty ref when
    // it cannot be had.
    virtual IBitmapRef LoadBitmapRef(int id, const char* fileName, int frames = 1) = 0;
    // Scaled and cropped copies, kept in the bitmap cache.
    virtual IBitmapRef ScaleBitmapRef(const IBitmapRef& bitmap, int width, int height) = 0;
    virtual IBitmapRef CropBitmapRef(const IBitmapRef& bitmap, const IBox& box) = 0;
    // A full-size bitmap control inserted under every other control.
    virtual void SetBackground(int id, const char* fileName);
    virtual bool VLine(const IColorRGBA& colour, int x, int y1, int y2);
    virtual bool HLine(const IColorRGBA& colour, int y, int x1, int x2);
    virtual void KeepBitmap(const IBitmapRef& bitmap) = 0;
    virtual void DropBitmap(const IBitmapRef& bitmap) = 0;
    virtual LICE_IBitmap* LoadBitmapResource(int id, const char* fileName) = 0;

    // --- What a window layer supplies for prompts ------------------------
    // The rules of a prompt (which texts, which one is checked, what the
    // entry starts with, what a typed text means, how the gesture ends) are
    // the core's; a layer only shows things and reports the user's answer.

    // Shows the menu at (x, y) in editor coordinates (a layer may place it
    // at the pointer instead) and waits for the user; answers the chosen
    // entry's flat index (menu.EntryByFlatIndex(index)) or -1 for none.
    virtual int ShowMenu(const IPopupMenu& menu, int x, int y) = 0;
    // Opens a one-line text entry over box (editor coordinates) showing
    // initial, all of it selected, and returns at once. The layer later
    // answers exactly once with EntryCommitted or EntryCancelled, unless the
    // core closes the entry first (CloseTextEntry). False when no entry
    // could be opened.
    virtual bool ShowTextEntry(const IBox& box, const std::string& initial) = 0;
    // Removes the open entry without an answer.
    virtual void CloseTextEntry() {}
    // Replaces the text of the open entry (its value changed meanwhile).
    virtual void SetTextEntryText(const std::string&) {}

    // --- Scale -----------------------------------------------------------
    // Controls, hit boxes and drags work in the layout's logical pixels. The
    // window, the back buffer, the drawing operations and the window layers'
    // coordinates are device pixels: logical x scale. Mouse positions from a
    // layer are divided back in the Handle* calls.

    static constexpr int kMinScale = 100;
    static constexpr int kMaxScale = 200;
    static constexpr int kScaleStep = 25;
    // The nearest of 100, 125, ... 200 per cent.
    static int SnapScale(int percent);
    int ScalePercent() const { return scalePercent; }
    double Scale() const { return scalePercent / 100.0; }
    int ToDevice(int v) const;
    IBox ToDevice(const IBox& box) const;
    // The logical pixel that holds a device pixel.
    int ToLogical(int v) const;
    // The logical box that covers a device box.
    IBox ToLogicalCover(const IBox& deviceBox) const;
    int WindowWidth() const override { return ToDevice(width); }
    int WindowHeight() const override { return ToDevice(height); }
    // Changes the scale (snapped): the back buffer, the window and the
    // host's idea of the editor's size follow, and everything is repainted.
    void SetScale(int percent);
    // The scale an editor opens at: the layer's choice (the size the user
    // picked, else the screen's) for window layers, 100 headless.
    virtual int InitialScalePercent() { return kMinScale; }
    // The "Editor size" menu at (x, y); the choice is applied and remembered
    // for the user.
    void PromptForScale(int x, int y);
    // Whether a save may write to path: true when nothing is there, else the
    // user's answer to a menu at (x, y) offering to replace the file.
    bool MayReplace(const std::string& path, int x, int y);
    // The menu of sizes, the current one checked; the caller owns it.
    IPopupMenu* ScaleMenu() const;

    // --- Controls and values ---------------------------------------------

    // Takes ownership; returns the control's index (-1 for null).
    int AddControl(IControl* control);
    int NControls() const { return static_cast<int>(controls.size()); }
    IControl* GetControl(int idx) const;
    void PushParamToControls(int paramIdx, double value, bool normalized) override;
    // A value from the effect itself (MIDI controllers): stored in every
    // bound control and pushed on to the plug-in.
    void SetParamFromEffect(int paramIdx, double value);
    void MarkAllControlsDirty() override;
    // Frame counted from 1 of a filmstrip.
    void DrawFrame(const IBitmapRef& bitmap, const IBox& box, int frame, const IDrawBlend* blend);
    bool DrawBoxOutline(const IColorRGBA& colour, const IBox& box);

    // --- Repaint cycle ---------------------------------------------------

    // Union of the boxes of the controls that need painting; false when
    // none does. dirty is not reset to empty first.
    bool CollectDirtyArea(IBox& dirty);
    // Paints every visible control that meets the (logical) box, in list
    // order, then presents its device box.
    bool PaintArea(const IBox& box);
    // What a window's paint request asks for: the device box painted.
    bool PaintDeviceArea(const IBox& deviceBox) { return PaintArea(ToLogicalCover(deviceBox)); }

    // --- Events ----------------------------------------------------------
    // Positions are the window's device pixels.

    // The capturing control, or the topmost visible, enabled control hit at
    // the logical point; -1 when none.
    int ControlAt(int x, int y);
    void HandleMouseDown(int x, int y, const IMouseKeys& keys);
    void HandleMouseUp(int x, int y, const IMouseKeys& keys);
    void HandleMouseDrag(int x, int y, const IMouseKeys& keys);
    // True when the control took the double-click as a press (the window
    // then captures the mouse).
    bool HandleDoubleClick(int x, int y, const IMouseKeys& keys);
    void HandleWheel(int x, int y, const IMouseKeys& keys, int delta);
    // True asks the window for a mouse-leave notification.
    bool HandleMouseOver(int x, int y, const IMouseKeys& keys);
    void HandleMouseOut();
    void HandleKeyDown(int x, int y, int key);

    // --- Prompts ---------------------------------------------------------

    // A menu when the control offers one (BuildParamMenu), else a text
    // entry over the control, seeded with the parameter's value (or, in
    // text mode, the control's own text). Either way the gesture of the
    // press that opened it ends first. Nothing happens while an entry is
    // open.
    void PromptForValue(IControl* control, IPlugParam* param, bool textMode);
    // A menu of the parameter's display texts, a new column every
    // columnLength items; the choice is given to the control.
    void PromptFromMenu(IControl* control, IPlugParam* param, int columnLength);
    // The menu of a parameter's display texts: a column break every
    // columnLength items (none for 0), and the item whose text is the
    // plain value's display text checked. The caller owns it.
    static IPopupMenu* DisplayTextMenu(const IPlugParam& param, double plain, int columnLength);
    // What an entry for the control starts with: the parameter's display
    // text of its value, or in text mode the control's own text, cut to at
    // most 999 bytes on a character boundary.
    static std::string EntrySeed(IControl* control, const IPlugParam* param, bool textMode);
    // Where the entry for a control stands: 72 x 20, its left edge 18
    // pixels left of the control's centre and its top 8 above it.
    static IBox EntryBox(const IBox& controlRect, bool textMode);

    // The layer's answers for the open entry. A commit is one gesture of its
    // own (begin-edit, the value, end-edit); a cancel sends nothing.
    void EntryCommitted(const std::string& text);
    void EntryCancelled();
    bool EntryOpen() const { return entryOpen; }
    // The text the open entry should show for its parameter's current
    // value; empty when the entry has no parameter.
    std::string EntryValueText() const;
    // Closes the open entry without committing it (the layer's entry goes).
    void CancelEntry();
    // A modal prompt opened from a press swallows the button release: ends
    // that press's gesture as the release would have (capture dropped,
    // end-edit sent for the begin-edit of the press).
    void EndPromptGesture(IControl* control);
    // The window is going while a gesture may be in progress: drops the
    // capture and sends the end-edit of an open gesture, once.
    void EndOpenGesture();
    // Commits text typed for param into control: a display text's value, or
    // the text read as a decimal number ("." whatever the locale; 0 when it
    // is not a number), negated for parameters shown negated.
    void CommitEntryText(IControl* control, IPlugParam* param, const char* text);

    IPlugBase* Plug() const { return plug; }
    int Width() const override { return width; }
    int Height() const override { return height; }
    int FPS() const { return fps; }

    IPlugBase* plug;
    IBox drawRect;
    PlugLock lock; // not taken by the graphics itself
    IControl* editControl = nullptr;
    IPlugParam* editParam = nullptr;
    int width;
    int height;
    int fps;
    int captureIdx = -1;
    int overIdx = -1;
    int lastX = -1;
    int lastY = -1;
    bool trackMouseOver = false;
    bool rightPress = false;

protected:
    // The layer's part of a scale change: the back buffer and the window
    // take the new device size (WindowWidth x WindowHeight).
    virtual void ScaleChanged() {}
    int scalePercent = kMinScale;
    // The full-size bitmap under every control (SetBackground); a right
    // click on it opens the size menu.
    IControl* background = nullptr;

    // Index of the control that received the press of the running gesture
    // and was sent begin-edit, -1 when none.
    int editGestureIdx = -1;
    bool entryOpen = false;

private:
    std::vector<std::unique_ptr<IControl>> controls;
    // The controls bound to each parameter index, rebuilt after the list
    // changed: a state restore pushes every parameter, and each push should
    // not walk the whole list.
    std::vector<std::vector<IControl*>> boundControls;
    bool boundStale = true;
    const std::vector<IControl*>& ControlsBoundTo(int paramIdx);
    void ClearCapture();
    // Sends the end-edit that matches the begin-edit of the gesture on
    // control idx, if that gesture is the one in progress.
    void EndGesture(int idx);
};
