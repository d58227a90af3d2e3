#include "tools/render/RenderTool.h"

#include "ToolTestFiles.h"
#include "plugin/Delay.h"
#include "presets/PresetFile.h"
#include "presets/PresetLibrary.h"
#include "tests/support/ScratchDir.h"
#include "tools/render/EffectHost.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

using namespace zelbor::render;

namespace
{

struct ToolRun
{
    int code = -1;
    std::string out;
    std::string err;
};

ToolRun Render(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    ToolRun r;
    r.code = RunRenderTool(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::size_t PeakIndex(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    std::size_t best = from;
    for (std::size_t i = from; i < to && i < s.size(); ++i)
    {
        if (std::fabs(s[i]) > std::fabs(s[best]))
        {
            best = i;
        }
    }
    return best;
}

float MaxAbs(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    float m = 0.0f;
    for (std::size_t i = from; i < to && i < s.size(); ++i)
    {
        m = std::max(m, std::fabs(s[i]));
    }
    return m;
}

float MaxDifference(const TestWav& a, const TestWav& b)
{
    EXPECT_EQ(a.left.size(), b.left.size());
    float d = 0.0f;
    for (std::size_t i = 0; i < std::min(a.left.size(), b.left.size()); ++i)
    {
        d = std::max({d, std::fabs(a.left[i] - b.left[i]), std::fabs(a.right[i] - b.right[i])});
    }
    return d;
}

} // namespace

// A click in a mono 48 kHz file, rendered through the effect as it loads: the
// dry click comes through at once, taps A (left) and B (right) both hear the
// mono input and answer 500 ms later.
TEST(RenderTool, ClickThroughTheDefaultsEchoesAfter500ms)
{
    ScratchDir dir;
    const int rate = 48000;
    const std::size_t click = std::size_t(0.1 * rate);
    std::vector<float> mono(std::size_t(0.3 * rate), 0.0f);
    mono[click] = 0.5f;
    ASSERT_TRUE(WriteTestWav(dir.File("click.wav"), mono, 1, rate));

    const ToolRun r =
        Render({dir.File("click.wav"), dir.File("out.wav"), "--tail", "0.7", "--quiet"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "");

    TestWav out;
    ASSERT_TRUE(ReadTestWav(dir.File("out.wav"), out));
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, rate);
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(out.left.size(), std::size_t(1.0 * rate));

    for (const std::vector<float>* ch : {&out.left, &out.right})
    {
        // The dry click, at Dry 0.7.
        EXPECT_NEAR((*ch)[click], 0.5f * 0.7f, 1e-3);
        // Nothing else until the echo (no early echo while the delay settles).
        EXPECT_LT(MaxAbs(*ch, click + std::size_t(0.005 * rate), click + std::size_t(0.45 * rate)),
                  1e-4f);
        // The echo: 500 ms later, give or take the LFO's 2.5 ms sweep.
        const std::size_t echo = PeakIndex(*ch, click + std::size_t(0.3 * rate), ch->size());
        EXPECT_NEAR(double(echo - click) / rate, 0.5, 0.003);
        EXPECT_GT(std::fabs((*ch)[echo]), 0.01f);
    }
}

TEST(RenderTool, MistakesExitWith2AndLeaveNoFile)
{
    ScratchDir dir;
    std::vector<float> stereo(2000, 0.1f);
    ASSERT_TRUE(WriteTestWav(dir.File("in.wav"), stereo, 2, 44100));
    ASSERT_TRUE(WriteTestWav(dir.File("three.wav"), std::vector<float>(3000, 0.1f), 3, 44100));
    WriteBytes(dir.Path() / "text.wav", "not audio at all\n");
    fs::create_directory(dir.Path() / "folder.wav");
    const std::size_t before = ListNames(dir.Path()).size();

    const std::string in = dir.File("in.wav");
    const std::string out = dir.File("out.wav");
    struct Case
    {
        std::vector<std::string> args;
        std::string mentions;
    };
    std::vector<Case> cases = {
        {{dir.File("missing.wav"), out}, "missing.wav"},
        {{dir.File("text.wav"), out}, "text.wav"},
        {{dir.File("three.wav"), out}, "mono or stereo"},
        {{in, out, "--param", "Tme_A=3"}, "Tme_A"},
        {{in, out, "--param", "Time_A=0"}, "1 to 2000 ms"},
        {{in, out, "--param", "Mode_B=bmp"}, "bpm | msec"},
        {{in, out, "--setup", "nope"}, "nope"},
        {{in, out, "--preset", dir.File("in.wav")}, "header"},
        {{in, out, "--preset", dir.File("none.preset")}, "none.preset"},
        {{in, out, "--rate", "48000"}, "44100"},
        {{in, dir.File("no/such/folder/out.wav")}, "does not exist"},
        {{in, dir.File("folder.wav")}, "folder"},
        {{in, dir.File("in.wav/out.wav")}, "not a folder"},
        {{in, out, "--png", dir.File("no/such/folder/out.png")}, "does not exist"},
        {{in, out, "--block", "0"}, "--block"},
        {{in, out, "--tail", "nan"}, "--tail"},
        {{in, out, "--tempo", "0"}, "--tempo"},
        // A result in place of the input, or of the other result, in any
        // spelling.
        {{in, in}, "input file"},
        {{in, (dir.Path() / "." / "in.wav").string()}, "input file"},
        {{in, out, "--png", (dir.Path() / ".." / dir.Path().filename() / "in.wav").string()},
         "input file"},
        {{in, out, "--png", (dir.Path() / "." / "out.wav").string()}, "output file"},
    };
    const std::string inputBytes = ReadBytes(in);
    if (std::filesystem::is_directory("/proc/self"))
    {
        // A folder that exists but takes no new files: found before rendering,
        // and the other output is not written either.
        cases.push_back({{in, "/proc/out.wav"}, "/proc/out.wav"});
        cases.push_back({{in, out, "--png", "/proc/out.png"}, "/proc/out.png"});
    }
    for (const Case& c : cases)
    {
        const ToolRun r = Render(c.args);
        EXPECT_EQ(r.code, kExitUsage) << c.mentions;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos)
            << "\"" << r.err << "\" should mention " << c.mentions;
        EXPECT_EQ(ListNames(dir.Path()).size(), before) << c.mentions << ": a file was left behind";
    }
    EXPECT_EQ(ReadBytes(in), inputBytes);
}

// The host may hand the effect any block size and either sample format: the
// result must not depend on it.
TEST(RenderTool, BlockSizeAndPrecisionDoNotChangeTheResult)
{
    ScratchDir dir;
    std::vector<float> burst(2 * 22050, 0.0f);
    unsigned x = 1;
    for (std::size_t i = 0; i < 2 * 4410; ++i)
    {
        x = x * 1664525u + 1013904223u;
        burst[i] = float(int(x >> 9) - (1 << 22)) / float(1 << 23) * 0.5f;
    }
    ASSERT_TRUE(WriteTestWav(dir.File("in.wav"), burst, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const std::vector<std::string> common = {dir.File("in.wav"), "",        "--tail", "0.6", "-q",
                                             "--setup",          "pingpong"};
    const std::vector<std::vector<std::string>> variants = {
        {"--block", "512"}, {"--block", "37"}, {"--block", "4096"}, {"--block", "512", "--double"}};
    TestWav results[4];
    for (int v = 0; v < 4; ++v)
    {
        std::vector<std::string> args = common;
        args[1] = dir.File("out" + std::to_string(v) + ".wav");
        args.insert(args.end(), variants[std::size_t(v)].begin(), variants[std::size_t(v)].end());
        const ToolRun r = Render(args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        ASSERT_TRUE(ReadTestWav(args[1], results[v]));
    }
    EXPECT_GT(MaxAbs(results[0].left, 22050, 40000), 0.01f); // echoes are there
    for (int v = 1; v < 4; ++v)
    {
        EXPECT_LT(MaxDifference(results[0], results[v]), 1e-6f) << variants[std::size_t(v)][1];
    }
}

// Without --tail the tail lasts until the echoes are below -90 dBFS: nothing
// louder follows where the file ends.
TEST(RenderTool, ComputedTailEndsBelowMinus90dB)
{
    ScratchDir dir;
    std::vector<float> mono(4410, 0.0f);
    mono[441] = 0.9f;
    ASSERT_TRUE(
        WriteTestWav(dir.File("click.wav"), mono, 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const std::vector<std::string> setting = {"--param", "Fb_A=-6", "--param", "Fb_B=-6", "-q"};
    std::vector<std::string> args = {dir.File("click.wav"), dir.File("auto.wav")};
    args.insert(args.end(), setting.begin(), setting.end());
    ASSERT_EQ(Render(args).code, kExitOk);
    args[1] = dir.File("long.wav");
    args.insert(args.end(), {"--tail", "20"});
    ASSERT_EQ(Render(args).code, kExitOk);

    TestWav cut;
    TestWav full;
    ASSERT_TRUE(ReadTestWav(dir.File("auto.wav"), cut));
    ASSERT_TRUE(ReadTestWav(dir.File("long.wav"), full));
    const std::size_t n = cut.left.size();
    EXPECT_GT(n, std::size_t(44100 * 5)); // -6 dB repeats every 0.5 s: several seconds
    EXPECT_LT(n, full.left.size());
    const float minus90 = std::pow(10.0f, -90.0f / 20.0f);
    EXPECT_LT(MaxAbs(full.left, n, full.left.size()), minus90);
    EXPECT_LT(MaxAbs(full.right, n, full.right.size()), minus90);
    EXPECT_GT(std::max(MaxAbs(cut.left, n - 44100, n), MaxAbs(cut.right, n - 44100, n)), minus90);
}

TEST(RenderTool, DemoPhraseDryAndThroughAWetlessEffectAreTheSame)
{
    ScratchDir dir;
    ToolRun r = Render({dir.File("dry.wav"), "--dry", "--png", dir.File("dry.png")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("dry.wav"), std::string::npos);
    EXPECT_NE(r.out.find("dry.png"), std::string::npos);
    r = Render({dir.File("thru.wav"), "--param", "Wet=0", "--param", "Dry=1", "-q"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    TestWav dry;
    TestWav thru;
    ASSERT_TRUE(ReadTestWav(dir.File("dry.wav"), dry));
    ASSERT_TRUE(ReadTestWav(dir.File("thru.wav"), thru));
    EXPECT_EQ(dry.left.size(), std::size_t(8 * 44100)); // four bars at 120 BPM, no tail
    EXPECT_GT(MaxAbs(dry.left, 0, dry.left.size()), 0.5f);
    EXPECT_LT(MaxDifference(dry, thru), 1e-6f);
    EXPECT_EQ(ReadBytes(dir.Path() / "dry.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST(RenderTool, PresetThenParamOverrides)
{
    ScratchDir dir;
    {
        std::string error;
        auto host = EffectHost::Create(error);
        ASSERT_TRUE(host) << error;
        std::ostringstream warnings;
        ASSERT_TRUE(ApplyParam(*host, {"Time_A", "250"}, error, warnings));
        ASSERT_TRUE(ApplyParam(*host, {"Time_B", "750"}, error, warnings));
        WriteBytes(dir.Path() / "mine.preset",
                   FormatPresetText(dynamic_cast<PresetTarget&>(host->Plugin())));
    }
    const ToolRun r =
        Render({"--list-params", "--preset", dir.File("mine.preset"), "--param", "Time_B=300"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Time_A     250.0 ms"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Time_B     300.0 ms"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Time_C     500.0 ms"), std::string::npos) << r.out;

    // The effect loads the file itself, as its preset menu does, and keeps
    // the preset's name.
    std::string error;
    auto host = EffectHost::Create(error);
    ASSERT_TRUE(host) << error;
    RenderOptions options;
    options.presetPath = dir.File("mine.preset");
    std::ostringstream warnings;
    ASSERT_TRUE(ConfigureEffect(*host, options, 44100.0, error, warnings)) << error;
    auto* delay = dynamic_cast<Delay*>(&host->PluginVST());
    ASSERT_TRUE(delay);
    EXPECT_STREQ(delay->Presets().Name().Name(), "mine");
    EXPECT_STREQ(delay->Presets().Name().Path(), options.presetPath.c_str());
    EXPECT_NEAR(host->ValueByName("Time_A"), 250.0, 1e-3);
}

TEST(RenderTool, EditorPictureIsTheWholeEditorAndNoAudio)
{
    ScratchDir dir;
    const std::string png = dir.File("editor.png");
    EXPECT_EQ(Render({"--editor-png", png, "--param", "Time_A=250", "-q"}).code, 0);
    const std::string bytes = ReadBytes(png);
    ASSERT_GT(bytes.size(), 24u);
    // The PNG header's width and height, big-endian at bytes 16 and 20.
    auto word = [&](size_t at)
    {
        return (static_cast<unsigned char>(bytes[at]) << 24) |
               (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) |
               static_cast<unsigned char>(bytes[at + 3]);
    };
    EXPECT_EQ(word(16), 720);
    EXPECT_EQ(word(20), 650);
    EXPECT_EQ(ListNames(dir.Path()).size(), 1u);

    EXPECT_EQ(Render({"--editor-png", png, dir.File("out.wav")}).code, 2);
}
