#include "platform/FileOpen.h"
#include "platform/PathSeparator.h"
#include "presets/ConfigItems.h"
#include "presets/ConfigurationFileReader.h"
#include "presets/PresetLibrary.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

namespace
{
std::string Token(const char* text, int max, std::string* rest = nullptr)
{
    std::vector<char> dest(static_cast<size_t>(max) + 1, 'X');
    const char* after = ReadToken(text, dest.data(), max);
    if (rest) *rest = after;
    return dest.data();
}

// The preset folder entry after reading a configuration file with content.
std::string FolderAfterReading(const std::string& content)
{
    ScratchDir dir;
    WriteBytes(dir.Path() / "Zelbor.ini", content);
    ConfigItems items;
    ReadConfiguration(items, dir.File("Zelbor.ini").c_str());
    return items.Text(ConfigItems::PresetFolder);
}
} // namespace

TEST(ReadToken, QuotesBlanksAndLimits)
{
    std::string rest;
    EXPECT_EQ(Token("  \tkey value", 40, &rest), "key");
    EXPECT_EQ(rest, " value");
    EXPECT_EQ(Token("\"a b\"tail", 40, &rest), "a b");
    EXPECT_EQ(rest, "tail");
    EXPECT_EQ(Token("'it \"x\"' more", 40, &rest), "it \"x\"");
    EXPECT_EQ(rest, " more");
    EXPECT_EQ(Token("\"no end", 40, &rest), "no end");
    EXPECT_EQ(rest, "");
    EXPECT_EQ(Token("", 40, &rest), "");
    // Over-long tokens are cut but passed over whole.
    EXPECT_EQ(Token("abcdefgh next", 3, &rest), "abc");
    EXPECT_EQ(rest, " next");
    EXPECT_EQ(Token("\"abcdefgh\" next", 3, &rest), "abc");
    EXPECT_EQ(rest, " next");
}

TEST(ConfigurationFileReader, EntriesCommentsAndLongLines)
{
    ScratchDir dir;
    std::string longLine(1100, 'k');
    WriteBytes(dir.Path() / "c.ini",
               "; comment\r\n\r\n   \t \nk1 v1 ignored\r\n" + longLine +
                   "\nk2 \"a;b\"\nk3 'x y'\n\xE9t\xE9 \xC3\xA9\x80\xFF\nlast");
    ConfigurationFileReader reader(OpenFileUtf8(dir.File("c.ini").c_str(), "rb"));
    std::vector<std::pair<std::string, std::string>> entries;
    while (reader.NextEntry())
        entries.emplace_back(reader.Key(), reader.Value());
    std::vector<std::pair<std::string, std::string>> expected = {
        {"k1", "v1"},  {std::string(40, 'k'), ""},        // the line is cut at 1024, the key at 40
        {"k2", "a"},                                      // the comment cut comes before the quotes
        {"k3", "x y"}, {"\xE9t\xE9", "\xC3\xA9\x80\xFF"}, // 8-bit bytes pass through
        {"last", ""},
    };
    EXPECT_EQ(entries, expected);
    EXPECT_FALSE(reader.NextEntry());
}

TEST(ReadConfiguration, PresetFolderValues)
{
    EXPECT_EQ(FolderAfterReading("PresetFolder \"D:\\My Presets\\Delay\"\n"),
              "D:\\My Presets\\Delay");
    EXPECT_EQ(FolderAfterReading("PresetFolder D:\\My Presets\n"), "D:\\My");
    EXPECT_EQ(FolderAfterReading("PresetFolder = D:\\Presets\n"), "=");
    EXPECT_EQ(FolderAfterReading("presetfolder /x\nPRESETFOLDER /y\n"), "");
    EXPECT_EQ(FolderAfterReading("PresetFolder \"/open/quote ; comment\n"), "/open/quote ");
    EXPECT_EQ(FolderAfterReading("PresetFolder /first\nOther 1\nPresetFolder /second\n"),
              "/second");
    EXPECT_EQ(FolderAfterReading("; PresetFolder /commented\n\n  \n"), "");
    // A long folder (as under a synchronised documents folder) is read whole.
    const std::string deep = "C:\\Users\\" + std::string(200, 'u') + "\\Zelbor Presets";
    EXPECT_EQ(FolderAfterReading("PresetFolder \"" + deep + "\"\n"), deep);
    EXPECT_EQ(FolderAfterReading("PresetFolder \"C:\\Pr\xE9r\xE9glages\"\r\n"),
              "C:\\Pr\xE9r\xE9glages");
}

TEST(ReadConfiguration, MissingFileKeepsDefaultsAndNumbers)
{
    ConfigItems items;
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Item(0)->key, "PresetFolder");
    ReadConfiguration(items, "/definitely/not/here/Zelbor.ini");
    ReadConfiguration(items, "");
    EXPECT_STREQ(items.Text(ConfigItems::PresetFolder), "");
    EXPECT_EQ(items.Item(0)->number, 0.0);
    EXPECT_EQ(items.Item(1), nullptr);
    EXPECT_STREQ(items.Text(7), "");

    EXPECT_EQ(ParseConfigNumber("  -42abc"), -42.0);
    EXPECT_EQ(ParseConfigNumber("+7"), 7.0);
    EXPECT_EQ(ParseConfigNumber("x12"), 0.0);
    EXPECT_EQ(ParseConfigNumber(""), 0.0);

    ScratchDir dir;
    WriteBytes(dir.Path() / "Zelbor.ini", "PresetFolder 123abc\n");
    ReadConfiguration(items, dir.File("Zelbor.ini").c_str());
    EXPECT_STREQ(items.Text(0), "123abc");
    EXPECT_EQ(items.Item(0)->number, 123.0);
}

TEST(ConfigFilePath, BesideTheModule)
{
    EXPECT_EQ(ConfigFilePath("/usr/lib/vst/Zelbor.so"),
              std::string("/usr/lib/vst") + kPathSeparator + "Zelbor.ini");
    if (kPathSeparator == '\\')
    {
        EXPECT_EQ(ConfigFilePath("C:\\Plugins\\Zelbor.dll"), "C:\\Plugins\\Zelbor.ini");
        EXPECT_EQ(ConfigFilePath("C:\\My Plugins/x\\Zelbor.dll"), "C:\\My Plugins/x\\Zelbor.ini");
    }
    else
    {
        // A backslash is an ordinary name character here, not a folder end.
        EXPECT_EQ(ConfigFilePath("/opt/a\\b/Zelbor.so"), "/opt/a\\b/Zelbor.ini");
        EXPECT_EQ(ConfigFilePath("C:\\Plugins\\Zelbor.dll"), "");
    }
    EXPECT_EQ(ConfigFilePath("Zelbor.dll"), "");
    EXPECT_EQ(ConfigFilePath(""), "");
    EXPECT_EQ(ConfigFilePath(nullptr), "");
    // 1024 characters at most, folder plus separator plus file name.
    std::string folder(1024 - 11, 'f');
    EXPECT_EQ(ConfigFilePath(("/" + folder.substr(1) + "/m.so").c_str()).size(), 1024u);
    std::string tooLong = "/" + folder + "/m.so";
    EXPECT_EQ(ConfigFilePath(tooLong.c_str()), "");
    // The module path of this test program is known, so a path can be formed.
    EXPECT_NE(ConfigFilePath().find("Zelbor.ini"), std::string::npos);
}

TEST(ResolveConfigFolder, RelativeFoldersSitBesideTheConfiguration)
{
    EXPECT_EQ(ResolveConfigFolder("Zelbor Presets", "/opt/vst/Zelbor.ini"),
              "/opt/vst/Zelbor Presets");
    EXPECT_EQ(ResolveConfigFolder("../shared", "/opt/vst/Zelbor.ini"), "/opt/vst/../shared");
    EXPECT_EQ(ResolveConfigFolder("/srv/presets", "/opt/vst/Zelbor.ini"), "/srv/presets");
    EXPECT_EQ(ResolveConfigFolder("", "/opt/vst/Zelbor.ini"), "");
    EXPECT_EQ(ResolveConfigFolder("p", "Zelbor.ini"), "p"); // no folder to resolve against
    if (kPathSeparator == '\\')
    {
        EXPECT_EQ(ResolveConfigFolder("Zelbor Presets", "C:\\VST\\Zelbor.ini"),
                  "C:\\VST\\Zelbor Presets");
        EXPECT_EQ(ResolveConfigFolder("D:\\Presets", "C:\\VST\\Zelbor.ini"), "D:\\Presets");
        EXPECT_EQ(ResolveConfigFolder("d:rel", "C:\\VST\\Zelbor.ini"), "d:rel");
        EXPECT_EQ(ResolveConfigFolder("\\\\server\\p", "C:\\VST\\Zelbor.ini"), "\\\\server\\p");
    }
    else
    {
        // A drive letter means nothing here: the folder is relative.
        EXPECT_EQ(ResolveConfigFolder("D:\\Presets", "/opt/Zelbor.ini"), "/opt/D:\\Presets");
    }
}

TEST(PresetLibrary, RelativeAndAbsolutePresetFolders)
{
    ScratchDir dir;
    fs::create_directories(dir.Path() / "Zelbor Presets" / "Dub");
    WriteBytes(dir.Path() / "Zelbor Presets" / "Dub" / "x.preset", "Delay V1.0\nparam Wet 0.2\n");
    fs::create_directories(dir.Path() / "conf");

    // Relative: found beside the configuration file, not in the current folder.
    WriteBytes(dir.Path() / "conf" / "Zelbor.ini", "PresetFolder \"../Zelbor Presets\"\n");
    PresetLibrary relative;
    relative.Init(dir.File("conf/Zelbor.ini").c_str());
    EXPECT_EQ(relative.Root().LastNumber(), 1);
    EXPECT_TRUE(
        fs::equivalent(PathFromUtf8(relative.PresetFolderPath()), dir.Path() / "Zelbor Presets"));

    // Absolute: used as written.
    std::string absolute = dir.File("Zelbor Presets");
    WriteBytes(dir.Path() / "Zelbor.ini", "PresetFolder \"" + absolute + "\"\n");
    PresetLibrary library;
    library.Init(dir.File("Zelbor.ini").c_str());
    EXPECT_EQ(std::string(library.PresetFolderPath()), absolute);
    EXPECT_EQ(library.Root().LastNumber(), 1);
}
