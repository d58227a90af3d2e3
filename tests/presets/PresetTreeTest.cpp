#include "platform/PathSeparator.h"
#include "presets/PathBuf.h"
#include "presets/PresetFolder.h"
#include "presets/PresetLibrary.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/support/ScratchDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace
{

const PresetFolder* SubFolder(const PresetFolder& folder, const std::string& name)
{
    for (PresetFolder* f = folder.Folders().First(); f; f = folder.Folders().Next(f))
        if (f->Name() == name) return f;
    return nullptr;
}

// Checks the numbering rules over a whole subtree against the list order:
// own files first, then each sub-folder's files, consecutively; each folder's
// range covers exactly its subtree. Returns the next number.
int CheckNumbering(const PresetFolder& folder, int first)
{
    int next = first;
    for (PresetFile* f = folder.Files().First(); f; f = folder.Files().Next(f))
    {
        EXPECT_EQ(f->Number(), next);
        EXPECT_EQ(folder.FindPresetByNumber(next), f);
        ++next;
    }
    for (PresetFolder* sub = folder.Folders().First(); sub; sub = folder.Folders().Next(sub))
        next = CheckNumbering(*sub, next);
    EXPECT_EQ(folder.FirstNumber(), first);
    EXPECT_EQ(folder.LastNumber(), next - 1);
    return next;
}
} // namespace

TEST(PathBuf, AppendRules)
{
    PathBuf path;
    EXPECT_TRUE(path.Set("C:\\P\\"));
    EXPECT_TRUE(path.AppendPathPart("a"));
    EXPECT_EQ(std::string(path.Get()), std::string("C:\\P\\a"));
    EXPECT_TRUE(path.AppendPathPart(nullptr));
    EXPECT_TRUE(path.Set("/p/"));
    EXPECT_TRUE(path.AppendPathPart("b"));
    EXPECT_STREQ(path.Get(), "/p/b");
    EXPECT_TRUE(path.AppendPathPart("c"));
    EXPECT_EQ(std::string(path.Get()), std::string("/p/b") + kPathSeparator + "c");

    std::string base(250, 'x');
    EXPECT_TRUE(path.Set(base.c_str()));
    EXPECT_TRUE(path.AppendPathPart("12345678")); // 259 exactly
    EXPECT_EQ(path.Length(), 259);
    EXPECT_TRUE(path.Set(base.c_str()));
    EXPECT_FALSE(path.AppendPathPart("123456789")); // 260: nothing appended
    EXPECT_EQ(std::string(path.Get()), base);
    EXPECT_FALSE(path.Set(std::string(260, 'y').c_str()));
    EXPECT_TRUE(path.Empty());
}

TEST(PresetTree, KeepsFilesAndNonEmptyFoldersAndNumbersDepthFirst)
{
    ScratchDir dir;
    const fs::path& root = dir.Path();
    for (const char* name :
         {"b.preset", "a.preset", "readme.txt", "noext", "x.preset.bak", ".preset"})
        Touch(root / name);
    Touch(root / "Dub" / "one.preset");
    Touch(root / "Dub" / "two.preset");
    Touch(root / "Dub" / "Deep" / "three.preset");
    fs::create_directories(root / "Empty");
    fs::create_directories(root / "OnlyEmpty" / "Inner" / "Innermost");
    Touch(root / "OnlyNoDot" / "README");

    std::unique_ptr<PresetFolder> tree = BuildPresetTree(dir.Utf8Path().c_str());

    // In the order of the file names (".preset" before "a.preset").
    EXPECT_EQ(DisplayNames(*tree), (std::vector<std::string>{"", "a", "b", "readme", "x.preset"}));

    EXPECT_EQ(FolderNames(*tree), std::vector<std::string>{"Dub"});
    const PresetFolder* dub = SubFolder(*tree, "Dub");
    ASSERT_NE(dub, nullptr);
    EXPECT_EQ(dub->Files().First()->Folder(), dub);
    EXPECT_EQ(dub->Parent(), tree.get());
    ASSERT_NE(SubFolder(*dub, "Deep"), nullptr);

    EXPECT_EQ(CheckNumbering(*tree, 1), 9);
    EXPECT_EQ(tree->FirstNumber(), 1);
    EXPECT_EQ(tree->LastNumber(), 8);
    EXPECT_EQ(dub->FirstNumber(), 6);
    EXPECT_EQ(dub->LastNumber(), 8);
    EXPECT_EQ(tree->FindPresetByNumber(0), nullptr);
    EXPECT_EQ(tree->FindPresetByNumber(9), nullptr);
    EXPECT_EQ(tree->FindPresetByNumber(-1), nullptr);

    // A number leads back to the file's full path.
    PathBuf path;
    PresetFile* three = tree->FindPresetByNumber(8);
    ASSERT_NE(three, nullptr);
    ASSERT_TRUE(three->BuildPath(path));
    EXPECT_TRUE(fs::equivalent(PathFromUtf8(path.Get()), root / "Dub" / "Deep" / "three.preset"));
}

TEST(PresetTree, RootVariants)
{
    std::unique_ptr<PresetFolder> none = BuildPresetTree("");
    EXPECT_TRUE(none->IsEmpty());
    EXPECT_EQ(none->FirstNumber(), 1);
    EXPECT_EQ(none->LastNumber(), 0);
    EXPECT_EQ(none->FindPresetByNumber(1), nullptr);
    EXPECT_TRUE(BuildPresetTree("/no/such/folder/anywhere")->IsEmpty());
    EXPECT_TRUE(BuildPresetTree(std::string(300, 'p').c_str())->IsEmpty());

    ScratchDir dir;
    Touch(dir.Path() / "a.preset");
    Touch(dir.Path() / "s" / "b.preset");
    for (const std::string& root : {dir.Utf8Path() + "/", dir.Utf8Path() + "\\"})
    {
        if (root.back() == '\\' && kPathSeparator != '\\')
            continue; // a backslash is a name character here
        std::unique_ptr<PresetFolder> tree = BuildPresetTree(root.c_str());
        EXPECT_EQ(DisplayNames(*tree), std::vector<std::string>{"a"});
        PathBuf path;
        ASSERT_NE(tree->FindPresetByNumber(2), nullptr);
        ASSERT_TRUE(tree->FindPresetByNumber(2)->BuildPath(path));
        EXPECT_TRUE(fs::exists(PathFromUtf8(path.Get())));
    }
}

TEST(PresetTree, OverlongPathsAreLeftOut)
{
    ScratchDir dir;
    int rootLength = static_cast<int>(dir.Utf8Path().size());
    // A folder whose own path fits, holding one file that fits exactly and
    // one that is a character too long, and a sub-folder that is too long.
    int folderNameLength = 200 - rootLength;
    ASSERT_GT(folderNameLength, 10);
    fs::path folder = dir.Path() / std::string(static_cast<size_t>(folderNameLength), 'f');
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string fits(259 - 202 - 7, 'a');
    std::string tooLong(259 - 202 - 6, 'b');
    WriteBytes(folder / (fits + ".preset"), "Delay V1.0\n");
    WriteBytes(folder / (tooLong + ".preset"), "Delay V1.0\n");
    fs::create_directories(folder / std::string(60, 'd'), ec);
    if (ec || !fs::exists(folder / (tooLong + ".preset")))
        GTEST_SKIP() << "the file system refuses long paths";
    WriteBytes(folder / std::string(60, 'd') / "c.preset", "Delay V1.0\n");

    std::unique_ptr<PresetFolder> tree = BuildPresetTree(dir.Utf8Path().c_str());
    ASSERT_EQ(FolderNames(*tree).size(), 1u);
    const PresetFolder* sub = tree->Folders().First();
    EXPECT_EQ(DisplayNames(*sub), std::vector<std::string>{fits});
    EXPECT_TRUE(sub->Folders().Empty());
    PathBuf path;
    ASSERT_TRUE(sub->Files().First()->BuildPath(path));
    EXPECT_EQ(path.Length(), 259);
    EXPECT_TRUE(fs::exists(PathFromUtf8(path.Get())));
}

TEST(PresetTree, LinkLoopsEnd)
{
    ScratchDir dir;
    Touch(dir.Path() / "a" / "in-a.preset");
    Touch(dir.Path() / "b" / "in-b.preset");
    std::error_code ec;
    fs::create_directory_symlink(dir.Path(), dir.Path() / "a" / "up1", ec);
    if (ec) GTEST_SKIP() << "folder links are not available: " << ec.message();
    fs::create_directory_symlink(dir.Path(), dir.Path() / "a" / "up2", ec);
    fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "b" / "to-a", ec);
    fs::create_directory_symlink(dir.Path() / "b", dir.Path() / "a" / "to-b", ec);
    fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "a" / "self", ec);

    std::unique_ptr<PresetFolder> tree = BuildPresetTree(dir.Utf8Path().c_str());
    // Each real folder appears once, under the name nearest the top.
    const PresetFolder* a = SubFolder(*tree, "a");
    const PresetFolder* b = SubFolder(*tree, "b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(a->Folders().Empty());
    EXPECT_TRUE(b->Folders().Empty());
    EXPECT_EQ(CheckNumbering(*tree, 1), 3);
}

TEST(PresetTree, NonAsciiNamesTravelAsUtf8)
{
    ScratchDir dir;
    const std::string folder = "R\xC3\xA9glages \xE6\x97\xA5\xE6\x9C\xAC"; // Réglages 日本
    const std::string file = "\xC3\x89"
                             "cho \xC3\xB1 \xF0\x9F\x8E\xB8.preset"; // Écho ñ 🎸
    Touch(dir.Path() / PathFromUtf8(folder) / PathFromUtf8(file));

    std::unique_ptr<PresetFolder> tree = BuildPresetTree(dir.Utf8Path().c_str());
    ASSERT_EQ(FolderNames(*tree), std::vector<std::string>{folder});
    const PresetFolder* sub = tree->Folders().First();
    ASSERT_EQ(DisplayNames(*sub), std::vector<std::string>{file.substr(0, file.rfind('.'))});

    PathBuf path;
    ASSERT_TRUE(tree->FindPresetByNumber(1)->BuildPath(path));
    EXPECT_TRUE(fs::exists(PathFromUtf8(path.Get())));
}
