#include "presets/HostFolder.h"

#include <cstring>

HostFolder::HostFolder(const char* rootPath) : mRootPath(rootPath ? rootPath : "") {}

HostFolder::HostFolder(HostFolder* parent, const char* name)
    : mName(name ? name : ""), mParent(parent)
{
}

HostFolder::~HostFolder() = default;

bool HostFolder::BuildPath(PathBuf& path) const
{
    if (!mParent) return path.Set(mRootPath.c_str());
    if (!mParent->BuildPath(path)) return false;
    if (!path.AppendPathPart(mName.c_str()))
    {
        path.Clear();
        return false;
    }
    return true;
}

void HostFolder::Scan()
{
    PathBuf path;
    if (!BuildPath(path) || path.Empty()) return;

    mHasId = GetFolderId(path.Get(), mId);
    if (mHasId)
    {
        for (const HostFolder* up = mParent; up; up = up->mParent)
            if (up->mHasId && up->mId == mId) return;
    }

    DirWalk walk;
    if (!walk.Open(path.Get())) return;
    while (walk.Next())
    {
        const char* name = walk.Name();
        // An empty name is one the system could not give as UTF-8.
        if (!*name || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (path.LengthWith(name) > PathBuf::kMaxPath) continue;
        if (walk.IsFolder())
            FolderFound(name);
        else
            FileFound(name);
    }
}

void HostFolder::FolderFound(const char*) {}

void HostFolder::FileFound(const char*) {}

HostFile::HostFile(HostFolder* folder, const char* fileName)
    : mFolder(folder), mFileName(fileName ? fileName : "")
{
}

HostFile::~HostFile() = default;

bool HostFile::BuildPath(PathBuf& path) const
{
    if (!mFolder || !mFolder->BuildPath(path)) return false;
    if (!path.AppendPathPart(mFileName.c_str()))
    {
        path.Clear();
        return false;
    }
    return true;
}
