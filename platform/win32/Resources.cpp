#include "platform/Resources.h"

#include "platform/ModulePath.h"

#include <windows.h>

#include <atomic>

namespace
{
std::atomic<void*> gResourceModule{nullptr};

// The module that contains this code: the plug-in DLL, or the executable
// when the code is linked into a program.
HMODULE ThisModule()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ThisModule), &module))
    {
        return nullptr;
    }
    return module;
}
} // namespace

void SetResourceModule(void* module)
{
    gResourceModule.store(module);
}

void* ResourceModule()
{
    if (void* module = gResourceModule.load())
    {
        return module;
    }
    if (void* instance = ModuleInstance())
    {
        return instance;
    }
    return ThisModule();
}

bool FindImageResource(void* module, int id, const unsigned char*& data, std::size_t& size)
{
    HMODULE m = static_cast<HMODULE>(module ? module : ResourceModule());
    if (id <= 0 || id > 0xFFFF)
    {
        return false;
    }
    HRSRC res = FindResourceW(m, MAKEINTRESOURCEW(id), L"PNG");
    if (!res)
    {
        return false;
    }
    DWORD bytes = SizeofResource(m, res);
    HGLOBAL handle = LoadResource(m, res);
    if (!handle || bytes == 0)
    {
        return false;
    }
    const void* p = LockResource(handle);
    if (!p)
    {
        return false;
    }
    data = static_cast<const unsigned char*>(p);
    size = bytes;
    return true;
}
