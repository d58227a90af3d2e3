#include "platform/win32/Utf16.h"

#include <windows.h>

bool Utf8ToWide(const char* text, std::wstring& out)
{
    out.clear();
    if (!text) return false;
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (count <= 0) return false;
    out.resize(static_cast<size_t>(count));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out.data(), count) != count)
        return false;
    out.resize(static_cast<size_t>(count - 1)); // without the terminator
    return true;
}

bool WideToUtf8(const wchar_t* text, std::string& out)
{
    out.clear();
    if (!text) return false;
    const int n =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out.data(), n, nullptr,
                            nullptr) != n)
        return false;
    out.resize(static_cast<size_t>(n - 1)); // without the terminator
    return true;
}
