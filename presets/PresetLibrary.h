#pragma once

#include "presets/ConfigItems.h"
#include "presets/PresetFile.h"
#include "presets/PresetFolder.h"
#include "presets/PresetName.h"

#include <memory>

class PresetTarget;

// The effect's preset state: its configuration entries, the scanned preset
// tree and the current preset's name.
class PresetLibrary
{
public:
    // Default configuration, empty tree, no current preset.
    PresetLibrary();
    ~PresetLibrary();

    PresetLibrary(const PresetLibrary&) = delete;
    PresetLibrary& operator=(const PresetLibrary&) = delete;

    // At the effect's construction: reads the configuration file at
    // configPath (or the one beside the plug-in module when configPath is
    // null) and scans the preset folder it names.
    void Init(const char* configPath = nullptr);

    // Replaces the tree by a fresh scan of the configured preset folder. The
    // configuration file is not read again.
    void Rescan();

    // Loads the preset with that menu number; false when there is no such
    // number or the file cannot be read.
    bool LoadNumber(PresetTarget& target, int number);
    bool Load(PresetTarget& target, const char* path);
    bool Save(PresetTarget& target, const char* path, const PresetWriteRunner& run = {});

    // Full path of the preset with that number; false when there is none.
    bool PathForNumber(int number, PathBuf& path) const;

    ConfigItems& Config() { return mConfig; }
    const char* PresetFolderPath() const { return mConfig.Text(ConfigItems::PresetFolder); }
    PresetFolder& Root() { return *mRoot; }
    PresetName& Name() { return mName; }

private:
    ConfigItems mConfig;
    std::unique_ptr<PresetFolder> mRoot;
    PresetName mName;
};
