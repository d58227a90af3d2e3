#include "platform/AtomicFile.h"

#include "platform/FileOpen.h"
#include "platform/PathSeparator.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr int kTempAttempts = 100;
} // namespace

std::string TemporaryPathFor(const char* path, int attempt)
{
    size_t folderEnd = std::strlen(path);
    while (folderEnd > 0 && !IsFolderSeparator(path[folderEnd - 1]))
        --folderEnd;
    std::string temp(path, folderEnd);
    temp += "~zb";
    temp += std::to_string(attempt);
    return temp;
}

bool WriteFileAtomically(const char* path, const char* data, size_t size, bool textMode)
{
    if (!path || !*path || (!data && size > 0)) return false;
    // A symbolic link stays a link: the file it names gets the new content.
    const std::string target = ResolveFileLinks(path);

    // A name beside the target, so that the final rename stays on one volume.
    std::string temp;
    FILE* file = nullptr;
    for (int attempt = 0; attempt < kTempAttempts && !file; ++attempt)
    {
        temp = TemporaryPathFor(target.c_str(), attempt);
        file = CreateNewFileUtf8(temp.c_str(), textMode);
    }
    if (!file) return false;

    // The permissions the user gave the file stay, and apply before any of
    // the content is written.
    bool ok = CopyFilePermissions(target.c_str(), file);
    ok = ok && (size == 0 || std::fwrite(data, 1, size, file) == size);
    ok = FlushFileToDisk(file) && ok;
    ok = !std::ferror(file) && ok;
    ok = std::fclose(file) == 0 && ok;
    ok = ok && ReplaceFileUtf8(temp.c_str(), target.c_str());
    if (!ok) RemoveFileUtf8(temp.c_str());
    return ok;
}
