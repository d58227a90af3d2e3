#include "presets/PresetFolder.h"

#include <cstring>

PresetFile::PresetFile(PresetFolder* folder, const char* fileName) : HostFile(folder, fileName)
{
    const std::string& name = FileName();
    size_t dot = name.rfind('.');
    mDisplayName = name.substr(0, dot == std::string::npos ? name.size() : dot);
}

PresetFile::~PresetFile() = default;

PresetFolder::PresetFolder(const char* rootPath) : HostFolder(rootPath) {}

PresetFolder::PresetFolder(PresetFolder* parent, const char* name) : HostFolder(parent, name) {}

PresetFolder::~PresetFolder()
{
    mFolders.DeleteAll();
    mFiles.DeleteAll();
}

void PresetFolder::FolderFound(const char* name)
{
    auto folder = std::make_unique<PresetFolder>(this, name);
    folder->Scan();
    if (!folder->IsEmpty()) mFolders.Append(folder.release());
}

void PresetFolder::FileFound(const char* name)
{
    if (!std::strchr(name, '.')) return;
    mFiles.Append(new PresetFile(this, name));
}

int PresetFolder::NumberPresets(int first)
{
    int next = first;
    for (PresetFile* file = mFiles.First(); file; file = mFiles.Next(file))
        file->SetNumber(next++);
    for (PresetFolder* folder = mFolders.First(); folder; folder = mFolders.Next(folder))
        next = folder->NumberPresets(next);
    mFirstNumber = first;
    mLastNumber = next - 1;
    return next;
}

PresetFile* PresetFolder::FindInSubtree(int number) const
{
    for (PresetFile* file = mFiles.First(); file; file = mFiles.Next(file))
        if (file->Number() == number) return file;
    for (PresetFolder* folder = mFolders.First(); folder; folder = mFolders.Next(folder))
    {
        if (number < folder->mFirstNumber || number > folder->mLastNumber) continue;
        if (PresetFile* file = folder->FindInSubtree(number)) return file;
    }
    return nullptr;
}

PresetFile* PresetFolder::FindPresetByNumber(int number) const
{
    if (number < mFirstNumber || number > mLastNumber) return nullptr;
    return FindInSubtree(number);
}

std::unique_ptr<PresetFolder> BuildPresetTree(const char* rootPath)
{
    auto root = std::make_unique<PresetFolder>(rootPath);
    root->Scan();
    root->NumberPresets(1);
    return root;
}
