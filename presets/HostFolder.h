#pragma once

#include "platform/DirWalk.h"
#include "presets/Node.h"
#include "presets/PathBuf.h"

#include <set>
#include <string>

// A folder on disk that can be walked. A root folder knows its full path; a
// sub-folder knows its own name and its parent, and builds its path from them.
// Derived classes decide what to keep of the entries that Scan finds.
class HostFolder : public Node
{
public:
    // A root folder at rootPath.
    explicit HostFolder(const char* rootPath);
    // A sub-folder called name inside parent.
    HostFolder(HostFolder* parent, const char* name);
    virtual ~HostFolder();

    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    // A scan stops after reporting this many files, and enters no more than
    // this many folders (the one it starts from included), so that a huge or
    // endless tree (links into the rest of the disk, a system folder) cannot
    // hold up the caller.
    static constexpr int kMaxScanFiles = 10000;
    static constexpr int kMaxScanFolders = 1000;

    // Enumerates the folder and reports each entry (but "." and "..") to
    // FolderFound or FileFound, in name order (NameBefore). Only folders and
    // regular files are reported: pipes, devices and sockets are never
    // opened. Entries whose full path would be longer than PathBuf::kMaxPath
    // are left out. Each real folder is entered once per scan, however it is
    // reached (links, junctions): the first name the scan meets keeps it,
    // and a folder's own sub-folders are all claimed before any of them is
    // entered, so a link further down never takes a folder from its place.
    virtual void Scan();
    virtual void FolderFound(const char* name);
    virtual void FileFound(const char* name);

    // Writes the folder's full path; false (and an empty path) when it does
    // not fit.
    bool BuildPath(PathBuf& path) const;

    const std::string& RootPath() const { return mRootPath; }
    const std::string& Name() const { return mName; }
    HostFolder* Parent() const { return mParent; }

    // Order of entry names: letter case ignored (ASCII), then byte order.
    static bool NameBefore(const std::string& a, const std::string& b);

private:
    struct ScanState
    {
        std::set<FolderId> entered;
        int files = 0;
        int folders = 0;
    };
    void ScanWith(ScanState& state);

    std::string mRootPath; // roots only
    std::string mName;     // sub-folders only
    HostFolder* mParent = nullptr;
    ScanState* mScan = nullptr; // on the folder a scan started from, while it runs
};

// A file inside a HostFolder.
class HostFile : public Node
{
public:
    HostFile(HostFolder* folder, const char* fileName);
    virtual ~HostFile();

    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    HostFolder* Folder() const { return mFolder; }
    const std::string& FileName() const { return mFileName; }

    // Writes the file's full path; false (and an empty path) when it does not
    // fit.
    bool BuildPath(PathBuf& path) const;

private:
    HostFolder* mFolder;
    std::string mFileName;
};
