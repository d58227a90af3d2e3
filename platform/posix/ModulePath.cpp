#include "platform/ModulePath.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

namespace
{
// Any address inside this module identifies it to dladdr.
void AnchorInModule() {}
} // namespace

std::string ModuleFilePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&AnchorInModule), &info) == 0 || !info.dli_fname ||
        !info.dli_fname[0])
        return {};
    // dli_fname is the name the loader was given, possibly relative.
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
}

std::string ExecutableFilePath()
{
    // Linux names the running program by this link; elsewhere it is unknown.
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return {};
    path[n] = 0;
    return path;
}
