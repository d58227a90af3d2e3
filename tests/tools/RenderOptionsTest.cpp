#include "tools/render/RenderOptions.h"

#include <gtest/gtest.h>

using zelbor::render::ParseArguments;
using zelbor::render::ParseResult;

namespace
{

ParseResult Parse(std::vector<std::string> args)
{
    return ParseArguments(args);
}

} // namespace

TEST(RenderOptions, FilesAndDefaults)
{
    ParseResult r = Parse({"out.wav"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.outputPath, "out.wav");
    EXPECT_TRUE(r.options.inputPath.empty());
    EXPECT_DOUBLE_EQ(r.options.tempo, 120.0);
    EXPECT_EQ(r.options.blockSize, 512);
    EXPECT_LT(r.options.tailSeconds, 0.0); // computed

    r = Parse({"in.wav", "out.wav", "--tempo", "96.5", "--block=128", "--tail", "2", "--double",
               "--timesig", "7/8", "-q"});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.inputPath, "in.wav");
    EXPECT_EQ(r.options.outputPath, "out.wav");
    EXPECT_DOUBLE_EQ(r.options.tempo, 96.5);
    EXPECT_EQ(r.options.blockSize, 128);
    EXPECT_DOUBLE_EQ(r.options.tailSeconds, 2.0);
    EXPECT_TRUE(r.options.useDouble);
    EXPECT_TRUE(r.options.quiet);
    EXPECT_EQ(r.options.timeSigNumerator, 7);
    EXPECT_EQ(r.options.timeSigDenominator, 8);
}

TEST(RenderOptions, ParamsKeepTheirTextAndOrder)
{
    const ParseResult r =
        Parse({"o.wav", "--param", "Time_A=375", "--param=Bpm_B=1/8 d", "--param", "Mode_B=bpm"});
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.options.params.size(), 3u);
    EXPECT_EQ(r.options.params[0].name, "Time_A");
    EXPECT_EQ(r.options.params[0].value, "375");
    EXPECT_EQ(r.options.params[1].name, "Bpm_B");
    EXPECT_EQ(r.options.params[1].value, "1/8 d");
    EXPECT_EQ(r.options.params[2].value, "bpm");
}

TEST(RenderOptions, ListingsAndBenchNeedNoOutput)
{
    EXPECT_TRUE(Parse({"--list-params"}).ok);
    EXPECT_TRUE(Parse({"--list-setups"}).ok);
    EXPECT_TRUE(Parse({"--bench"}).ok);
    EXPECT_TRUE(Parse({"-h"}).ok);
}

TEST(RenderOptions, MistakesAreNamed)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string mentions;
    };
    const Case cases[] = {
        {{}, "no output file"},
        {{"a.wav", "b.wav", "c.wav"}, "c.wav"},
        {{"o.wav", "--frobnicate"}, "--frobnicate"},
        {{"o.wav", "--tempo"}, "--tempo needs a value"},
        {{"o.wav", "--tempo", "fast"}, "not a number"},
        {{"o.wav", "--tempo", "1000"}, "20 to 999"},
        {{"o.wav", "--tempo", "120,5"}, "not a number"},
        {{"o.wav", "--block", "0"}, "--block"},
        {{"o.wav", "--block", "16385"}, "--block"},
        {{"o.wav", "--tail", "-1"}, "--tail"},
        {{"o.wav", "--rate", "100"}, "--rate"},
        {{"o.wav", "--timesig", "3/5"}, "--timesig"},
        {{"o.wav", "--timesig", "four"}, "--timesig"},
        {{"o.wav", "--param", "Time_A"}, "Name=value"},
        {{"o.wav", "--param", "=5"}, "Name=value"},
        {{"o.wav", "--bench"}, "--bench"},
        {{"o.wav", "--dry", "--param", "Wet=1"}, "--dry"},
        {{"o.wav", "--rate", "44100.5"}, "whole number"},
    };
    for (const Case& c : cases)
    {
        const ParseResult r = Parse(c.args);
        EXPECT_FALSE(r.ok) << c.mentions;
        EXPECT_NE(r.error.find(c.mentions), std::string::npos)
            << "error \"" << r.error << "\" should mention " << c.mentions;
    }
}

// Every option is explained in --help, the pre-roll with its reason.
TEST(RenderOptions, HelpNamesEveryOption)
{
    const std::string help = zelbor::render::UsageText();
    for (const char* option :
         {"--param", "--setup", "--preset", "--tempo", "--timesig", "--rate", "--block", "--tail",
          "--preroll", "--double", "--dry", "--png", "--stats", "--list-params", "--list-setups",
          "--bench", "--quiet", "--help"})
    {
        EXPECT_NE(help.find(option), std::string::npos) << option;
        EXPECT_EQ(Parse({"o.wav", option, "1"}).error.find("unknown option"), std::string::npos)
            << option;
    }
    EXPECT_NE(help.find("fades its output in"), std::string::npos);
}
