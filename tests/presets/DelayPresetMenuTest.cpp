// The effect's own preset entry points: numbered loads from the scanned tree
// and a rescan that picks up a preset saved after the first scan.

#include "plugin/Delay.h"
#include "presets/PresetFile.h"
#include "presets/PresetLibrary.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

TEST(DelayPresetMenu, LoadsByNumberAndRescans)
{
    ScratchDir dir;
    const fs::path folder = dir.Path() / "bank";
    fs::create_directories(folder / "Dub");
    WriteBytes(folder / "Dub" / "dark.preset", "Delay V1.0\nparam Wet 0.25\nparam Time_A 375\n");
    WriteBytes(folder / "bright.preset", "Delay V1.0\nparam Wet 0.5\n");
    WriteBytes(dir.Path() / "Zelbor.ini", "PresetFolder \"" + Utf8(folder) + "\"\n");

    Delay delay(nullptr);
    delay.Presets().Init(dir.File("Zelbor.ini").c_str());
    const int wet = FindParamIndexByName(delay, "Wet");
    ASSERT_GE(wet, 0);

    // Files come before sub-folders, so "bright" is 1 and "Dub/dark" is 2.
    delay.LoadPresetNumber(2);
    EXPECT_DOUBLE_EQ(delay.GetParam(wet)->Value(), 0.25);
    EXPECT_STREQ(delay.Presets().Name().Name(), "dark");
    EXPECT_NEAR(delay.Line(0).timeMs, 375.0, 1e-9);

    // A number without a preset changes nothing.
    delay.LoadPresetNumber(7);
    EXPECT_DOUBLE_EQ(delay.GetParam(wet)->Value(), 0.25);

    // Saved after the scan: numbered only after a rescan.
    delay.SavePresetFile(Utf8(folder / "Dub" / "echo.preset").c_str());
    delay.RescanPresets();
    EXPECT_EQ(delay.Presets().Root().LastNumber(), 3);
    delay.LoadPresetNumber(1);
    EXPECT_DOUBLE_EQ(delay.GetParam(wet)->Value(), 0.5);
}
