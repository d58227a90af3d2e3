// The preset scan is bounded and orderly: each real folder once, at most
// 10,000 files and 1,000 folders, nothing but folders and regular files, and
// every folder's entries in name order.

#include "PresetTestSupport.h"
#include "presets/ConfigItems.h"
#include "presets/PresetFolder.h"
#include "presets/PresetName.h"

#include <chrono>
#include <cstdio>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{

// prefix, the number, suffix (built up in place: GCC's overlap warning on
// concatenated temporaries misfires for 32-bit targets).
std::string Numbered(const char* prefix, int n, const char* suffix = "")
{
    std::string s = prefix;
    s += std::to_string(n);
    s += suffix;
    return s;
}

int CountFolders(const PresetFolder& folder)
{
    int n = 0;
    for (PresetFolder* f = folder.Folders().First(); f; f = folder.Folders().Next(f))
        n += 1 + CountFolders(*f);
    return n;
}

double MillisecondsToBuild(const std::string& root, std::unique_ptr<PresetFolder>& tree)
{
    const auto start = std::chrono::steady_clock::now();
    tree = BuildPresetTree(root.c_str());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

TEST(PresetScan, NameOrderIgnoresCaseThenComparesBytes)
{
    ScratchDir dir;
    std::vector<std::string> files = {"b", "Zed", "a", "_x", "A2", "\xC3\xA9"}; // é
#ifndef _WIN32
    files.push_back("B"); // beside "b" only where names differ by case
#endif
    for (const std::string& f : files)
        Touch(dir.Path() / PathFromUtf8(f + ".preset"));
    for (const char* folder : {"beta", "Alpha", "alpha2"})
        Touch(dir.Path() / folder / "in.preset");

    std::unique_ptr<PresetFolder> tree = BuildPresetTree(dir.Utf8Path().c_str());
#ifndef _WIN32
    EXPECT_EQ(DisplayNames(*tree),
              (std::vector<std::string>{"_x", "a", "A2", "B", "b", "Zed", "\xC3\xA9"}));
#else
    EXPECT_EQ(DisplayNames(*tree),
              (std::vector<std::string>{"_x", "a", "A2", "b", "Zed", "\xC3\xA9"}));
#endif
    EXPECT_EQ(FolderNames(*tree), (std::vector<std::string>{"Alpha", "alpha2", "beta"}));
    // The menu numbers follow the same order.
    const int own = static_cast<int>(files.size());
    EXPECT_EQ(tree->FindPresetByNumber(1)->DisplayName(), "_x");
    EXPECT_EQ(tree->FindPresetByNumber(own + 1)->Folder()->Name(), "Alpha");
    EXPECT_EQ(tree->FindPresetByNumber(own + 3)->Folder()->Name(), "beta");
}

TEST(PresetScan, FoldersLinkedToEachOtherAreScannedOnce)
{
    ScratchDir dir;
    constexpr int kFolders = 8;
    for (int i = 0; i < kFolders; ++i)
    {
        Touch(dir.Path() / Numbered("f", i) / "one.preset");
        Touch(dir.Path() / Numbered("f", i) / "two.preset");
    }
    std::error_code ec;
    for (int i = 0; i < kFolders && !ec; ++i)
        for (int j = 0; j < kFolders && !ec; ++j)
            if (i != j)
                fs::create_directory_symlink(dir.Path() / Numbered("f", j),
                                             dir.Path() / Numbered("f", i) / Numbered("to", j), ec);
    if (ec) GTEST_SKIP() << "folder links are not available: " << ec.message();

    std::unique_ptr<PresetFolder> tree;
    const double ms = MillisecondsToBuild(dir.Utf8Path(), tree);
    EXPECT_EQ(FolderNames(*tree).size(), static_cast<size_t>(kFolders));
    EXPECT_EQ(CountFolders(*tree), kFolders);
    EXPECT_EQ(tree->LastNumber(), 2 * kFolders);
    EXPECT_LT(ms, 2000.0);
}

TEST(PresetScan, TwoThousandFilesScanQuickly)
{
    ScratchDir dir;
    for (int f = 0; f < 40; ++f)
    {
        fs::create_directories(dir.Path() / Numbered("folder ", f));
        for (int i = 0; i < 50; ++i)
            WriteBytes(dir.Path() / Numbered("folder ", f) / Numbered("preset ", i, ".preset"),
                       "Delay V1.0\n");
    }
    std::unique_ptr<PresetFolder> tree;
    const double ms = MillisecondsToBuild(dir.Utf8Path(), tree);
    EXPECT_EQ(tree->LastNumber(), 2000);
    // 50 ms is the aim (bench_PresetScan measures it); here only a bound that
    // slow, instrumented builds keep as well.
    EXPECT_LT(ms, 1000.0);
}

#ifndef _WIN32
// Eleven thousand files are slow to make under the Windows emulation; the
// scan that counts them is the same code everywhere.
TEST(PresetScan, StopsAfterTenThousandFilesOrAThousandFolders)
{
    ScratchDir dir;
    char name[32];
    fs::create_directories(dir.Path() / "many");
    for (int i = 0; i <= HostFolder::kMaxScanFiles; ++i)
    {
        std::snprintf(name, sizeof name, "%05d.preset", i);
        WriteBytes(dir.Path() / "many" / name, "");
    }
    std::unique_ptr<PresetFolder> tree = BuildPresetTree((dir.Utf8Path() + "/many").c_str());
    ASSERT_EQ(tree->LastNumber(), HostFolder::kMaxScanFiles);
    EXPECT_EQ(tree->Files().Last()->DisplayName(), "09999"); // the first ones by name

    for (int i = 0; i <= HostFolder::kMaxScanFolders; ++i)
    {
        std::snprintf(name, sizeof name, "%04d", i);
        Touch(dir.Path() / "deep" / name / "p.preset");
    }
    tree = BuildPresetTree((dir.Utf8Path() + "/deep").c_str());
    // The folder scanned first counts as one.
    EXPECT_EQ(CountFolders(*tree), HostFolder::kMaxScanFolders - 1);
}

TEST(PresetScan, PipesAreNeitherListedNorWaitedFor)
{
    ScratchDir dir;
    Touch(dir.Path() / "real.preset");
    const std::string pipe = dir.File("x.preset");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink(dir.Path() / "gone.preset", dir.Path() / "dangling.preset");
    fs::create_symlink(dir.Path() / "x.preset", dir.Path() / "pipe-link.preset");

    std::unique_ptr<PresetFolder> tree = BuildPresetTree(dir.Utf8Path().c_str());
    EXPECT_EQ(DisplayNames(*tree), std::vector<std::string>{"real"});

    // Loading the pipe (say, from the file dialog) and reading it as the
    // configuration file come back at once, with nothing read.
    TestTarget target;
    PresetName name;
    auto load = std::async(std::launch::async,
                           [&]
                           {
                               const bool loaded = LoadPresetFile(target, name, pipe.c_str());
                               ConfigItems config;
                               ReadConfiguration(config, pipe.c_str());
                               return loaded;
                           });
    if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
    {
        // Let the reader go: a writer that opens and closes at once.
        for (int i = 0; i < 2; ++i)
        {
            int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
        load.wait();
        FAIL() << "reading a pipe waited for a writer";
    }
    EXPECT_FALSE(load.get());
    EXPECT_TRUE(target.plug.changed.empty());
}

TEST(PresetScan, ProcSelfAsThePresetFolderReturns)
{
    if (!fs::is_directory("/proc/self/task")) GTEST_SKIP() << "no /proc here";
    std::unique_ptr<PresetFolder> tree;
    const double ms = MillisecondsToBuild("/proc/self", tree);
    EXPECT_LE(tree->LastNumber(), HostFolder::kMaxScanFiles);
    EXPECT_LT(CountFolders(*tree), HostFolder::kMaxScanFolders);
    EXPECT_LT(ms, 60000.0);
}
#endif
