#include "presets/PresetNameControl.h"

#include "graphics/IGraphics.h"
#include "graphics/IPopupMenu.h"
#include "presets/PresetFolder.h"
#include "presets/PresetLibrary.h"

namespace
{

const char kExtension[] = ".preset";

} // namespace

std::string PresetSaveName(const std::string& name)
{
    // Only the end counts: a folder such as ".presets" is no extension.
    const size_t length = sizeof(kExtension) - 1;
    if (name.size() >= length && name.compare(name.size() - length, length, kExtension) == 0)
    {
        return name;
    }
    return name + kExtension;
}

void FillPresetMenu(IPopupMenu& menu, const PresetFolder& folder)
{
    for (const PresetFile* file = folder.Files().First(); file;
         file = NodeList<PresetFile>::Next(file))
    {
        menu.InsertText(file->DisplayName().c_str())->tag = file->Number();
    }
    for (const PresetFolder* sub = folder.Folders().First(); sub;
         sub = NodeList<PresetFolder>::Next(sub))
    {
        // The sub-menu is filled before it is added, so that its item counts
        // every entry below it.
        auto* submenu = new IPopupMenu();
        FillPresetMenu(*submenu, *sub);
        menu.InsertSubmenu(sub->Name().c_str(), submenu);
    }
}

PresetNameControl::PresetNameControl(IPlugBase* plugIn, const IBox& box, int param,
                                     const ITextStyle& style, PresetLibrary& presets,
                                     PresetTarget& presetTarget)
    : ITextControl(plugIn, box, style, "PRESET"), library(presets), target(presetTarget)
{
    paramIdx = param;
}

PresetNameControl::~PresetNameControl() = default;

void PresetNameControl::MouseDown(int, int, const IMouseKeys&)
{
    AskUserForValue();
}

bool PresetNameControl::Paint(IGraphics* graphics)
{
    graphics->DrawBoxOutline(IColorRGBA(255, 255, 255, 255), rect);
    return PaintText(graphics);
}

IPopupMenu* PresetNameControl::BuildParamMenu()
{
    if (!menu || rebuildMenu)
    {
        menu = std::make_unique<IPopupMenu>();
        FillPresetMenu(*menu, library.Root());
        menu->InsertSeparator();
        menu->InsertText("Load ...")->tag = PresetTagLoad;
        menu->InsertSeparator();
        menu->InsertText("Save")->tag = PresetTagSave;
        menu->InsertText("Save As ...")->tag = PresetTagSaveAs;
        menu->InsertSeparator();
        menu->InsertText("Rescan")->tag = PresetTagRescan;
        rebuildMenu = false;
    }
    menu->CheckAll(false);
    menu->EnableAll(true);
    return menu.get();
}

void PresetNameControl::DiscardMenu(IPopupMenu*) {}

void PresetNameControl::MenuChosen(IPopupMenu* chosenMenu, int index)
{
    const MenuEntry* entry = chosenMenu ? chosenMenu->EntryByFlatIndex(index) : nullptr;
    if (!entry || entry->submenu || entry->Has(MenuEntry::Separator))
    {
        return;
    }
    switch (entry->tag)
    {
    case PresetTagLoad:
        LoadPresetDialog();
        break;
    case PresetTagSave:
        if (library.Name().HasPath())
        {
            const std::string path = library.Name().Path();
            Save(path);
        }
        else
        {
            SavePresetAsDialog();
            rebuildMenu = true;
        }
        break;
    case PresetTagSaveAs:
        SavePresetAsDialog();
        rebuildMenu = true;
        break;
    case PresetTagRescan:
        Rescan();
        rebuildMenu = true;
        break;
    default:
        if (entry->tag >= 0)
        {
            library.LoadNumber(target, entry->tag);
        }
        break;
    }
}

std::string PresetNameControl::AskForPresetPath(int action)
{
    std::string path;
    if (IGraphics* graphics = Graphics())
    {
        graphics->AskForFilePath(path, action, library.PresetFolderPath(), "preset");
    }
    return path;
}

void PresetNameControl::LoadPresetDialog()
{
    const std::string path = AskForPresetPath(FileOpen);
    if (!path.empty())
    {
        library.Load(target, path.c_str());
    }
}

bool PresetNameControl::RunBlocking(const std::function<void()>& work)
{
    IGraphics* graphics = Graphics();
    if (!graphics)
    {
        work();
        return true;
    }
    return graphics->RunBlocking(work);
}

bool PresetNameControl::Save(const std::string& path)
{
    bool open = true;
    library.Save(target, path.c_str(),
                 [&](const std::function<void()>& write) { return open = RunBlocking(write); });
    return open;
}

bool PresetNameControl::Rescan()
{
    return RunBlocking([this] { library.Rescan(); });
}

void PresetNameControl::SavePresetAsDialog()
{
    const std::string path = AskForPresetPath(FileSave);
    if (path.empty())
    {
        return;
    }
    // The dialog asked before replacing the file the user named; a name
    // that gained the extension is another file, which it did not ask about.
    const std::string name = PresetSaveName(path);
    IGraphics* graphics = Graphics();
    if (name != path && graphics && !graphics->MayReplace(name, rect.left, rect.bottom))
    {
        return;
    }
    if (Save(name))
    {
        Rescan();
    }
}
