#pragma once

#include "presets/HostFolder.h"

#include <climits>
#include <memory>

class PresetFolder;

// A file found in a preset folder: any name with a "." in it. Its display
// name is the file name cut at its last ".".
class PresetFile : public HostFile
{
public:
    PresetFile(PresetFolder* folder, const char* fileName);
    ~PresetFile() override;

    const std::string& DisplayName() const { return mDisplayName; }
    int Number() const { return mNumber; }
    void SetNumber(int number) { mNumber = number; }

private:
    std::string mDisplayName;
    int mNumber = 0; // menu number from 1; 0 until numbered
};

// A folder of presets: its files, then its sub-folders that hold at least one
// file somewhere below them. Files are numbered depth-first, a folder's own
// files before those of its sub-folders.
class PresetFolder : public HostFolder
{
public:
    explicit PresetFolder(const char* rootPath);
    PresetFolder(PresetFolder* parent, const char* name);
    ~PresetFolder() override;

    void FolderFound(const char* name) override;
    void FileFound(const char* name) override;

    // Numbers the files of this subtree from first on; returns the next free
    // number.
    int NumberPresets(int first);
    // The file with that number in this subtree, or null.
    PresetFile* FindPresetByNumber(int number) const;

    bool IsEmpty() const { return mFiles.Empty() && mFolders.Empty(); }
    const NodeList<PresetFile>& Files() const { return mFiles; }
    const NodeList<PresetFolder>& Folders() const { return mFolders; }
    int FirstNumber() const { return mFirstNumber; }
    int LastNumber() const { return mLastNumber; }

private:
    PresetFile* FindInSubtree(int number) const;

    int mFirstNumber = INT_MAX;
    int mLastNumber = -1;
    NodeList<PresetFile> mFiles;
    NodeList<PresetFolder> mFolders;
};

// Scans the folder at rootPath (may be empty: the tree has no entries) and
// numbers its presets from 1.
std::unique_ptr<PresetFolder> BuildPresetTree(const char* rootPath);
