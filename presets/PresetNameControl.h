#pragma once

#include "graphics/ITextControl.h"

#include <functional>
#include <memory>
#include <string>

class IPopupMenu;
class PresetFolder;
class PresetLibrary;
class PresetTarget;

// Tags of the preset menu's commands; preset files carry their number (1 and
// up) as tag.
enum PresetMenuTag
{
    PresetTagLoad = -1,
    PresetTagSave = -2,
    PresetTagSaveAs = -3,
    PresetTagRescan = -4
};

// The preset name field: an outlined, centred text that opens the preset
// menu on a click with either button. The menu lists the preset tree folder
// by folder (sub-folders as sub-menus) in numbering order, then "Load ...",
// "Save", "Save As ..." and "Rescan". It is kept between openings and built
// anew only after the tree may have changed.
class PresetNameControl : public ITextControl
{
public:
    PresetNameControl(IPlugBase* plug, const IBox& rect, int paramIdx, const ITextStyle& style,
                      PresetLibrary& library, PresetTarget& target);
    ~PresetNameControl() override;

    void MouseDown(int x, int y, const IMouseKeys& keys) override;
    bool Paint(IGraphics* graphics) override;
    IPopupMenu* BuildParamMenu() override;
    void DiscardMenu(IPopupMenu* menu) override;
    void MenuChosen(IPopupMenu* menu, int index) override;

    // Asks for a preset file and loads it.
    void LoadPresetDialog();
    // Asks for a file name, saves (adding ".preset" unless the name ends in
    // it) and rescans.
    void SavePresetAsDialog();

    bool rebuildMenu = true;

private:
    // Work that waits on the disk (writing a preset, walking the preset
    // folder) runs through the window layer, so that audio goes on
    // meanwhile. False when the editor closed during it: nothing more may
    // be done then.
    bool RunBlocking(const std::function<void()>& work);
    bool Save(const std::string& path);
    bool Rescan();
    // The path the user picks in the file dialog (open or save), starting
    // in the preset folder; empty when cancelled.
    std::string AskForPresetPath(int action);

    std::unique_ptr<IPopupMenu> menu;
    PresetLibrary& library;
    PresetTarget& target;
};

// The file name a "Save As ..." writes: name with ".preset" appended unless
// the name's first ".preset" ends it. Case-sensitive.
std::string PresetSaveName(const std::string& name);

// Appends the folder's presets to menu: its files (tag = number), then each
// sub-folder as a sub-menu filled the same way.
void FillPresetMenu(IPopupMenu& menu, const PresetFolder& folder);
