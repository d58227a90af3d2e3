#pragma once

#include "platform/DirWalk.h"
#include "presets/Node.h"
#include "presets/PathBuf.h"

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

    // Enumerates the folder and reports each entry (but "." and "..") to
    // FolderFound or FileFound, in the order the system delivers them.
    // Entries whose full path would be longer than PathBuf::kMaxPath are left
    // out, and a folder that is one of its own ancestors (a link loop) is not
    // entered again.
    virtual void Scan();
    virtual void FolderFound(const char* name);
    virtual void FileFound(const char* name);

    // Writes the folder's full path; false (and an empty path) when it does
    // not fit.
    bool BuildPath(PathBuf& path) const;

    const std::string& RootPath() const { return mRootPath; }
    const std::string& Name() const { return mName; }
    HostFolder* Parent() const { return mParent; }

private:
    std::string mRootPath; // roots only
    std::string mName;     // sub-folders only
    HostFolder* mParent = nullptr;
    FolderId mId;
    bool mHasId = false;
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
