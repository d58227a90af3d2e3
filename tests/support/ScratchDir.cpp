#include "tests/support/ScratchDir.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace
{
long ProcessId()
{
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}
} // namespace

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path PathFromUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

ScratchDir::ScratchDir()
{
    // The process id and a counter keep concurrent tests apart; the random
    // part steps over folders left by an earlier process with the same id.
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    const fs::path temp = fs::temp_directory_path();
    for (unsigned attempt = 0;; ++attempt)
    {
        mPath = temp / ("zelbor-test-" + std::to_string(ProcessId()) + "-" +
                        std::to_string(salt + attempt) + "-" + std::to_string(++counter));
        if (fs::create_directory(mPath)) return;
    }
}

ScratchDir::~ScratchDir()
{
    // A test may leave a folder without write permission (its entries could
    // not go then) or, on Windows, a read-only file (which cannot be deleted).
    std::error_code ec;
    fs::permissions(mPath, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(
             mPath, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    {
        std::error_code ignored;
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(mPath, ec);
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << Utf8(path);
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListNames(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(Utf8(entry.path().filename()));
    return names;
}
