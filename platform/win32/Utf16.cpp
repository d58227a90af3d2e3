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
