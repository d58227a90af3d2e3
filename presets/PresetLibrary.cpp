#include "presets/PresetLibrary.h"

#include "presets/PresetFile.h"

PresetLibrary::PresetLibrary() : mRoot(std::make_unique<PresetFolder>("")) {}

PresetLibrary::~PresetLibrary() = default;

void PresetLibrary::Init(const char* configPath)
{
    std::string path = configPath ? std::string(configPath) : ConfigFilePath();
    ReadConfiguration(mConfig, path.c_str());
    // A relative preset folder names one beside the configuration file (and
    // so beside the module), whatever the host's current folder is.
    ConfigItem* folder = mConfig.Item(ConfigItems::PresetFolder);
    folder->text = ResolveConfigFolder(folder->text.c_str(), path.c_str());
    Rescan();
}

void PresetLibrary::Rescan()
{
    mRoot.reset();
    mRoot = BuildPresetTree(PresetFolderPath());
}

bool PresetLibrary::PathForNumber(int number, PathBuf& path) const
{
    const PresetFile* file = mRoot->FindPresetByNumber(number);
    return file && file->BuildPath(path);
}

bool PresetLibrary::LoadNumber(PresetTarget& target, int number)
{
    PathBuf path;
    if (!PathForNumber(number, path)) return false;
    return LoadPresetFile(target, mName, path.Get());
}

bool PresetLibrary::Load(PresetTarget& target, const char* path)
{
    return LoadPresetFile(target, mName, path);
}

bool PresetLibrary::Save(PresetTarget& target, const char* path, const PresetWriteRunner& run)
{
    return SavePresetFile(target, mName, path, run);
}
