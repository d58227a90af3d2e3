#include "platform/DirWalk.h"

#include <dirent.h>
#include <string>
#include <sys/stat.h>

struct DirWalk::Impl
{
    DIR* dir = nullptr;
    std::string folder;
    const char* name = "";
    bool isFolder = false;
    bool isRegular = false;
};

DirWalk::DirWalk() : mImpl(std::make_unique<Impl>()) {}

DirWalk::~DirWalk()
{
    Close();
}

bool DirWalk::Open(const char* path)
{
    Close();
    if (!path || !*path) return false;
    mImpl->dir = ::opendir(path);
    if (!mImpl->dir) return false;
    mImpl->folder = path;
    if (mImpl->folder.back() != '/') mImpl->folder += '/';
    return true;
}

bool DirWalk::Next()
{
    mImpl->name = "";
    mImpl->isFolder = false;
    mImpl->isRegular = false;
    if (!mImpl->dir) return false;
    const dirent* entry = ::readdir(mImpl->dir);
    if (!entry) return false;
    mImpl->name = entry->d_name;
    if (entry->d_type == DT_DIR)
    {
        mImpl->isFolder = true;
    }
    else if (entry->d_type == DT_REG)
    {
        mImpl->isRegular = true;
    }
    else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
    {
        // Links count as what they point to, as on systems whose enumeration
        // reports linked folders as folders. stat never opens the entry, so
        // a pipe behind a link cannot block here.
        struct stat st;
        std::string full = mImpl->folder + entry->d_name;
        if (::stat(full.c_str(), &st) == 0)
        {
            mImpl->isFolder = S_ISDIR(st.st_mode);
            mImpl->isRegular = S_ISREG(st.st_mode);
        }
    }
    return true;
}

const char* DirWalk::Name() const
{
    return mImpl->name;
}

bool DirWalk::IsFolder() const
{
    return mImpl->isFolder;
}

bool DirWalk::IsRegularFile() const
{
    return mImpl->isRegular;
}

void DirWalk::Close()
{
    if (mImpl->dir) ::closedir(mImpl->dir);
    mImpl->dir = nullptr;
    mImpl->name = "";
    mImpl->isFolder = false;
    mImpl->isRegular = false;
}

bool GetFolderId(const char* path, FolderId& id)
{
    struct stat st;
    if (!path || !*path || ::stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id.volume = static_cast<uint64_t>(st.st_dev);
    id.index = static_cast<uint64_t>(st.st_ino);
    return true;
}
