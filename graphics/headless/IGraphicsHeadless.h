#pragma once

#include "graphics/IGraphicsLice.h"

#include <functional>
#include <string>
#include <vector>

// Answers the prompts of the headless window layer in place of a user.
// Every member may be left empty, which cancels that kind of prompt.
struct HeadlessChooser
{
    // The native id of the chosen item (ids run from 1 in the order the
    // shared native numbering gives; menu.EntryByFlatIndex(id - 1) is the
    // item), or 0 to cancel.
    std::function<int(const IPopupMenu& menu)> menu;
    // False cancels; true commits typed. initial is what the entry shows.
    std::function<bool(const std::string& initial, std::string& typed)> text;
    // The chosen path, or empty to cancel. action is an IFileAction.
    std::function<std::string(int action, const std::string& startFolder)> filePath;
    // False cancels; true commits the colour, changed in place.
    std::function<bool(IColorRGBA& colour)> colour;
};

// The editor without a window system: the same back buffer and drawing as
// every window layer, a window that is only a token, presentation that
// records the boxes it is given, text drawn with FreeType (see
// HeadlessFont), and prompts answered by a scriptable chooser. Tests drive
// whole editors with it, and tools render editors to PNG files.
class IGraphicsHeadless : public IGraphicsLice
{
public:
    IGraphicsHeadless(IPlugBase* plug, int width, int height, int fps = 0);
    ~IGraphicsHeadless() override;

    // Whether DrawTextIn can draw text here (FreeType and the font files).
    static bool TextAvailable();

    // Records the box; nothing is shown anywhere.
    bool PresentArea(const IBox& box) override;
    const std::vector<IBox>& Presented() const { return presented; }
    void ClearPresented() { presented.clear(); }

    // What a window's timer does: paints the dirty area, if any. Answers
    // whether it painted.
    bool Tick();
    // Paints the whole surface.
    bool PaintAll();
    // Writes the back buffer to a PNG file, opaque; false when there is no
    // back buffer or the file cannot be written.
    bool SavePng(const char* path);

    HeadlessChooser& Chooser() { return chooser; }

    // No window system: the host is not offered this editor.
    bool CanOpenWindow() const override { return false; }
    // A null parent opens nothing. Otherwise the window is a token (this)
    // and every control is marked for painting.
    void* OpenEditorWindow(void* parent) override;
    void CloseEditorWindow() override;
    void* NativeWindow() override { return window; }

    // The line in the style's font, colour and horizontal alignment, its
    // cell top at box.top; the orientation is not applied. False when text
    // is not available here or the style's size is 0.
    bool DrawTextIn(ITextStyle& style, const char* text, const IBox& box) override;
    // The chooser's answer: its native id (counted from 1) as a flat index.
    int ShowMenu(const IPopupMenu& menu, int x, int y) override;
    // The chooser answers at once: a commit of its text or a cancel.
    bool ShowTextEntry(const IBox& box, const std::string& initial) override;
    // Where the last entry was opened.
    const IBox& LastEntryBox() const { return entryBox; }
    // The logical boxes text was drawn into since the last clear, each grown
    // by the text's reach past it (it is top-aligned and not clipped).
    const std::vector<IBox>& TextBoxes() const { return textBoxes; }
    void ClearTextBoxes() { textBoxes.clear(); }
    void AskForFilePath(std::string& path, int action, const char* startFolder,
                        const char* extension) override;
    bool AskForColour(IColorRGBA& colour, const char* title) override;
    // There is no browser: always false.
    bool OpenWebPage(const char* address, const char* title, const char* confirmation,
                     const char* error) override;

private:
    HeadlessChooser chooser;
    IBox entryBox;
    std::vector<IBox> presented;
    std::vector<IBox> textBoxes;
    void* window = nullptr;
};
