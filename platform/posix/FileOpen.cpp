#include "platform/FileOpen.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

FILE* OpenFileUtf8(const char* path, const char* mode)
{
    if (!path || !mode) return nullptr;
    return std::fopen(path, mode);
}

FILE* OpenRegularFileUtf8(const char* path)
{
    if (!path) return nullptr;
    // Non-blocking, so that opening a pipe returns at once instead of
    // waiting for a writer; only a regular file is kept, in blocking mode.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    {
        ::close(fd);
        return nullptr;
    }
    FILE* file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return file;
}

std::string ResolveFileLinks(const char* path)
{
    if (!path) return std::string();
    std::string current = path;
    // As many hops as the system itself follows before giving up on a loop.
    for (int hop = 0; hop < 40; ++hop)
    {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) return current;
        target.resize(static_cast<size_t>(n));
        if (target[0] != '/')
        {
            // Relative to the folder that holds the link.
            const size_t slash = current.rfind('/');
            target = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) +
                     target;
        }
        current = target;
    }
    return current;
}

bool CopyFilePermissions(const char* from, FILE* to)
{
    struct stat st;
    if (!from || !to || ::stat(from, &st) != 0 || !S_ISREG(st.st_mode)) return true;
    return ::fchmod(::fileno(to), st.st_mode & 07777) == 0;
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
