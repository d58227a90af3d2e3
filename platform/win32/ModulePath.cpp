#include "platform/ModulePath.h"

#include "platform/win32/CodeModule.h"

#include <vector>
#include <windows.h>

namespace
{
std::string ToUtf8(const wchar_t* text, int length)
{
    if (length <= 0) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

// File name of a loaded module; null is the program itself.
std::string FileNameOf(HMODULE module)
{
    // Grow the buffer until the whole name fits (long paths exceed MAX_PATH).
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 6; ++attempt)
    {
        const DWORD n =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return ToUtf8(buffer.data(), static_cast<int>(n));
        buffer.resize(buffer.size() * 2);
    }
    return {};
}
} // namespace

std::string ModuleFilePath()
{
    HMODULE module = static_cast<HMODULE>(CodeModule());
    if (!module) return {};
    return FileNameOf(module);
}

std::string ExecutableFilePath()
{
    return FileNameOf(nullptr);
}
