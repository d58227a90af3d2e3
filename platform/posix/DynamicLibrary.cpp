#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

bool DynamicLibrary::Open(const std::string& path)
{
    Close();
    mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mHandle)
    {
        const char* why = dlerror();
        mError = why ? why : "dlopen failed";
        return false;
    }
    mError.clear();
    return true;
}

void DynamicLibrary::Close()
{
    if (mHandle) dlclose(mHandle);
    mHandle = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const
{
    if (!mHandle || !name) return nullptr;
    return dlsym(mHandle, name);
}
