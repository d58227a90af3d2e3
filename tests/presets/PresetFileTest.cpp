#include "presets/PresetFile.h"

#include "PresetTestSupport.h"
#include "platform/AtomicFile.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetName.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace
{
// The content a save must produce, built the plain way with printf.
std::string ReferenceText(DelayShapedPlug& plug)
{
    std::string text = "Delay V1.0\n";
    for (int i = 0; i < plug.NParams(); ++i)
    {
        const IPlugParam* p = plug.GetParam(i);
        if (i == 184 || i == 215 || i == 217 || !*p->Name()) continue;
        char line[512];
        std::snprintf(line, sizeof(line), "param %s %.12f\n", p->Name(), p->Value());
        text += line;
    }
    return text;
}

double RoundedTo12(double v)
{
    char text[512];
    std::snprintf(text, sizeof(text), "%.12f", v);
    return std::strtod(text, nullptr);
}

// Content of a saved file with line ends made uniform; fails the test when
// the file mixes bare line feeds and carriage-return pairs.
std::string SavedText(const fs::path& path)
{
    std::string bytes = ReadBytes(path);
    size_t lf = std::count(bytes.begin(), bytes.end(), '\n');
    size_t cr = std::count(bytes.begin(), bytes.end(), '\r');
    EXPECT_TRUE(cr == 0 || (cr == lf && bytes.find("\r\n") != std::string::npos));
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    return bytes;
}

class PresetFileTest : public ::testing::Test
{
protected:
    // Writes content to a file in the scratch folder and loads it.
    bool LoadText(const std::string& content, const std::string& name = "t.preset")
    {
        WriteBytes(dir.Path() / PathFromUtf8(name), content);
        target.plug.changed.clear();
        return LoadPresetFile(target, presetName, dir.File(name).c_str());
    }

    ScratchDir dir;
    TestTarget target;
    PresetName presetName;
};
} // namespace

TEST_F(PresetFileTest, SaveWritesTheExactFormat)
{
    std::string path = dir.File("Slow echo.preset");
    ASSERT_TRUE(SavePresetFile(target, presetName, path.c_str()));
    std::string text = SavedText(PathFromUtf8(path));
    EXPECT_EQ(text, ReferenceText(target.plug));
    // Byte for byte what the C library writes in text mode (line ends
    // included).
    std::string reference = Utf8(dir.Path() / "reference.txt");
    FILE* out = std::fopen(reference.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs(ReferenceText(target.plug).c_str(), out);
    std::fclose(out);
    EXPECT_EQ(ReadBytes(PathFromUtf8(path)), ReadBytes(PathFromUtf8(reference)));
    fs::remove(PathFromUtf8(reference));

    std::istringstream lines(text);
    std::string line, word, name;
    std::getline(lines, line);
    std::vector<std::string> names;
    while (std::getline(lines, line))
    {
        std::istringstream(line) >> word >> name;
        names.push_back(name);
    }
    EXPECT_EQ(names, StoredParamNames());
    EXPECT_NE(text.find("param Fb_A -3.000000000000\n"), std::string::npos);
    EXPECT_NE(text.find("param Rx_B 8.000000000000\n"), std::string::npos);

    EXPECT_STREQ(presetName.Name(), "Slow echo");
    EXPECT_STREQ(presetName.Path(), path.c_str());
    EXPECT_EQ(target.shownNames, std::vector<std::string>{"Slow echo"});
    EXPECT_EQ(target.fadeRestarts, 0); // saving does not interrupt the sound
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"Slow echo.preset"});
}

TEST_F(PresetFileTest, RoundTripRestoresEveryStoredParameter)
{
    DelayShapedPlug& plug = target.plug;
    std::mt19937 random(1234);
    std::vector<double> saved(static_cast<size_t>(plug.NParams()));
    for (int i = 0; i < plug.NParams(); ++i)
    {
        IPlugParam* p = plug.GetParam(i);
        double v = std::uniform_real_distribution<double>(p->Min(), p->Max())(random);
        if (p->Kind() != KindContinuous) v = std::floor(v + 0.5);
        p->SetValue(v);
        saved[static_cast<size_t>(i)] = v;
    }
    plug.GetParam(184)->SetValue(1.0);
    plug.GetParam(215)->SetValue(1.0);
    std::string path = dir.File("round.preset");
    ASSERT_TRUE(SavePresetFile(target, presetName, path.c_str()));

    for (int i = 0; i < plug.NParams(); ++i)
        plug.GetParam(i)->SetValue(plug.GetParam(i)->Max());
    auto* editor = new CountingEditor;
    plug.AttachEditor(editor);
    editor->pushes = 0;
    plug.changed.clear();
    target.shownNames.clear();
    ASSERT_TRUE(LoadPresetFile(target, presetName, path.c_str()));

    for (int i = 0; i < plug.NParams(); ++i)
    {
        const IPlugParam* p = plug.GetParam(i);
        if (i == 184 || i == 215 || !*p->Name())
            EXPECT_EQ(p->Value(), p->Min()) << i;
        else
            EXPECT_EQ(p->Value(), RoundedTo12(saved[static_cast<size_t>(i)])) << p->Name();
    }
    std::vector<int> all(static_cast<size_t>(plug.NParams()));
    for (int i = 0; i < plug.NParams(); ++i)
        all[static_cast<size_t>(i)] = i;
    EXPECT_EQ(plug.changed, all);
    EXPECT_EQ(editor->pushes, plug.NParams());
    EXPECT_EQ(editor->dirtyMarks, 1);
    EXPECT_EQ(target.readouts, (std::vector<std::string>{"", ""})); // the save's and the load's
    EXPECT_EQ(target.shownNames, std::vector<std::string>{"round"});
    EXPECT_EQ(target.fadeRestarts, 1); // the load's, not the save's
    EXPECT_EQ(target.lockedFadeRestarts, 1);
}

TEST_F(PresetFileTest, HeaderOnlyFallsToMinimumAnyVersion)
{
    for (const char* header : {"Delay V1.0\n", "Delay V7.3", "DelayV-2.+5\r\n\r\n"})
    {
        TestTarget fresh;
        WriteBytes(dir.Path() / "h.preset", header);
        ASSERT_TRUE(LoadPresetFile(fresh, presetName, dir.File("h.preset").c_str()));
        EXPECT_EQ(fresh.plug.Value("Level"), 0.0) << header;
        EXPECT_EQ(fresh.plug.Value("Time_H"), 1.0);
        EXPECT_EQ(fresh.plug.Value("Fb_C"), -25.0);
        EXPECT_EQ(fresh.plug.Value("Scl_Dly"), 0.25);
        EXPECT_EQ(fresh.shownNames, std::vector<std::string>{"h"});
    }
}

TEST_F(PresetFileTest, BrokenHeaderChangesNoValueButStillRenames)
{
    for (const char* content : {"", "Dealy V1.0\nparam Wet 0.1\n", "Delay V1\nparam Wet 0.1\n",
                                "\xEF\xBB\xBF"
                                "Delay V1.0\nparam Wet 0.1\n",
                                " Delay V1.0\n"})
    {
        TestTarget fresh;
        auto* editor = new CountingEditor;
        fresh.plug.AttachEditor(editor);
        editor->pushes = 0;
        WriteBytes(dir.Path() / "My.Echo.preset", content);
        ASSERT_TRUE(LoadPresetFile(fresh, presetName, dir.File("My.Echo.preset").c_str()));
        EXPECT_EQ(editor->dirtyMarks, 1);
        EXPECT_EQ(editor->pushes, fresh.plug.NParams());
        EXPECT_EQ(fresh.plug.Value("Wet"), 0.7);
        EXPECT_EQ(fresh.plug.Value("Time_A"), 500.0);
        EXPECT_EQ(fresh.plug.changed.size(), 218u);
        EXPECT_EQ(fresh.shownNames, std::vector<std::string>{"My.Echo"});
        EXPECT_FALSE(presetName.HasPath()); // "Save" asks rather than overwrite it
        EXPECT_EQ(fresh.readouts, std::vector<std::string>{""});
        EXPECT_EQ(fresh.lockedFadeRestarts, 1);
    }
}

TEST_F(PresetFileTest, LineEndsBlankLinesAndSpacingReadTheSame)
{
    const std::string lf = "Delay V1.0\nparam Wet 0.25\nparam Time_B 123.5\nparam Mains_C 1\n";
    ASSERT_TRUE(LoadText(lf));
    std::vector<double> expected = {target.plug.Value("Wet"), target.plug.Value("Time_B"),
                                    target.plug.Value("Mains_C")};
    EXPECT_EQ(expected, (std::vector<double>{0.25, 123.5, 1.0}));

    for (const std::string& variant :
         {std::string(
              "Delay V1.0\r\nparam Wet 0.25\r\n\r\nparam Time_B 123.5\r\n\r\n\r\nparam Mains_C 1"),
          std::string(
              "Delay V1.0\n\n\tparam\tWet\t\t0.25 param Time_B\n123.5\nparam Mains_C +1.0e0\n\n")})
    {
        TestTarget fresh;
        WriteBytes(dir.Path() / "v.preset", variant);
        ASSERT_TRUE(LoadPresetFile(fresh, presetName, dir.File("v.preset").c_str()));
        EXPECT_EQ(fresh.plug.Value("Wet"), 0.25);
        EXPECT_EQ(fresh.plug.Value("Time_B"), 123.5);
        EXPECT_EQ(fresh.plug.Value("Mains_C"), 1.0);
    }
}

TEST_F(PresetFileTest, UnknownNamesSkippedMalformedLineStopsClamping)
{
    ASSERT_TRUE(LoadText("Delay V1.0\n"
                         "param Nope 1\n"
                         "param Wet 0.25\n"
                         "param level 0.5\n"
                         "param Level 2.5\n"
                         "param Time_A -7\n"
                         "param Scl_Rst 1\n"
                         "param Panic 1\n"
                         "param Time_B 0x1p4\n"
                         "param Fb_A -3\n"
                         "param Fb_A -6\n"
                         "garbage here\n"
                         "param Dry 0.9\n"));
    DelayShapedPlug& plug = target.plug;
    EXPECT_EQ(plug.Value("Wet"), 0.25);
    EXPECT_EQ(plug.Value("Level"), 1.0);
    EXPECT_EQ(plug.Value("Time_A"), 1.0);
    EXPECT_EQ(plug.Value("Scl_Rst"), 1.0);
    EXPECT_EQ(plug.Value("Panic"), 1.0);
    EXPECT_EQ(plug.Value("Time_B"), 16.0);
    EXPECT_EQ(plug.Value("Fb_A"), -6.0);
    EXPECT_EQ(plug.Value("Dry"), 0.0); // after the malformed line

    for (const char* bad : {"param Wet 1e\nparam Dry 0.5\n", "param Wet abc\nparam Dry 0.5\n",
                            "param Wet\n", "param Wet 0x\nparam Dry 0.5\n",
                            "param Wet --1\nparam Dry 0.5\n", "param Wet .\nparam Dry 0.5\n"})
    {
        TestTarget fresh;
        WriteBytes(dir.Path() / "b.preset", std::string("Delay V1.0\n") + bad);
        ASSERT_TRUE(LoadPresetFile(fresh, presetName, dir.File("b.preset").c_str()));
        EXPECT_EQ(fresh.plug.Value("Wet"), 0.0) << bad;
        EXPECT_EQ(fresh.plug.Value("Dry"), 0.0) << bad;
    }
    // A number ends where it cannot go on; what follows must start a line.
    ASSERT_TRUE(LoadText("Delay V1.0\nparam Wet 0.5x\nparam Dry 0.5\n"));
    EXPECT_EQ(target.plug.Value("Wet"), 0.5);
    EXPECT_EQ(target.plug.Value("Dry"), 0.0);
}

TEST_F(PresetFileTest, LongNamesAndNonFiniteValuesAreSkipped)
{
    std::string longName(300, 'W');
    ASSERT_TRUE(LoadText("Delay V1.0\n"
                         "param Wet nan\n"
                         "param " +
                         longName +
                         " 1\n"
                         "param Dry -INF\n"
                         "param Fb_A 1e999\n"
                         "param Gain_A Infinity\n"
                         "param Wet" +
                         std::string(37, '_') +
                         " 0.9\n"
                         "param Pan_A 0.3\n"));
    DelayShapedPlug& plug = target.plug;
    EXPECT_EQ(plug.Value("Wet"), 0.0);
    EXPECT_EQ(plug.Value("Dry"), 0.0);
    EXPECT_EQ(plug.Value("Fb_A"), -25.0);
    EXPECT_EQ(plug.Value("Gain_A"), -40.0);
    EXPECT_EQ(plug.Value("Pan_A"), 0.3);
}

TEST_F(PresetFileTest, NumbersIgnoreTheLocale)
{
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8",          "de_DE",  "fr_FR.UTF-8",
                                  "fr_FR.utf8",  "German_Germany.1252", "German", "French"};
    std::string previous = std::setlocale(LC_ALL, nullptr);
    bool found = false;
    for (const char* name : commaLocales)
    {
        if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',')
        {
            found = true;
            break;
        }
    }
    if (!found)
    {
        std::setlocale(LC_ALL, previous.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    std::string path = dir.File("locale.preset");
    bool saved = SavePresetFile(target, presetName, path.c_str());
    std::string text = ReadBytes(PathFromUtf8(path));
    WriteBytes(dir.Path() / "in.preset", "Delay V1.0\nparam Wet 0.25\nparam Time_A 12.5\n");
    bool loaded = LoadPresetFile(target, presetName, dir.File("in.preset").c_str());
    std::setlocale(LC_ALL, previous.c_str());

    ASSERT_TRUE(saved);
    EXPECT_NE(text.find("param Wet 0.700000000000"), std::string::npos);
    EXPECT_EQ(text.find(','), std::string::npos);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(target.plug.Value("Wet"), 0.25);
    EXPECT_EQ(target.plug.Value("Time_A"), 12.5);
}

TEST_F(PresetFileTest, FailedSaveKeepsTheOldFile)
{
    // Replacing an existing file: the new content arrives whole.
    std::string path = dir.File("keep.preset");
    WriteBytes(PathFromUtf8(path),
               "old content that is longer than nothing\n" + std::string(10000, 'x'));
    ASSERT_TRUE(SavePresetFile(target, presetName, path.c_str()));
    EXPECT_EQ(SavedText(PathFromUtf8(path)), ReferenceText(target.plug));
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"keep.preset"});

    // The temporary file sits beside the target under a short name without
    // a ".", which a scan never lists; names already taken are passed over
    // and left alone.
    for (int attempt : {0, 1, 42})
    {
        fs::path temp = PathFromUtf8(TemporaryPathFor(path.c_str(), attempt));
        EXPECT_EQ(temp.parent_path(), PathFromUtf8(path).parent_path());
        EXPECT_EQ(Utf8(temp.filename()).find('.'), std::string::npos);
        EXPECT_LE(Utf8(temp).size(), path.size());
    }
    const fs::path taken = PathFromUtf8(TemporaryPathFor(path.c_str(), 0));
    WriteBytes(taken, "left over");
    fs::create_directories(PathFromUtf8(TemporaryPathFor(path.c_str(), 1)));
    target.plug.SetValue("Wet", 0.125);
    ASSERT_TRUE(SavePresetFile(target, presetName, path.c_str()));
    EXPECT_EQ(SavedText(PathFromUtf8(path)), ReferenceText(target.plug));
    EXPECT_EQ(ReadBytes(taken), "left over");
    EXPECT_EQ(ListNames(dir.Path()).size(), 3u);
    fs::remove(taken);
    fs::remove(PathFromUtf8(TemporaryPathFor(path.c_str(), 1)));

    // A target that is a folder, and a folder that does not exist.
    fs::create_directories(dir.Path() / "taken.preset" / "inner");
    PresetName before;
    for (const std::string& bad :
         {dir.File("taken.preset"), dir.File("missing/x.preset"), std::string()})
    {
        target.shownNames.clear();
        EXPECT_FALSE(SavePresetFile(target, before, bad.c_str())) << bad;
        EXPECT_TRUE(target.shownNames.empty());
        EXPECT_FALSE(before.HasPath());
    }
    EXPECT_TRUE(fs::is_directory(dir.Path() / "taken.preset" / "inner"));
    std::vector<std::string> names = ListNames(dir.Path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"keep.preset", "taken.preset"}));

    // A folder that cannot be written to (not enforced for the super-user).
    fs::path locked = dir.Path() / "locked";
    fs::create_directories(locked);
    WriteBytes(locked / "p.preset", "Delay V1.0\nparam Wet 0.5\n");
    std::error_code ec;
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec, ec);
    bool enforced = !ec && !std::ofstream(locked / "probe");
    if (enforced)
    {
        EXPECT_FALSE(SavePresetFile(target, before, Utf8(locked / "p.preset").c_str()));
        EXPECT_EQ(ReadBytes(locked / "p.preset"), "Delay V1.0\nparam Wet 0.5\n");
        EXPECT_EQ(ListNames(locked), std::vector<std::string>{"p.preset"});
    }
    fs::permissions(locked, fs::perms::owner_all, ec);
}

TEST_F(PresetFileTest, MissingFileChangesNothing)
{
    target.plug.changed.clear();
    EXPECT_FALSE(LoadPresetFile(target, presetName, dir.File("absent.preset").c_str()));
    EXPECT_FALSE(LoadPresetFile(target, presetName, ""));
    EXPECT_FALSE(LoadPresetFile(target, presetName, nullptr));
    EXPECT_TRUE(target.plug.changed.empty());
    EXPECT_TRUE(target.shownNames.empty());
    EXPECT_EQ(target.fadeRestarts, 0);
    EXPECT_FALSE(presetName.HasPath());
    EXPECT_EQ(target.plug.Value("Wet"), 0.7);
}

TEST(PresetName, NameFromPath)
{
    PresetName name;
    EXPECT_STREQ(name.Name(), "");
    EXPECT_FALSE(name.HasPath());
    const char* cases[][2] = {
        {"C:\\Presets\\Dub\\Slow echo.preset", "Slow echo"},
        {"/p/.preset", ".preset"},
        {"/p/a.b.preset", "a.b"},
        {"D:noext", "noext"},
        {"/p/x/", ""},
    };
    for (const auto& c : cases)
    {
        name.SetFromPath(c[0]);
        EXPECT_STREQ(name.Name(), c[1]) << c[0];
        EXPECT_STREQ(name.Path(), c[0]);
    }
    name.SetFromPath(name.Path()); // the stored path itself: nothing changes
    EXPECT_STREQ(name.Path(), "/p/x/");
    std::string longPath = "/" + std::string(400, 'n') + ".preset";
    name.SetFromPath(longPath.c_str());
    EXPECT_EQ(std::string(name.Name()), std::string(262, 'n'));
}

TEST_F(PresetFileTest, NonAsciiFileNames)
{
    const std::string file = "\xC3\x89"
                             "cho \xC3\xB1 \xE6\x97\xA5.preset"; // Écho ñ 日.preset
    std::string path = dir.File(file);
    target.plug.SetValue("Wet", 0.33);
    ASSERT_TRUE(SavePresetFile(target, presetName, path.c_str()));
    EXPECT_TRUE(fs::exists(PathFromUtf8(path)));
    EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{file});
    target.plug.SetValue("Wet", 0.9);
    ASSERT_TRUE(LoadPresetFile(target, presetName, path.c_str()));
    EXPECT_EQ(target.plug.Value("Wet"), 0.33);
    EXPECT_STREQ(presetName.Name(), "\xC3\x89"
                                    "cho \xC3\xB1 \xE6\x97\xA5");
}

TEST(PresetLibrary, ConfigurationScanNumbersAndRescan)
{
    ScratchDir dir;
    fs::path folder = dir.Path() / "my presets";
    fs::create_directories(folder / "Dub");
    WriteBytes(folder / "a.preset", "Delay V1.0\nparam Wet 0.1\n");
    WriteBytes(folder / "Dub" / "x.preset", "Delay V1.0\nparam Wet 0.2\n");
    WriteBytes(dir.Path() / "Zelbor.ini", "; presets\nPresetFolder \"" + Utf8(folder) + "\"\n");

    TestTarget target;
    PresetLibrary library;
    library.Init(dir.File("Zelbor.ini").c_str());
    EXPECT_EQ(std::string(library.PresetFolderPath()), Utf8(folder));
    EXPECT_EQ(library.Root().LastNumber(), 2);

    ASSERT_TRUE(library.LoadNumber(target, 2));
    EXPECT_EQ(target.plug.Value("Wet"), 0.2);
    EXPECT_STREQ(library.Name().Name(), "x");
    ASSERT_TRUE(library.LoadNumber(target, 1));
    EXPECT_EQ(target.plug.Value("Wet"), 0.1);
    EXPECT_FALSE(library.LoadNumber(target, 3));
    EXPECT_FALSE(library.LoadNumber(target, 0));

    // A save into the folder shows after a rescan; "Save" reuses the path.
    ASSERT_TRUE(library.Save(target, Utf8(folder / "Dub" / "y.preset").c_str()));
    EXPECT_EQ(library.Root().LastNumber(), 2);
    library.Rescan();
    EXPECT_EQ(library.Root().LastNumber(), 3);
    ASSERT_TRUE(library.Save(target, library.Name().Path()));
    EXPECT_STREQ(library.Name().Name(), "y");

    // A file removed after the scan fails quietly.
    fs::remove(folder / "a.preset");
    target.plug.changed.clear();
    EXPECT_FALSE(library.LoadNumber(target, 1));
    EXPECT_TRUE(target.plug.changed.empty());
}
