#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

TEST(ScratchDir, FreshPerObjectAndRemovedWithEverythingInIt)
{
    fs::path first, second;
    {
        ScratchDir a;
        ScratchDir b;
        first = a.Path();
        second = b.Path();
        EXPECT_NE(first, second);
        for (const ScratchDir* dir : {&a, &b})
        {
            EXPECT_TRUE(fs::is_directory(dir->Path()));
            EXPECT_TRUE(fs::is_empty(dir->Path()));
            EXPECT_EQ(dir->Path(), fs::temp_directory_path() / dir->Path().filename());
        }
        // A read-only folder and file left by a test go as well.
        const fs::path locked = a.Path() / "locked";
        fs::create_directories(locked / "inner");
        WriteBytes(locked / "inner" / "f.txt", "x");
        fs::permissions(locked / "inner" / "f.txt", fs::perms::owner_read);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
}

TEST(ScratchDir, Utf8NamesAndBytesRoundTrip)
{
    ScratchDir dir;
    EXPECT_EQ(PathFromUtf8(dir.Utf8Path()), dir.Path());
    const std::string folder = "R\xC3\xA9glages \xE6\x97\xA5\xE6\x9C\xAC"; // Réglages 日本
    const std::string name = "\xC3\x89"
                             "cho.txt"; // Écho.txt
    fs::create_directory(PathFromUtf8(dir.File(folder)));
    const fs::path file = PathFromUtf8(dir.File(folder + "/" + name));
    EXPECT_EQ(file, dir.Path() / PathFromUtf8(folder) / PathFromUtf8(name));

    // Bytes go through untranslated: line ends, NUL and the DOS end-of-file mark.
    const char raw[] = "a\r\nb\nc\0\x1a"
                       "d";
    const std::string bytes(raw, sizeof raw - 1);
    WriteBytes(file, bytes);
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{folder});
    EXPECT_EQ(ListNames(PathFromUtf8(dir.File(folder))), std::vector<std::string>{name});
    EXPECT_EQ(ReadBytes(dir.Path() / "missing"), "");
}
