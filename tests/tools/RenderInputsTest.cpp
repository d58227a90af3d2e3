// What the renderer takes from files and where it writes: a rate read from a
// file is held to the range of --rate, a short file is read with a warning,
// only regular files are replaced, a link as output writes what it names.

#include "ToolTestFiles.h"
#include "tests/support/ScratchDir.h"
#include "tools/render/RenderTool.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace zelbor::render;

namespace
{

struct ToolRun
{
    int code = -1;
    std::string err;
};

ToolRun Render(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    ToolRun r;
    r.code = RunRenderTool(args, out, err);
    r.err = err.str();
    return r;
}

void Put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Put16(std::string& s, uint16_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

// A 16-bit mono WAV written by hand: its header names rate and frames, its
// data chunk holds what it holds.
std::string HandMadeWav(uint32_t rate, uint32_t claimedFrames, uint32_t heldFrames)
{
    std::string s = "RIFF";
    Put32(s, 36 + claimedFrames * 2);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1); // PCM
    Put16(s, 1); // mono
    Put32(s, rate);
    Put32(s, rate * 2);
    Put16(s, 2);
    Put16(s, 16);
    s += "data";
    Put32(s, claimedFrames * 2);
    for (uint32_t i = 0; i < heldFrames; ++i)
        Put16(s, static_cast<uint16_t>(i * 37));
    return s;
}

} // namespace

TEST(RenderInputs, FileRatesAreHeldToTheRangeOfRate)
{
    ScratchDir dir;
    for (const uint32_t rate : {2147483647u, 4000u})
    {
        WriteBytes(dir.Path() / "odd.wav", HandMadeWav(rate, 100, 100));
        const ToolRun r = Render({dir.File("odd.wav"), dir.File("out.wav"), "-q"});
        EXPECT_EQ(r.code, kExitUsage) << rate;
        EXPECT_NE(r.err.find("sample rate"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir.Path() / "out.wav"));
    }
}

TEST(RenderInputs, AShortFileIsRenderedWithAWarning)
{
    ScratchDir dir;
    WriteBytes(dir.Path() / "short.wav", HandMadeWav(44100, 100000, 1000));
    const ToolRun r = Render({dir.File("short.wav"), dir.File("out.wav"), "--tail", "0", "-q"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.err.find("shorter than its header says; rendering the 1000 frames"),
              std::string::npos)
        << r.err;
    TestWav out;
    ASSERT_TRUE(ReadTestWav(dir.File("out.wav"), out));
    EXPECT_EQ(out.left.size(), 1000u);
}

TEST(RenderInputs, PresetMustNameAFile)
{
    ScratchDir dir;
    WriteBytes(dir.Path() / "in.wav", HandMadeWav(44100, 100, 100));
    fs::create_directory(dir.Path() / "presets");
    ToolRun r = Render({dir.File("in.wav"), dir.File("out.wav"), "--preset", dir.File("presets")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("is a folder"), std::string::npos) << r.err;
    r = Render({dir.File("in.wav"), dir.File("out.wav"), "--preset", ""});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--preset"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.Path() / "out.wav"));
}

#ifndef _WIN32
TEST(RenderInputs, OnlyRegularFilesAreReplacedAndLinksWriteWhatTheyName)
{
    ScratchDir dir;
    WriteBytes(dir.Path() / "in.wav", HandMadeWav(44100, 100, 100));
    const std::string in = dir.File("in.wav");

    // A pipe in the output's place is left alone.
    const std::string pipe = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ToolRun r = Render({in, pipe, "--tail", "0", "-q"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_fifo(pipe));

    // A link, to an existing file and to one not there yet: both stay links
    // and the files they name get the render.
    fs::create_directory(dir.Path() / "real");
    WriteBytes(dir.Path() / "real" / "old.wav", "old");
    fs::create_symlink("real/old.wav", dir.Path() / "to-old.wav");
    fs::create_symlink(dir.Path() / "real" / "new.wav", dir.Path() / "to-new.wav");
    for (const char* name : {"old", "new"})
    {
        const fs::path link = dir.Path() / (std::string("to-") + name + ".wav");
        r = Render({in, Utf8(link), "--tail", "0", "-q"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_TRUE(fs::is_symlink(link)) << name;
        TestWav out;
        ASSERT_TRUE(ReadTestWav(Utf8(dir.Path() / "real" / (std::string(name) + ".wav")), out));
        EXPECT_EQ(out.left.size(), 100u);
    }
}
#endif
