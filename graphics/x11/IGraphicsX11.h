#pragma once

#include "graphics/IGraphicsLice.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The X11 window layer of the editor: a child window inside the host's
// window (XEmbed), on a display connection of its own, showing the back
// buffer and turning X input into the editor's event entries as the Win32
// layer does with window messages. Menus and the one-line entry are drawn by
// the editor itself with the raster library and the editor's font, so they
// look the same on every desktop.
//
// Who runs it: the host's idle calls (Idle, on its user-interface thread)
// handle the window's events and repaint at the editor's frame rate. A host
// that does not call Idle gets the same work done by a thread of the editor,
// which steps back while idle calls keep coming. Exactly one thread works
// the connection at a time (a mutex neither side waits on), and the thread
// only works while it could take the plug-in's lock without waiting, so that
// closing the editor with that lock held can stop and join it.
//
// Xlib stays out of this header; the window's state lives in Session.
class IGraphicsX11 : public IGraphicsLice
{
public:
    IGraphicsX11(IPlugBase* plug, int width, int height, int fps = 0);
    ~IGraphicsX11() override;

    bool CanOpenWindow() const override { return true; }
    // parent is the host's X window id. Null when it is 0, gone or not a
    // window, or when no display can be opened; then nothing is left behind.
    // Reopening while open closes the old window first.
    void* OpenEditorWindow(void* parent) override;
    // Ends a gesture in progress, removes an open entry without an answer,
    // stops the editor's thread and frees every X resource.
    void CloseEditorWindow() override;
    void* NativeWindow() override;
    bool IsWindowOpen() override { return session != nullptr; }
    void Idle() override;

    bool PresentArea(const IBox& box) override;
    // As the headless layer: the same FreeType text, so both draw alike.
    bool DrawTextIn(ITextStyle& style, const char* text, const IBox& box) override;

protected:
    void ScaleChanged() override;

public:
    void ResizeEditor(int width, int height) override;
    // The size the user chose, else the screen's: Xft.dpi / 96.
    int InitialScalePercent() override;
    int ShowMenu(const IPopupMenu& menu, int x, int y) override;
    bool RunBlocking(const std::function<void()>& work) override;
    bool ShowTextEntry(const IBox& box, const std::string& initial) override;
    void CloseTextEntry() override;
    void SetTextEntryText(const std::string& text) override;
    // The desktop's chooser (zenity or kdialog) when one is installed, else
    // a path typed into the editor's own entry.
    void AskForFilePath(std::string& path, int action, const char* startFolder,
                        const char* extension) override;
    bool AskForColour(IColorRGBA&, const char*) override { return false; }
    // Only http and https addresses, handed to xdg-open.
    bool OpenWebPage(const char* address, const char* title, const char* confirmation,
                     const char* error) override;

    // Editor windows open in the process.
    static int OpenWindowCount();

private:
    struct Session;

    // One round of work: the pending events, then a repaint when a frame
    // is due.
    void Pump();
    void DrainEvents();
    void Frame();
    void PaintExposed();
    // Puts what the round painted on the screen; called by the working
    // thread (under work) after it let go of the plug-in's lock.
    void Present();
    // An area uncovered while a prompt waits (a menu or an entry gone): the
    // back buffer still holds what was painted there, and goes back on the
    // screen at once; the area is painted afresh after the prompt as well.
    void ReshowExposed(union _XEvent& event);
    // Whether the working thread may go on: only while it holds the
    // plug-in's lock (the editor's thread may have had to go on without it).
    bool MayWork() const;
    void StartThread();
    void StopThread();
    void ThreadLoop();
    // Runs a modal wait with the level of the plug-in's lock that the
    // working thread took let go, so that audio and the host can go on (as
    // far as no caller further up holds it); it is taken back after. The
    // editor's thread never waits for it: when the editor is closing, its
    // closer holds the lock, and the thread goes on without it to its end.
    // False then: whatever the wait brought (a choice, a path) must be
    // dropped, since acting on it would touch the effect unlocked.
    template <class Wait> bool WaitUnlocked(Wait&& wait);
    std::string AskPathInEntry(const std::string& folder);

    void Dispatch(union _XEvent& event);
    void Press(union _XEvent& event);
    void Release(union _XEvent& event);
    void Motion(union _XEvent& event);
    void Key(union _XEvent& event);
    void EntryPress(union _XEvent& event);
    void CommitOpenEntry();
    void CancelOpenEntry();
    void Grab(unsigned long time);
    void Ungrab();

    std::unique_ptr<Session> session;
    std::thread thread;
    std::mutex work;                   // held by whichever thread works the connection
    std::atomic<bool> stopping{false}; // the editor's thread is to end
    std::atomic<int64_t> lastIdle{INT64_MIN / 2};
    std::atomic<int64_t> nextFrame{0};
    std::atomic<bool> moreQueued{false};
    int wakePipe[2] = {-1, -1};
    bool holdsPlugLock = false; // by the thread working the connection (under work)
};
