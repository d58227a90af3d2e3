#include "presets/HostFolder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
unsigned char LowerAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
} // namespace

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

bool HostFolder::NameBefore(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
    {
        const unsigned char x = LowerAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = LowerAscii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

void HostFolder::Scan()
{
    // Sub-folders scanned from FolderFound share the state of the scan that
    // found them, kept on the folder it started from.
    for (HostFolder* up = mParent; up; up = up->mParent)
    {
        if (up->mScan)
        {
            ScanWith(*up->mScan);
            return;
        }
    }
    ScanState state;
    PathBuf path;
    FolderId id;
    if (BuildPath(path) && !path.Empty() && GetFolderId(path.Get(), id)) state.entered.insert(id);
    state.folders = 1;
    mScan = &state;
    ScanWith(state);
    mScan = nullptr;
}

void HostFolder::ScanWith(ScanState& state)
{
    PathBuf path;
    if (!BuildPath(path) || path.Empty()) return;

    struct Entry
    {
        std::string name;
        bool folder;
    };
    std::vector<Entry> entries;
    {
        DirWalk walk;
        if (!walk.Open(path.Get())) return;
        while (walk.Next())
        {
            const char* name = walk.Name();
            // An empty name is one the system could not give as UTF-8.
            if (!*name || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            if (path.LengthWith(name) > PathBuf::kMaxPath) continue;
            if (walk.IsFolder() || walk.IsRegularFile()) entries.push_back({name, walk.IsFolder()});
            // No more than a whole scan may report.
            if (entries.size() >= size_t(kMaxScanFiles + kMaxScanFolders)) break;
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return NameBefore(a.name, b.name); });

    // The sub-folders are claimed before any of them is entered, so that a
    // link further down cannot take a folder from its place here.
    std::vector<bool> enter(entries.size(), false);
    for (size_t i = 0; i < entries.size(); ++i)
    {
        if (!entries[i].folder || state.folders >= kMaxScanFolders) continue;
        PathBuf sub;
        FolderId id;
        if (sub.Set(path.Get()) && sub.AppendPathPart(entries[i].name.c_str()) &&
            GetFolderId(sub.Get(), id) && !state.entered.insert(id).second)
            continue; // entered already, through another name
        enter[i] = true;
        ++state.folders;
    }

    for (size_t i = 0; i < entries.size(); ++i)
    {
        if (state.files >= kMaxScanFiles) return;
        if (entries[i].folder)
        {
            if (enter[i]) FolderFound(entries[i].name.c_str());
        }
        else
        {
            ++state.files;
            FileFound(entries[i].name.c_str());
        }
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
