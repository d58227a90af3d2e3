#include "platform/DynamicLibrary.h"

#include <string>
#include <windows.h>

namespace
{
std::wstring Widen(const std::string& text)
{
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}
} // namespace

bool DynamicLibrary::Open(const std::string& path)
{
    Close();
    mHandle = LoadLibraryW(Widen(path).c_str());
    if (!mHandle)
    {
        mError = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return false;
    }
    mError.clear();
    return true;
}

void DynamicLibrary::Close()
{
    if (mHandle) FreeLibrary(static_cast<HMODULE>(mHandle));
    mHandle = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const
{
    if (!mHandle || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
}
