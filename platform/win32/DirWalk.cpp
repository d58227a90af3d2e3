#include "platform/DirWalk.h"

#include "platform/win32/Utf16.h"

#include <string>
#include <windows.h>

namespace
{
// Room for the longest name the system returns (MAX_PATH UTF-16 units, each
// at most 3 bytes of UTF-8) with margin.
constexpr int kNameBufferSize = 1300;
} // namespace

struct DirWalk::Impl
{
    HANDLE find = INVALID_HANDLE_VALUE;
    bool wide = true;
    bool pending = false; // the first entry is held, not yet handed out
    WIN32_FIND_DATAW wideData;
    WIN32_FIND_DATAA narrowData;
    char name[kNameBufferSize] = {};
    bool isFolder = false;
    bool hasEntry = false;

    void TakeEntry()
    {
        hasEntry = true;
        if (wide)
        {
            int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wideData.cFileName, -1, name,
                                        kNameBufferSize, nullptr, nullptr);
            if (n <= 0) name[0] = 0;
            isFolder = (wideData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        }
        else
        {
            lstrcpynA(name, narrowData.cFileName, kNameBufferSize);
            isFolder = (narrowData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        }
    }
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
    std::string pattern = path;
    if (pattern.back() == '\\' || pattern.back() == '/') pattern.pop_back();
    pattern += "\\*";

    std::wstring widePattern;
    if (Utf8ToWide(pattern.c_str(), widePattern))
    {
        mImpl->wide = true;
        mImpl->find = FindFirstFileW(widePattern.c_str(), &mImpl->wideData);
    }
    if (mImpl->find == INVALID_HANDLE_VALUE)
    {
        // Not UTF-8 (a path in the ANSI code page), or the wide call failed.
        mImpl->wide = false;
        mImpl->find = FindFirstFileA(pattern.c_str(), &mImpl->narrowData);
    }
    if (mImpl->find == INVALID_HANDLE_VALUE) return false;
    mImpl->pending = true;
    return true;
}

bool DirWalk::Next()
{
    mImpl->name[0] = 0;
    mImpl->isFolder = false;
    mImpl->hasEntry = false;
    if (mImpl->find == INVALID_HANDLE_VALUE) return false;
    if (mImpl->pending)
    {
        mImpl->pending = false;
    }
    else
    {
        BOOL found = mImpl->wide ? FindNextFileW(mImpl->find, &mImpl->wideData)
                                 : FindNextFileA(mImpl->find, &mImpl->narrowData);
        if (!found) return false;
    }
    mImpl->TakeEntry();
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

// Pipes and devices never appear in a folder listing here; every entry that
// is not a folder is a file.
bool DirWalk::IsRegularFile() const
{
    return mImpl->hasEntry && !mImpl->isFolder;
}

void DirWalk::Close()
{
    if (mImpl->find != INVALID_HANDLE_VALUE) FindClose(mImpl->find);
    mImpl->find = INVALID_HANDLE_VALUE;
    mImpl->pending = false;
    mImpl->name[0] = 0;
    mImpl->isFolder = false;
    mImpl->hasEntry = false;
}

bool GetFolderId(const char* path, FolderId& id)
{
    if (!path || !*path) return false;
    // Opening a folder needs the backup-semantics flag; no access rights are
    // asked for, only the identity.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    std::wstring widePath;
    HANDLE handle;
    if (Utf8ToWide(path, widePath))
        handle = CreateFileW(widePath.c_str(), 0, share, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    else
        handle = CreateFileA(path, 0, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                             nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(handle, &info) != 0 &&
              (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(handle);
    if (!ok) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}
