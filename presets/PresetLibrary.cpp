#include "presets/PresetLibrary.h"

#include "presets/PresetFile.h"

PresetLibrary::PresetLibrary() : mRoot(std::make_unique<PresetFolder>("")) {}

PresetLibrary::~PresetLibrary() = default;

void PresetLibrary::Init(const char* configPath)
{
    if (configPath)
        ReadConfiguration(mConfig, configPath);
    else
        ReadConfiguration(mConfig, ConfigFilePath().c_str());
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

bool PresetLibrary::Save(PresetTarget& target, const char* path)
{
    return SavePresetFile(target, mName, path);
}
