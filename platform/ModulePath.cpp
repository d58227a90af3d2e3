#include "platform/ModulePath.h"

#include <atomic>

// The parts common to every platform; ModuleFilePath and ExecutableFilePath
// are in posix/ and win32/.

namespace
{
std::atomic<void*> gInstance{nullptr};

// Windows takes both separators in a module name; elsewhere "\" is an
// ordinary file-name character.
#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}
} // namespace

void SetModuleInstance(void* instance)
{
    gInstance.store(instance);
}

void* ModuleInstance()
{
    return gInstance.load();
}

std::string ModuleFolder()
{
    return FolderOf(ModuleFilePath());
}

std::string ExecutableFolder()
{
    return FolderOf(ExecutableFilePath());
}
