#pragma once

#include "graphics/IGraphicsLice.h"

#include <cstdint>
#include <memory>
#include <string>

// The Win32 window layer of the editor: a borderless child window inside the
// host's window, repainted from a window timer, turning mouse and keyboard
// messages into the editor's event entries and copying the back buffer to
// the screen in one block. It also supplies the prompts (an in-place text
// entry or a popup menu), text drawing with GDI, the file and colour dialogs,
// web pages and the folders of the host and plug-in modules. Everything runs
// on the host's user-interface thread.
//
// Window handles are kept as void* so that this header needs no OS header.
class IGraphicsWin : public IGraphicsLice
{
public:
    // What the text entry is doing; the window's timer acts on the last three.
    enum EntryState
    {
        EntryIdle = 0,
        EntryFocused = 1, // the entry has the keyboard focus: the editor stays out of its way
        EntryRefresh = 2, // show the parameter's current value in the entry
        EntryCancel = 3,
        EntryCommit = 4
    };

    // The timer that drives repainting.
    static constexpr unsigned kTimerId = 2;
    // The child id of the text entry.
    static constexpr int kEntryId = 99;

    IGraphicsWin(IPlugBase* plug, int width, int height, int fps = 0);
    ~IGraphicsWin() override;

    bool CanOpenWindow() const override { return true; }

    // Opens the window in parent; reopening while open keeps the old
    // window's size and position in the parent. Null when the window cannot
    // be made (a null or destroyed parent included).
    void* OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    void* NativeWindow() override { return window; }
    bool IsWindowOpen() override { return window != nullptr; }

    // One block copy from the back buffer to the window.
    bool PresentArea(const IBox& box) override;
    bool DrawTextIn(ITextStyle& style, const char* text, const IBox& box) override;
    // A native popup menu at the pointer, owned by the editor window.
    int ShowMenu(const IPopupMenu& menu, int x, int y) override;
    // An edit control over the box; its commit and cancel are acted on at
    // the next timer tick.
    bool ShowTextEntry(const IBox& box, const std::string& initial) override;
    void CloseTextEntry() override;
    void SetTextEntryText(const std::string& text) override;
    // Grows or shrinks the open window (and a child parent and grandparent)
    // by the change in size.
    void ResizeEditor(int width, int height) override;
    // The size the user chose, else the scale of the screen the editor
    // opens on (its monitor's DPI / 96).
    int InitialScalePercent() override;
    // The window's size as the host's window sees it: scaled by the host's
    // DPI over the screen's when the system scales the host (a host that is
    // not DPI aware shows a 1440-pixel editor in a frame of 720).
    int HostWidth() const override;
    int HostHeight() const override;
    void AskForFilePath(std::string& path, int action, const char* startFolder,
                        const char* extension) override;
    bool AskForColour(IColorRGBA& colour, const char* title) override;
    // Only http and https addresses are opened.
    bool OpenWebPage(const char* address, const char* title, const char* confirmation,
                     const char* error) override;

    // The module whose window class and resources the editor uses; set by
    // the plug-in right after construction (defaults to this code's module).
    void SetInstance(void* moduleInstance) { instance = moduleInstance; }
    void* Instance() const { return instance; }

    void* EntryWindow() const { return entryWindow; }
    int EntryStateNow() const { return entryState; }

    // Editor windows open in the process; the class is registered while
    // this is above 0.
    static int OpenWindowCount();
    // Fonts this layer made (text styles and entries) and has not deleted.
    static int LiveFontCount();

protected:
    void ScaleChanged() override;

private:
    IColorRGBA textColour{255, 0, 0, 0}; // last colour set on the back buffer's context
    void* instance = nullptr;
    void* window = nullptr;
    void* entryWindow = nullptr;
    void* entryPrevProc = nullptr;
    int entryState = EntryIdle;
    bool entryPressSeen = false; // a button went down in the entry since it opened
    void* entryFont = nullptr;
    std::unique_ptr<unsigned long[]> customColors; // 16 colour words, made on first use
    void* parentWindow = nullptr;
    bool inPaint = false; // inside the window's paint message
    int shownWidth = 0;   // the open window's device size, which a scale change grows
    int shownHeight = 0;
    unsigned hostDpi = 96;         // the DPI the host's window works in
    unsigned screenDpi = 96;       // the DPI of the screen it is on
    bool menuOpen = false;         // a popup menu of this editor is being shown
    bool releasingCapture = false; // the capture change under way is the editor's own

    friend struct IGraphicsWinAccess;

    // The window procedures' share of the work.
    intptr_t HandleMessage(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    intptr_t HandleEntryMessage(void* hwnd, unsigned msg, uintptr_t wParam, intptr_t lParam);
    void TimerTick();
    // Lets go of the mouse if the editor holds it.
    void ReleaseOwnCapture();
    void Paint();
    // Removes the entry window and releases its font; when the entry window
    // is already gone only the bookkeeping is done. The core is not told.
    void DestroyEntry();
    std::string EntryText() const;
    // Bookkeeping once the window is gone, however it went.
    void ForgetWindow();
    // Shows a native popup menu owned by owner at the cursor; the chosen id
    // or 0.
    int TrackMenu(void* menu, void* owner);
};
