#include "platform/FileOpen.h"

#include "platform/win32/Utf16.h"

#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

FILE* OpenFileUtf8(const char* path, const char* mode)
{
    if (!path || !mode) return nullptr;
    std::wstring widePath, wideMode;
    if (Utf8ToWide(path, widePath) && Utf8ToWide(mode, wideMode))
        return _wfopen(widePath.c_str(), wideMode.c_str());
    return std::fopen(path, mode);
}

FILE* OpenRegularFileUtf8(const char* path)
{
    FILE* file = OpenFileUtf8(path, "rb");
    if (!file) return nullptr;
    // Only a file on disk: not a pipe, a console or another device.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

std::string ResolveFileLinks(const char* path)
{
    if (!path) return std::string();
    std::wstring widePath;
    if (!Utf8ToWide(path, widePath)) return path;
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return path;
    // Opening follows the link; the system names the file it reached.
    const HANDLE handle =
        CreateFileW(widePath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path;
    std::wstring resolved(1024, L'\0');
    DWORD n =
        GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= resolved.size())
    {
        resolved.assign(n + 1, L'\0');
        n = GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    CloseHandle(handle);
    if (n == 0 || n >= resolved.size()) return path;
    resolved.resize(n);
    // "\\?\C:\..." and "\\?\UNC\server\..." back to ordinary paths.
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0)
        resolved = resolved.substr(4);
    std::string out;
    return WideToUtf8(resolved.c_str(), out) ? out : std::string(path);
}

// ReplaceFileUtf8 keeps the replaced file's attributes and access rights.
bool CopyFilePermissions(const char*, FILE*)
{
    return true;
}

FILE* CreateNewFileUtf8(const char* path, bool textMode)
{
    if (!path) return nullptr;
    std::wstring widePath;
    HANDLE handle;
    if (Utf8ToWide(path, widePath))
        handle = CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    else
        handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), textMode ? _O_TEXT : _O_BINARY);
    if (fd < 0)
    {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(fd, textMode ? "wt" : "wb");
    if (!file) _close(fd); // also closes the handle
    return file;
}

bool FlushFileToDisk(FILE* file)
{
    if (!file || std::fflush(file) != 0) return false;
    return _commit(_fileno(file)) == 0;
}

namespace
{
// Waits, half a second at most, while another program has the file open
// without letting it be replaced: a virus scanner, a backup or sync client
// or a search indexer that looks at a new or changed file usually lets go
// at once. Returns at once when the file is free or not there.
void WaitUntilReplaceable(const std::wstring& path)
{
    constexpr int kAttempts = 20;
    for (int attempt = 1; attempt < kAttempts; ++attempt)
    {
        const HANDLE handle = CreateFileW(path.c_str(), DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
        {
            CloseHandle(handle);
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return;
        Sleep(25);
    }
}
} // namespace

bool ReplaceFileUtf8(const char* source, const char* target)
{
    if (!source || !target) return false;
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    std::wstring wideSource, wideTarget;
    if (Utf8ToWide(source, wideSource) && Utf8ToWide(target, wideTarget))
    {
        WaitUntilReplaceable(wideSource);
        WaitUntilReplaceable(wideTarget);
        // An existing file is replaced in place, keeping its attributes and
        // access rights; a new one is simply moved there. A folder of that
        // name stays (the move then fails).
        const DWORD attributes = GetFileAttributesW(wideTarget.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            ReplaceFileW(wideTarget.c_str(), wideSource.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        return MoveFileExW(wideSource.c_str(), wideTarget.c_str(), flags) != 0;
    }
    return MoveFileExA(source, target, flags) != 0;
}

bool RemoveFileUtf8(const char* path)
{
    if (!path) return false;
    std::wstring widePath;
    if (Utf8ToWide(path, widePath)) return DeleteFileW(widePath.c_str()) != 0;
    return DeleteFileA(path) != 0;
}
