#pragma once

#include "graphics/IBox.h"
#include "graphics/x11/X11Surface.h"

#include <X11/Xlib.h>
#include <memory>
#include <string>

class HeadlessFont;
class LICE_MemBitmap;

// A one-line text entry drawn by the editor: a child window over a box of
// its parent, black text on white in a black frame, centred, with a caret
// and a selection. It takes the keys given to it (the parent keeps the
// keyboard focus) and says when Return or Escape ends it; what the text
// means is the caller's business.
class X11TextEntry
{
public:
    enum Outcome
    {
        Editing,
        Commit, // Return
        Cancel  // Escape
    };

    // The text starts all selected; its font is drawn at the editor's scale.
    X11TextEntry(Display* display, Window parent, const IBox& box, const std::string& text,
                 int scalePercent = 100);
    ~X11TextEntry();
    X11TextEntry(const X11TextEntry&) = delete;
    X11TextEntry& operator=(const X11TextEntry&) = delete;

    Window Handle() const { return window; }
    const IBox& Box() const { return box; }
    const std::string& Text() const { return text; }
    // Whether the user has changed the text since it was last set.
    bool Edited() const { return edited; }
    // Replaces the text, caret at its end, nothing selected.
    void SetText(const std::string& newText);

    Outcome Key(XKeyEvent& event);
    // Puts the caret at the character boundary nearest x (entry
    // coordinates) and drops the selection.
    void Click(int x);
    void Draw();

private:
    void Insert(const std::string& utf8);
    void EraseSelection();
    bool HasSelection() const { return anchor != caret; }
    size_t PreviousBoundary(size_t at) const;
    size_t NextBoundary(size_t at) const;
    // Where the text starts, left edge in entry coordinates, the caret kept
    // inside the frame.
    int TextLeft();

    Display* display;
    Window window = 0;
    IBox box;
    std::string text;
    size_t caret = 0;  // byte offset
    size_t anchor = 0; // the other end of the selection
    int scroll = 0;    // pixels the text is moved left when it overflows
    bool edited = false;
    std::unique_ptr<HeadlessFont> font;
    std::unique_ptr<LICE_MemBitmap> pixels;
    std::unique_ptr<X11Surface> surface;
};
