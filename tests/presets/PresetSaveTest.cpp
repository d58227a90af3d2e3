// Saving over a preset keeps what the user set up around it: the file's
// access permissions, and a symbolic link stays a link to the file it names.
// A save that cannot complete leaves the old file as it was.

#include "PresetTestSupport.h"
#include "presets/PresetName.h"
#include "presets/PresetNameControl.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <thread>
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

// "Save As" adds the extension unless the name already ends in it.
TEST(PresetSave, SaveAsNamesEndInOneExtension)
{
    EXPECT_EQ(PresetSaveName("/home/u/.presets/Echo.preset"), "/home/u/.presets/Echo.preset");
    EXPECT_EQ(PresetSaveName("/home/u/.presets/Echo"), "/home/u/.presets/Echo.preset");
    EXPECT_EQ(PresetSaveName("C:\\Dub.preset.old"), "C:\\Dub.preset.old.preset");
}

#ifndef _WIN32
namespace
{

// What a save of the target writes, line ends made uniform.
std::string Saved(const fs::path& path)
{
    std::string bytes = ReadBytes(path);
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    return bytes;
}

} // namespace

TEST(PresetSave, ExistingFileKeepsItsPermissions)
{
    ScratchDir dir;
    TestTarget target;
    PresetName name;
    for (const mode_t mode : {0600, 0640, 0444})
    {
        std::string file = "p";
        file += std::to_string(mode);
        file += ".preset";
        const fs::path path = dir.Path() / file;
        WriteBytes(path, "old\n");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(SavePresetFile(target, name, path.c_str()));
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(Saved(path), FormatPresetText(target));
    }
}

TEST(PresetSave, ALinkStaysALinkAndItsFileIsWritten)
{
    ScratchDir dir;
    TestTarget target;
    PresetName name;
    fs::create_directories(dir.Path() / "real");
    fs::create_directories(dir.Path() / "menu");
    WriteBytes(dir.Path() / "real" / "a.preset", "old\n");
    // A relative link, and one to a file that does not exist yet.
    fs::create_symlink("../real/a.preset", dir.Path() / "menu" / "a.preset");
    fs::create_symlink(dir.Path() / "real" / "new.preset", dir.Path() / "menu" / "new.preset");

    for (const char* file : {"a.preset", "new.preset"})
    {
        const fs::path link = dir.Path() / "menu" / file;
        ASSERT_TRUE(SavePresetFile(target, name, link.c_str())) << file;
        EXPECT_TRUE(fs::is_symlink(link)) << file;
        EXPECT_EQ(Saved(dir.Path() / "real" / file), FormatPresetText(target)) << file;
        // The link's path is the preset's path, as the user chose it.
        EXPECT_STREQ(name.Path(), link.c_str());
    }
    // Nothing left beside either.
    EXPECT_EQ(ListNames(dir.Path() / "menu").size(), 2u);
    EXPECT_EQ(ListNames(dir.Path() / "real").size(), 2u);
}

// A file size limit makes the write itself fail, which no privilege lifts.
TEST(PresetSave, FailedWriteLeavesTheOldFile)
{
    ScratchDir dir;
    TestTarget target;
    PresetName name;
    const fs::path path = dir.Path() / "keep.preset";
    WriteBytes(path, "Delay V1.0\nparam Wet 0.5\n");

    rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = SavePresetFile(target, name, path.c_str());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadBytes(path), "Delay V1.0\nparam Wet 0.5\n");
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"keep.preset"});
    EXPECT_FALSE(name.HasPath());
    EXPECT_TRUE(target.shownNames.empty());
    // The user is told; the next save that works takes the message away.
    EXPECT_EQ(target.readouts, std::vector<std::string>{"Preset not saved"});
    ASSERT_TRUE(SavePresetFile(target, name, path.c_str()));
    EXPECT_EQ(target.readouts.back(), "");
}
#endif

#ifdef _WIN32
// Another program reading the preset (a scanner, a sync client) holds up its
// replacement for a moment; the save waits for it rather than fail.
TEST(PresetSave, AFileBrieflyHeldOpenIsStillReplaced)
{
    ScratchDir dir;
    TestTarget target;
    PresetName name;
    const fs::path path = dir.Path() / "held.preset";
    WriteBytes(path, "Delay V1.0\nparam Wet 0.5\n");
    const HANDLE held = CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread reader(
        [held]
        {
            Sleep(100);
            CloseHandle(held);
        });
    const bool ok = SavePresetFile(target, name, Utf8(path).c_str());
    reader.join();
    EXPECT_TRUE(ok);
    EXPECT_NE(ReadBytes(path).find("param Wet 0.700000000000"), std::string::npos);
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"held.preset"});
}
#endif
