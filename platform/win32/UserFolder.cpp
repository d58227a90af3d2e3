#include "platform/UserFolder.h"

#include "platform/win32/Utf16.h"

#include <cstdlib>
#include <windows.h>

namespace
{

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::string UserSettingsFolder(const char* windowsName, const char*)
{
    std::string base;
    if (!WideToUtf8(_wgetenv(L"APPDATA"), base) || base.empty()) return {};
    if (base.back() != '\\' && base.back() != '/') base += '\\';
    return base + windowsName + '\\';
}

bool MakeFolders(const std::string& path)
{
    std::wstring wide;
    if (path.empty() || !Utf8ToWide(path.c_str(), wide)) return false;
    for (size_t at = 1; at <= wide.size(); ++at)
    {
        if (at < wide.size() && wide[at] != L'\\' && wide[at] != L'/') continue;
        const std::wstring part = wide.substr(0, at);
        // A drive ("C:") or a share's name is no folder to create.
        if (part.size() <= 2 || IsFolder(part)) continue;
        CreateDirectoryW(part.c_str(), nullptr);
    }
    return IsFolder(wide);
}
