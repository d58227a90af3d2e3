#pragma once

// A small X11 host for the Linux module: loads a copy of the built module
// from a scratch folder (with its own Zelbor.ini and preset folder), creates
// effects through the exported entry, opens their editors in top-level
// windows of its own and drives them with real input through XTest. It knows
// only the VST 2 records and opcodes.

#include "framework/vst/VstAbi.h"
#include "platform/DynamicLibrary.h"
#include "tests/support/ScratchDir.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Xlib's types without its macros, which collide with the test framework's
// names.
struct _XDisplay;
using Display = _XDisplay;
using Window = unsigned long;

// What one effect asked of its host, in order.
struct X11HostLog
{
    struct Call
    {
        int opcode;
        int index;
        float value;
    };
    std::mutex mutex;
    std::vector<Call> calls;

    void Clear();
    // The begin-edit (B), automate (A) and end-edit (E) calls with their
    // parameter indices, a run of automations of one parameter written once:
    // "B0 A0 E0".
    std::string Edits();
    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                          VstIntPtr value, void* ptr, float opt);
};

// The X server and the module, shared by every test of the process.
class X11Host
{
public:
    // Opens the display (DISPLAY) and prepares the module's scratch folder;
    // false with a reason when either fails.
    static bool Start(std::string& why);
    static Display* TheDisplay();
    static Window Root();
    static const ScratchDir& Folder();

    // A new effect (opened and started) and its log.
    static AEffect* Create(X11HostLog& log);
    static void Destroy(AEffect* effect);
    static VstIntPtr Call(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f);

    // A mapped top-level window at (x, y) on the screen, of the editor's
    // size at 100 % unless another is given.
    static Window MakeParent(int x, int y, int w = 0, int h = 0);
    static void DestroyWindow(Window window);
    // Closes the server connection of the client that made window, as a
    // user who kills that window does.
    static void KillClientOf(Window window);
    // The process of the server on DISPLAY (from its lock file), or 0.
    static int ServerPid();
    // The children of a window, and the viewable override-redirect windows on
    // the screen (the popup menus), as rectangles on the screen.
    static int Children(Window window);
    static Window FirstChild(Window window);
    struct Rect
    {
        int x, y, w, h;
    };
    static std::vector<Rect> Popups();
    // The window's place in its parent and its size.
    static Rect Geometry(Window window);

    // Real input at screen coordinates.
    static void MoveTo(int x, int y);
    static void Button(unsigned button, bool down);
    static void Click(int x, int y, unsigned button = 1);
    static void Key(unsigned long keysym, bool shift = false);
    static void Type(const std::string& text);
    static void HoldKey(unsigned long keysym, bool down);

    // The window's pixels as 0xRRGGBB words, row after row.
    static std::vector<uint32_t> Capture(Window window, int w, int h);
};
