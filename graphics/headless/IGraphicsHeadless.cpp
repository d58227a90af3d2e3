#include "graphics/headless/IGraphicsHeadless.h"

#include "framework/IPlugParam.h"
#include "graphics/IControl.h"
#include "graphics/IPopupMenu.h"
#include "graphics/headless/HeadlessFont.h"
#include "raster/LICE_SysBitmap.h"
#include "raster/PngWriter.h"

namespace
{
// Numbers the menu as a native one would be built, keeping nothing.
struct CountingSink : NativeMenuSink
{
    void* NewMenu() override { return this; }
    void AddItem(void*, int, int, const MenuEntry&, bool, void*) override {}
};
} // namespace

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
    window = nullptr;
}

bool IGraphicsHeadless::DrawTextIn(ITextStyle& style, const char* text, const IBox& box)
{
    if (!text || !*text)
    {
        return true;
    }
    if (!backBuffer)
    {
        return false;
    }
    auto* font = style.LayerFont<HeadlessFont>();
    if (!font)
    {
        return false;
    }
    const IColorRGBA& c = style.color;
    return font->DrawLine(backBuffer.get(), text, box, style.align,
                          IColorRGBA(0, c.red, c.green, c.blue).Pack());
}

bool IGraphicsHeadless::BuildNativeMenu(void* nativeMenu, int& nextId, const IPopupMenu& menu)
{
    CountingSink sink;
    return ::BuildNativeMenu(sink, nativeMenu, nextId, menu);
}

void IGraphicsHeadless::PromptForValue(IControl* control, IPlugParam* param, bool textMode)
{
    if (!control || (!param && !textMode))
    {
        return;
    }
    editControl = control;
    editParam = param;
    if (IPopupMenu* menu = control->BuildParamMenu())
    {
        int nextId = 1;
        BuildNativeMenu(nullptr, nextId, *menu);
        const int id = chooser.menu ? chooser.menu(*menu) : 0;
        if (id > 0 && id < nextId)
        {
            control->MenuChosen(menu, id - 1);
        }
        control->DiscardMenu(menu);
    }
    else
    {
        // Controls keep no text of their own to start a text-mode entry with.
        std::string initial;
        if (!textMode)
        {
            char buf[kParamTextSize] = {};
            param->FormatValue(param->Value(), false, buf, sizeof(buf));
            initial = buf;
        }
        std::string typed;
        if (chooser.text && chooser.text(initial, typed))
        {
            CommitEntryText(control, param, typed.c_str());
        }
    }
    EndPromptGesture(control);
    editControl = nullptr;
    editParam = nullptr;
}

void IGraphicsHeadless::PromptFromMenu(IControl* control, IPlugParam* param, int columnLength)
{
    if (!control || !param)
    {
        return;
    }
    editControl = control;
    editParam = param;
    IPopupMenu menu;
    const double current = param->Value();
    for (int i = 0; i < param->DisplayTextCount(); ++i)
    {
        int flags = 0;
        if (columnLength > 0 && i > 0 && i % columnLength == 0)
        {
            flags |= MenuEntry::ColumnBreak;
        }
        if (i == current)
        {
            flags |= MenuEntry::Checked;
        }
        menu.InsertText(param->GetDisplayText(i)->text, -1, flags);
    }
    const int id = chooser.menu ? chooser.menu(menu) : 0;
    if (const MenuEntry* item = id > 0 ? menu.EntryByFlatIndex(id - 1) : nullptr)
    {
        int value = 0;
        if (!param->ValueForDisplayText(item->text.c_str(), &value))
        {
            value = 0;
        }
        control->TakeUserValue(param->ToNormalized(value));
    }
    EndPromptGesture(control);
    editControl = nullptr;
    editParam = nullptr;
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
