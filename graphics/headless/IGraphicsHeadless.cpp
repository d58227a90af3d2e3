#include "graphics/headless/IGraphicsHeadless.h"

#include "graphics/IPopupMenu.h"
#include "graphics/headless/HeadlessFont.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/PngWriter.h"

#include <cstdlib>

IGraphicsHeadless::IGraphicsHeadless(IPlugBase* plugIn, int w, int h, int framesPerSecond)
    : IGraphicsLice(plugIn, w, h, framesPerSecond)
{
}

IGraphicsHeadless::~IGraphicsHeadless() = default;

bool IGraphicsHeadless::TextAvailable()
{
    return HeadlessFont::Available();
}

bool IGraphicsHeadless::PresentArea(const IBox& box)
{
    presented.push_back(box);
    return true;
}

bool IGraphicsHeadless::Tick()
{
    IBox dirty;
    if (!CollectDirtyArea(dirty))
    {
        return false;
    }
    PaintArea(dirty);
    return true;
}

bool IGraphicsHeadless::PaintAll()
{
    return PaintArea(IBox(0, 0, Width(), Height()));
}

bool IGraphicsHeadless::SavePng(const char* path)
{
    return WritePngFile(backBuffer.get(), path, true);
}

void* IGraphicsHeadless::OpenEditorWindow(void* parent)
{
    if (!parent)
    {
        return nullptr;
    }
    window = this;
    MarkAllControlsDirty();
    return window;
}

void IGraphicsHeadless::CloseEditorWindow()
{
    CancelEntry();
    EndOpenGesture();
    window = nullptr;
}

bool IGraphicsHeadless::DrawTextIn(ITextStyle& style, const char* text, const IBox& box)
{
    if (text && *text)
    {
        const int reach = std::abs(style.size) + 4;
        textBoxes.push_back(
            box.Union(IBox(box.left - reach, box.top - 2, box.right + reach, box.top + reach)));
    }
    style.scalePercent = scalePercent;
    return HeadlessFont::DrawStyled(backBuffer.get(), style, text, ToDevice(box));
}

int IGraphicsHeadless::ShowMenu(const IPopupMenu& menu, int, int)
{
    const int id = chooser.menu ? chooser.menu(menu) : 0;
    return id > 0 && id <= menu.Total() ? id - 1 : -1;
}

bool IGraphicsHeadless::ShowTextEntry(const IBox& box, const std::string& initial)
{
    entryBox = box;
    // The chooser answers at once, as a user typing and pressing Return (or
    // Escape) would.
    std::string typed = initial;
    if (chooser.text && chooser.text(initial, typed))
    {
        EntryCommitted(typed);
    }
    else
    {
        EntryCancelled();
    }
    return true;
}

void IGraphicsHeadless::AskForFilePath(std::string& path, int action, const char* startFolder,
                                       const char*)
{
    path =
        chooser.filePath ? chooser.filePath(action, startFolder ? startFolder : "") : std::string();
}

bool IGraphicsHeadless::AskForColour(IColorRGBA& colour, const char*)
{
    return chooser.colour ? chooser.colour(colour) : false;
}

bool IGraphicsHeadless::OpenWebPage(const char*, const char*, const char*, const char*)
{
    return false;
}
