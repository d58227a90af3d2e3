#include "platform/UserFolder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

std::string UserSettingsFolder(const char*, const char* posixName)
{
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
    {
        base = xdg;
    }
    else
    {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        base = std::string(home) + "/.config";
    }
    if (base.back() != '/') base += '/';
    return base + posixName + '/';
}

bool MakeFolders(const std::string& path)
{
    if (path.empty()) return false;
    for (size_t at = 1; at <= path.size(); ++at)
    {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
