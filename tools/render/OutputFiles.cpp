#include "tools/render/OutputFiles.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace zelbor::render
{

std::filesystem::path TemporarySibling(const std::filesystem::path& target)
{
    std::random_device seed;
    std::mt19937 gen(seed());
    std::uniform_int_distribution<unsigned> digits(0, 0xFFFFFF);
    const std::filesystem::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", digits(gen));
        const std::filesystem::path candidate =
            folder / ("." + target.filename().string() + ".part-" + suffix);
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec))
        {
            return candidate;
        }
    }
    return folder / ("." + target.filename().string() + ".part");
}

bool WriteThroughTemporary(const std::filesystem::path& target,
                           const std::function<bool(const std::filesystem::path&)>& write,
                           std::string& error)
{
    const std::filesystem::path temp = TemporarySibling(target);
    std::error_code ec;
    bool written = false;
    try
    {
        written = write(temp);
    }
    catch (...)
    {
        std::filesystem::remove(temp, ec);
        throw;
    }
    if (written)
    {
        std::filesystem::rename(temp, target, ec);
        if (!ec) return true;
        error = ec.message();
    }
    std::filesystem::remove(temp, ec);
    return false;
}

bool CanCreateFile(const std::string& path, std::string& error)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.parent_path();
    std::error_code ec;
    if (!folder.empty() && !fs::exists(folder, ec))
    {
        error = "cannot write " + path + ": the folder " + folder.string() + " does not exist";
        return false;
    }
    if (!folder.empty() && !fs::is_directory(folder, ec))
    {
        error = "cannot write " + path + ": " + folder.string() + " is not a folder";
        return false;
    }
    if (fs::is_directory(target, ec))
    {
        error = "cannot write " + path + ": it is a folder";
        return false;
    }
    // Only a regular file is replaced: a pipe, a device or a socket of that
    // name is something else's, and renaming over it would destroy it.
    if (fs::exists(fs::symlink_status(target, ec)) && !fs::is_regular_file(target, ec))
    {
        error = "cannot write " + path + ": it exists and is not a regular file";
        return false;
    }
    const fs::path probe = TemporarySibling(target);
    errno = 0;
    FILE* file = std::fopen(probe.string().c_str(), "wb");
    if (!file)
    {
        const int code = errno;
        error = "cannot write " + path + ": " +
                (code ? std::generic_category().message(code)
                      : std::string("cannot create files there"));
        return false;
    }
    std::fclose(file);
    fs::remove(probe, ec);
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    const fs::path placeA = fs::weakly_canonical(a, ec);
    if (ec) return false;
    const fs::path placeB = fs::weakly_canonical(b, ec);
    return !ec && placeA == placeB;
}

} // namespace zelbor::render
