#include "platform/ModulePath.h"

#include <atomic>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace
{
std::atomic<void*> gInstance{nullptr};

// Any address inside this module identifies it to dladdr.
void AnchorInModule() {}
} // namespace

void SetModuleInstance(void* instance)
{
    gInstance.store(instance);
}

void* ModuleInstance()
{
    return gInstance.load();
}

std::string ModuleFilePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&AnchorInModule), &info) == 0 || !info.dli_fname ||
        !info.dli_fname[0])
        return {};
    // dli_fname is the name the loader was given, possibly relative.
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved))
        return resolved;
    return info.dli_fname;
}

std::string ModuleFolder()
{
    const std::string path = ModuleFilePath();
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}
