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

bool ReplaceFileUtf8(const char* source, const char* target)
{
    if (!source || !target) return false;
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    std::wstring wideSource, wideTarget;
    if (Utf8ToWide(source, wideSource) && Utf8ToWide(target, wideTarget))
        return MoveFileExW(wideSource.c_str(), wideTarget.c_str(), flags) != 0;
    return MoveFileExA(source, target, flags) != 0;
}

bool RemoveFileUtf8(const char* path)
{
    if (!path) return false;
    std::wstring widePath;
    if (Utf8ToWide(path, widePath)) return DeleteFileW(widePath.c_str()) != 0;
    return DeleteFileA(path) != 0;
}
