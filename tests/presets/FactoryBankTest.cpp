// The factory bank in data/presets: each file is exactly what the effect
// saves for the settings below, loads back to them, and sounds sane. Run with
// ZELBOR_WRITE_FACTORY_PRESETS=1 to (re)write the files from these settings.

#include "plugin/Delay.h"
#include "presets/PresetFolder.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetName.h"
#include "tests/support/ScratchDir.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace
{
struct Setting
{
    const char* name;
    double value;
};

struct FactoryPreset
{
    const char* folder;
    const char* name;
    std::vector<Setting> settings; // over the effect's defaults
};

// In: 0 -, 1 L, 2 R, 3 L+R, 4 M, 5 S. Rx: 0..7 = tap A..H, 8 none.
// Mode: 0 tempo, 1 ms. Bpm: 8 "1/2", 9 "1/4", 10 "1/8", 11 "1/16",
// 14 "1/4 d", 15 "1/8 d", 16 "1/16 d", 19 "1/4 t", 20 "1/8 t".
// Shape: 0 sine, 1 triangle, 4 random.
const std::vector<FactoryPreset>& Bank()
{
    static const std::vector<FactoryPreset> bank = {
        {"Rhythmic",
         "Dotted Eighth Stereo",
         {{"Wet", 0.55},   {"Dry", 0.85},   {"In_A", 3},    {"Mode_A", 0},   {"Bpm_A", 15},
          {"Fb_A", -7},    {"Lpf_A", 5500}, {"Hpf_A", 180}, {"Rate_A", 0.5}, {"Depth_A", 0.2},
          {"Pan_A", 0.25}, {"Gain_A", -2},  {"In_B", 3},    {"Mode_B", 0},   {"Bpm_B", 9},
          {"Fb_B", -8},    {"Lpf_B", 4500}, {"Hpf_B", 220}, {"Rate_B", 0.4}, {"Depth_B", 0.2},
          {"Pan_B", 0.75}, {"Gain_B", -2}}},
        {"Rhythmic",
         "Triplet Cascade",
         {{"Wet", 0.6},    {"Dry", 0.8},      {"In_A", 3},    {"Mode_A", 0},     {"Bpm_A", 20},
          {"Fb_A", -25},   {"Depth_A", 0.15}, {"Pan_A", 0.3}, {"In_B", 0},       {"Rx_B", 0},
          {"Mode_B", 0},   {"Bpm_B", 20},     {"Fb_B", -25},  {"Depth_B", 0.15}, {"Pan_B", 0.7},
          {"Gain_B", -3},  {"Rx_C", 1},       {"Mode_C", 0},  {"Bpm_C", 19},     {"Fb_C", -12},
          {"Lpf_C", 3000}, {"Depth_C", 0.15}, {"Gain_C", -6}, {"Mains_C", 1}}},
        {"Rhythmic",
         "Quarter Ping-Pong",
         {{"Wet", 0.6},     {"Dry", 0.8},     {"In_A", 3},    {"Mode_A", 0},    {"Bpm_A", 9},
          {"Fb_A", -25},    {"Depth_A", 0.1}, {"Pan_A", 0},   {"In_B", 0},      {"Rx_B", 0},
          {"Mode_B", 0},    {"Bpm_B", 9},     {"Fb_B", -25},  {"Depth_B", 0.1}, {"Pan_B", 1},
          {"Gain_B", -2},   {"Rx_C", 1},      {"Mode_C", 0},  {"Bpm_C", 9},     {"Fb_C", -25},
          {"Depth_C", 0.1}, {"Pan_C", 0},     {"Gain_C", -2}, {"Mains_C", 1},   {"Rx_D", 2},
          {"Mode_D", 0},    {"Bpm_D", 9},     {"Fb_D", -14},  {"Lpf_D", 3200},  {"Depth_D", 0.1},
          {"Pan_D", 1},     {"Gain_D", -2},   {"Mains_D", 1}}},
        {"Rhythmic",
         "Sixteenth Shuffle",
         {{"Wet", 0.5},    {"Dry", 0.9},     {"Mode_A", 0},   {"Bpm_A", 16},   {"Fb_A", -10},
          {"Lpf_A", 7000}, {"Hpf_A", 400},   {"Depth_A", 0},  {"Pan_A", 0.15}, {"Mode_B", 0},
          {"Bpm_B", 11},   {"Fb_B", -12},    {"Lpf_B", 7000}, {"Hpf_B", 400},  {"Depth_B", 0},
          {"Pan_B", 0.85}, {"In_C", 3},      {"Mode_C", 0},   {"Bpm_C", 14},   {"Fb_C", -6},
          {"Lpf_C", 2500}, {"Depth_C", 0.3}, {"Gain_C", -6},  {"Mains_C", 1}}},
        {"Ambient",
         "Wide Wash",
         {{"Wet", 0.6},     {"Time_A", 730},  {"Fb_A", -2},     {"Lpf_A", 3200},  {"Hpf_A", 250},
          {"Rate_A", 0.13}, {"Depth_A", 4},   {"Pan_A", 0.05},  {"Gain_A", -1},   {"Time_B", 910},
          {"Fb_B", -2},     {"Lpf_B", 3200},  {"Hpf_B", 250},   {"Rate_B", 0.17}, {"Depth_B", 4},
          {"Pan_B", 0.95},  {"Gain_B", -1},   {"In_C", 3},      {"Time_C", 1270}, {"Fb_C", -1.5},
          {"Lpf_C", 2600},  {"Hpf_C", 250},   {"Rate_C", 0.11}, {"Depth_C", 5},   {"Shape_C", 1},
          {"Pan_C", 0.3},   {"Gain_C", -2},   {"Mains_C", 1},   {"In_D", 3},      {"Time_D", 1630},
          {"Fb_D", -1.5},   {"Lpf_D", 2400},  {"Hpf_D", 250},   {"Rate_D", 0.09}, {"Depth_D", 5},
          {"Shape_D", 1},   {"Pan_D", 0.7},   {"Gain_D", -2},   {"Mains_D", 1},   {"Rx_E", 2},
          {"Time_E", 1890}, {"Fb_E", -3},     {"Lpf_E", 2000},  {"Hpf_E", 250},   {"Rate_E", 0.07},
          {"Depth_E", 6},   {"Shape_E", 4},   {"Pan_E", 0.15},  {"Gain_E", -3},   {"Mains_E", 1},
          {"Rx_F", 3},      {"Time_F", 1450}, {"Fb_F", -3},     {"Lpf_F", 2000},  {"Hpf_F", 250},
          {"Rate_F", 0.05}, {"Depth_F", 6},   {"Shape_F", 4},   {"Pan_F", 0.85},  {"Gain_F", -3},
          {"Mains_F", 1}}},
        {"Ambient",
         "Frozen Horizon",
         {{"Wet", 0.6},    {"Dry", 0.7},     {"In_A", 3},      {"Time_A", 1800}, {"Fb_A", -0.25},
          {"Lpf_A", 1800}, {"Hpf_A", 300},   {"Rate_A", 0.05}, {"Depth_A", 3},   {"Shape_A", 4},
          {"Pan_A", 0.2},  {"In_B", 3},      {"Time_B", 1330}, {"Fb_B", -0.25},  {"Lpf_B", 2000},
          {"Hpf_B", 300},  {"Rate_B", 0.07}, {"Depth_B", 3},   {"Shape_B", 4},   {"Pan_B", 0.8}}},
        {"Ambient",
         "Drifting Clouds",
         {{"Dry", 0.75},   {"In_A", 3},      {"Time_A", 420},  {"Fb_A", -4},     {"Lpf_A", 3500},
          {"Hpf_A", 200},  {"Rate_A", 0.35}, {"Depth_A", 3.5}, {"Shape_A", 1},   {"Pan_A", 0.2},
          {"Gain_A", -1},  {"In_B", 0},      {"Rx_B", 0},      {"Time_B", 530},  {"Fb_B", -4},
          {"Lpf_B", 3000}, {"Hpf_B", 200},   {"Rate_B", 0.3},  {"Depth_B", 3.5}, {"Shape_B", 1},
          {"Pan_B", 0.8},  {"Gain_B", -1},   {"Rx_C", 1},      {"Time_C", 610},  {"Fb_C", -4},
          {"Lpf_C", 2600}, {"Hpf_C", 200},   {"Rate_C", 0.25}, {"Depth_C", 3.5}, {"Shape_C", 1},
          {"Pan_C", 0.35}, {"Gain_C", -2},   {"Mains_C", 1},   {"Rx_D", 2},      {"Time_D", 770},
          {"Fb_D", -4},    {"Lpf_D", 2200},  {"Hpf_D", 200},   {"Rate_D", 0.2},  {"Depth_D", 3.5},
          {"Shape_D", 1},  {"Pan_D", 0.65},  {"Gain_D", -2},   {"Mains_D", 1}}},
        {"Dub",
         "Dub Echo Chamber",
         {{"Wet", 0.6},    {"Dry", 0.85},   {"In_A", 3},      {"Mode_A", 0},    {"Bpm_A", 14},
          {"Fb_A", -1.5},  {"Lpf_A", 2200}, {"Hpf_A", 450},   {"Rate_A", 0.25}, {"Depth_A", 0.6},
          {"In_B", 0},     {"Rx_B", 0},     {"Mode_B", 0},    {"Bpm_B", 10},    {"Fb_B", -8},
          {"Lpf_B", 1600}, {"Hpf_B", 600},  {"Rate_B", 0.25}, {"Depth_B", 0.6}, {"Pan_B", 0.85},
          {"Gain_B", -6}}},
        {"Dub",
         "Tape Spin Dub",
         {{"Wet", 0.55},   {"Dry", 0.85},   {"In_A", 3},      {"Time_A", 375},  {"Fb_A", -1},
          {"Lpf_A", 1500}, {"Hpf_A", 300},  {"Rate_A", 0.35}, {"Depth_A", 1.2}, {"Shape_A", 4},
          {"Pan_A", 0.4},  {"Gain_A", -1},  {"In_B", 0},      {"Rx_B", 0},      {"Time_B", 750},
          {"Fb_B", -4},    {"Lpf_B", 1200}, {"Hpf_B", 350},   {"Rate_B", 0.2},  {"Depth_B", 1.5},
          {"Pan_B", 0.75}, {"Gain_B", -6}}},
        {"Dub",
         "Steppers Skank",
         {{"Wet", 0.6},
          {"Dry", 0.85},
          {"In_A", 3},
          {"Mode_A", 0},
          {"Bpm_A", 10},
          {"Fb_A", -9},
          {"Lpf_A", 2800},
          {"Hpf_A", 700},
          {"Depth_A", 0.3},
          {"Pan_A", 0.2},
          {"In_B", 3},
          {"Mode_B", 0},
          {"Bpm_B", 8},
          {"Fb_B", -2},
          {"Lpf_B", 1800},
          {"Hpf_B", 500},
          {"Depth_B", 0.3},
          {"Pan_B", 0.8},
          {"Gain_B", -3}}},
        {"Modulation",
         "Stereo Chorus",
         {{"Wet", 0.6},
          {"Dry", 0.8},
          {"Time_A", 14},
          {"Fb_A", -25},
          {"Lpf_A", 12000},
          {"Hpf_A", 50},
          {"Rate_A", 0.7},
          {"Depth_A", 3},
          {"Pan_A", 0.1},
          {"Gain_A", -1},
          {"Time_B", 19},
          {"Fb_B", -25},
          {"Lpf_B", 12000},
          {"Hpf_B", 50},
          {"Rate_B", 0.9},
          {"Depth_B", 3.5},
          {"Shape_B", 1},
          {"Pan_B", 0.9},
          {"Gain_B", -1}}},
        {"Modulation",
         "Jet Flanger",
         {{"In_A", 3},      {"Time_A", 3},    {"Fb_A", -1.5}, {"Lpf_A", 12000}, {"Hpf_A", 50},
          {"Rate_A", 0.12}, {"Depth_A", 2.2}, {"Shape_A", 1}, {"Pan_A", 0.3},   {"Gain_A", -2},
          {"In_B", 3},      {"Time_B", 3.4},  {"Fb_B", -1.5}, {"Lpf_B", 12000}, {"Hpf_B", 50},
          {"Rate_B", 0.12}, {"Depth_B", 2.2}, {"Shape_B", 1}, {"Phase_B", 1},   {"Pan_B", 0.7},
          {"Gain_B", -2}}},
        {"Modulation",
         "Vibrato Wobble",
         {{"Wet", 1},
          {"Dry", 0},
          {"Time_A", 7},
          {"Fb_A", -25},
          {"Lpf_A", 12000},
          {"Hpf_A", 50},
          {"Rate_A", 5},
          {"Depth_A", 1.2},
          {"Pan_A", 0},
          {"Time_B", 7},
          {"Fb_B", -25},
          {"Lpf_B", 12000},
          {"Hpf_B", 50},
          {"Rate_B", 5},
          {"Depth_B", 1.2},
          {"Pan_B", 1}}},
        {"Utility",
         "Slapback",
         {{"Wet", 0.5},
          {"Dry", 0.9},
          {"In_A", 3},
          {"Time_A", 95},
          {"Fb_A", -25},
          {"Lpf_A", 5000},
          {"Depth_A", 0},
          {"Gain_A", -4},
          {"In_B", 0},
          {"Mains_B", 0}}},
        {"Utility",
         "Mono Doubler",
         {{"Wet", 0.6},    {"Dry", 0.85},   {"In_A", 4},      {"Time_A", 23},   {"Fb_A", -25},
          {"Lpf_A", 9000}, {"Hpf_A", 120},  {"Rate_A", 0.4},  {"Depth_A", 0.8}, {"Pan_A", 0.15},
          {"Gain_A", -3},  {"In_B", 4},     {"Time_B", 37},   {"Fb_B", -25},    {"Lpf_B", 9000},
          {"Hpf_B", 120},  {"Rate_B", 0.5}, {"Depth_B", 0.9}, {"Pan_B", 0.85},  {"Gain_B", -3}}},
        {"Utility",
         "Clean Quarter Echo",
         {{"Wet", 0.5},
          {"Dry", 1},
          {"In_A", 3},
          {"Mode_A", 0},
          {"Bpm_A", 9},
          {"Fb_A", -8},
          {"Lpf_A", 8000},
          {"Hpf_A", 100},
          {"Depth_A", 0},
          {"In_B", 0},
          {"Mains_B", 0}}},
    };
    return bank;
}

fs::path BankFolder()
{
    return PathFromUtf8(ZELBOR_FACTORY_PRESETS);
}

fs::path FileOf(const FactoryPreset& preset)
{
    return BankFolder() / preset.folder / (std::string(preset.name) + ".preset");
}

// The effect's defaults with the preset's settings, every handler run.
void Apply(Delay& delay, const FactoryPreset& preset)
{
    for (const Setting& s : preset.settings)
    {
        IPlugParam* param = delay.FindParamByName(s.name);
        ASSERT_NE(param, nullptr) << preset.name << ": " << s.name;
        ASSERT_GE(s.value, param->Min()) << preset.name << ": " << s.name;
        ASSERT_LE(s.value, param->Max()) << preset.name << ": " << s.name;
        param->SetValue(s.value);
    }
    delay.NotifyAllParamsChanged();
}

void SetWetToZero(Delay& delay)
{
    IPlugParam* wet = delay.FindParamByName("Wet");
    wet->SetValue(0.0);
    delay.NotifyAllParamsChanged();
}

std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// What decides how the lines are wired.
std::vector<int> Routing(const Delay& delay)
{
    std::vector<int> routing;
    for (int i = 0; i < kNumTaps; ++i)
    {
        routing.push_back(delay.Line(i).sourceTap);
        routing.push_back(delay.Line(i).inputPort);
    }
    for (int k = 0; k < delay.ProcessingOrderCount(); ++k)
        routing.push_back(100 + delay.ProcessingOrderLine(k));
    return routing;
}
} // namespace

TEST(FactoryBank, FilesAreWhatTheEffectSaves)
{
    const bool write = std::getenv("ZELBOR_WRITE_FACTORY_PRESETS") != nullptr;
    ScratchDir dir;
    for (const FactoryPreset& preset : Bank())
    {
        Delay delay(nullptr);
        Apply(delay, preset);
        std::string saved =
            write ? Utf8(FileOf(preset)) : dir.File(std::string(preset.name) + ".preset");
        if (write) fs::create_directories(FileOf(preset).parent_path());
        delay.SavePresetFile(saved.c_str());
        EXPECT_STREQ(delay.Presets().Name().Name(), preset.name);
        ASSERT_TRUE(fs::exists(FileOf(preset))) << Utf8(FileOf(preset));
        EXPECT_EQ(WithoutCarriageReturns(ReadBytes(FileOf(preset))),
                  WithoutCarriageReturns(ReadBytes(PathFromUtf8(saved))))
            << preset.name << " differs from what the effect saves";
    }
}

TEST(FactoryBank, TreeCoversEveryCharacter)
{
    std::unique_ptr<PresetFolder> tree = BuildPresetTree(Utf8(BankFolder()).c_str());
    EXPECT_TRUE(tree->Files().Empty());
    std::set<std::string> folders;
    for (PresetFolder* f = tree->Folders().First(); f; f = tree->Folders().Next(f))
        folders.insert(f->Name());
    EXPECT_EQ(folders,
              (std::set<std::string>{"Ambient", "Dub", "Modulation", "Rhythmic", "Utility"}));
    EXPECT_GE(tree->LastNumber(), 12);
    EXPECT_EQ(tree->LastNumber(), static_cast<int>(Bank().size()));
}

TEST(FactoryBank, LoadsBackAndSoundsSane)
{
    for (const FactoryPreset& preset : Bank())
    {
        Delay delay(nullptr);
        delay.LoadPresetFile(Utf8(FileOf(preset)).c_str());
        EXPECT_STREQ(delay.Presets().Name().Name(), preset.name);

        Delay reference(nullptr);
        Apply(reference, preset);
        for (int i = 0; i < reference.NParams(); ++i)
        {
            const IPlugParam* p = reference.GetParam(i);
            if (*p->Name() && i != 184 && i != 215)
            {
                EXPECT_EQ(delay.GetParam(i)->Value(), p->Value())
                    << preset.name << ": " << p->Name();
            }
        }
        EXPECT_EQ(Routing(delay), Routing(reference)) << preset.name;

        // After the fade-in, a short burst, then two and a half seconds of
        // echoes: finite, not running away, and with a wet part (the difference to the same preset
        // with the wet level at zero).
        Delay dryOnly(nullptr);
        dryOnly.LoadPresetFile(Utf8(FileOf(preset)).c_str());
        SetWetToZero(dryOnly);
        const int block = 512;
        std::vector<double> inL(block), inR(block), outL(block), outR(block), dryL(block),
            dryR(block);
        double peak = 0.0, wet = 0.0;
        const int start = 40; // the level smoother moves once per block
        const int blocks = start + static_cast<int>(2.5 * 44100 / block);
        for (int b = 0; b < blocks; ++b)
        {
            for (int i = 0; i < block; ++i)
            {
                double burst =
                    b >= start && b < start + 4 ? std::sin(0.05 * (b * block + i)) * 0.5 : 0.0;
                inL[static_cast<size_t>(i)] = burst;
                inR[static_cast<size_t>(i)] = 0.6 * burst;
            }
            double* ins[2] = {inL.data(), inR.data()};
            double* outs[2] = {outL.data(), outR.data()};
            double* dryOuts[2] = {dryL.data(), dryR.data()};
            delay.ProcessBlock(ins, outs, block);
            dryOnly.ProcessBlock(ins, dryOuts, block);
            for (size_t i = 0; i < static_cast<size_t>(block); ++i)
            {
                ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << preset.name;
                peak = std::max({peak, std::fabs(outL[i]), std::fabs(outR[i])});
                wet = std::max({wet, std::fabs(outL[i] - dryL[i]), std::fabs(outR[i] - dryR[i])});
            }
        }
        EXPECT_LT(peak, 2.0) << preset.name;
        // Choosing a preset must not make the music drop far in level: the
        // loudest moment stays within 9 dB of the burst's own peak (0.5).
        EXPECT_GT(peak, 0.5 * 0.355) << preset.name << ": much quieter than the input";
        EXPECT_GT(wet, 0.01) << preset.name << ": no wet signal";
    }
}

TEST(FactoryBank, RoutingDoesNotDependOnThePresetBefore)
{
    std::map<std::string, std::vector<int>> fresh;
    for (const FactoryPreset& preset : Bank())
    {
        Delay delay(nullptr);
        delay.LoadPresetFile(Utf8(FileOf(preset)).c_str());
        fresh[preset.name] = Routing(delay);
    }
    for (const FactoryPreset& before : Bank())
    {
        Delay delay(nullptr);
        delay.LoadPresetFile(Utf8(FileOf(before)).c_str());
        for (const FactoryPreset& after : Bank())
        {
            delay.LoadPresetFile(Utf8(FileOf(after)).c_str());
            EXPECT_EQ(Routing(delay), fresh[after.name]) << before.name << " then " << after.name;
        }
    }
}
