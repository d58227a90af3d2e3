#include "presets/AtomicFile.h"

#include "platform/FileOpen.h"

#include <cstdio>
#include <string>

namespace
{
constexpr int kTempAttempts = 100;
} // namespace

bool WriteFileAtomically(const char* path, const char* data, size_t size, bool textMode)
{
    if (!path || !*path || (!data && size > 0)) return false;

    // A name beside the target, so that the final rename stays on one volume.
    std::string temp;
    FILE* file = nullptr;
    for (int attempt = 0; attempt < kTempAttempts && !file; ++attempt)
    {
        temp = path;
        temp += ".~";
        temp += std::to_string(attempt);
        file = CreateNewFileUtf8(temp.c_str(), textMode);
    }
    if (!file) return false;

    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    ok = FlushFileToDisk(file) && ok;
    ok = !std::ferror(file) && ok;
    ok = std::fclose(file) == 0 && ok;
    ok = ok && ReplaceFileUtf8(temp.c_str(), path);
    if (!ok) RemoveFileUtf8(temp.c_str());
    return ok;
}
