#include "platform/win32/CodeModule.h"

#include "platform/ModulePath.h"

#include <windows.h>

void* CodeModule()
{
    if (void* instance = ModuleInstance()) return instance;
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&CodeModule), &module))
        return nullptr;
    return module;
}
