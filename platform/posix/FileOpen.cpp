#include "platform/FileOpen.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* OpenFileUtf8(const char* path, const char* mode)
{
    if (!path || !mode) return nullptr;
    return std::fopen(path, mode);
}

FILE* CreateNewFileUtf8(const char* path, bool /*textMode*/)
{
    if (!path) return nullptr;
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* file = ::fdopen(fd, "w");
    if (!file) ::close(fd);
    return file;
}

bool FlushFileToDisk(FILE* file)
{
    if (!file || std::fflush(file) != 0) return false;
    return ::fsync(::fileno(file)) == 0;
}

bool ReplaceFileUtf8(const char* source, const char* target)
{
    if (!source || !target) return false;
    return std::rename(source, target) == 0;
}

bool RemoveFileUtf8(const char* path)
{
    if (!path) return false;
    return ::unlink(path) == 0;
}
