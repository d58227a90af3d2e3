#include "platform/Resources.h"

#include "platform/win32/CodeModule.h"

#include <atomic>
#include <windows.h>

namespace
{
std::atomic<void*> gResourceModule{nullptr};
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
    return CodeModule();
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
