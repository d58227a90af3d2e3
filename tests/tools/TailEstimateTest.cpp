#include "tools/render/TailEstimate.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

using namespace zelbor::render;

namespace
{

// The effect's defaults by name, as plain values.
std::map<std::string, double> Defaults()
{
    std::map<std::string, double> v = {{"Wet", 0.7},      {"Dry", 0.7},     {"Level", 1.0},
                                       {"FbScale", 1.0},  {"Scl_Dly", 1.0}, {"Scl_Fbk", 1.0},
                                       {"Scl_Rate", 1.0}, {"Scl_Dpth", 1.0}};
    const std::string letters = "ABCDEFGH";
    for (int t = 0; t < 8; ++t)
    {
        const std::string l(1, letters[std::size_t(t)]);
        v["In_" + l] = t == 0 ? 1 : t == 1 ? 2 : 0;
        v["Rx_" + l] = 8;
        v["Mode_" + l] = 1;
        v["Time_" + l] = 500;
        v["Bpm_" + l] = 9;
        v["Fb_" + l] = -3;
        v["Depth_" + l] = 2.5;
        v["Gain_" + l] = 0;
        v["Mains_" + l] = t < 2 ? 1 : 0;
    }
    return v;
}

EngineSettings From(const std::map<std::string, double>& values, double tempo = 120.0,
                    double rate = 44100.0)
{
    return SettingsFromParams([&](const std::string& n) { return values.at(n); }, tempo, rate);
}

// Seconds until a single line's echoes fall below -90 dB, counted the slow
// way: one echo after another.
double ReferenceDecay(double delayMs, double fbDb, double gainDb)
{
    const double loop = std::pow(10.0, (fbDb + gainDb) / 20.0);
    double level = std::pow(10.0, gainDb / 20.0);
    double t = delayMs / 1000.0;
    while (level * loop > std::pow(10.0, -90.0 / 20.0))
    {
        level *= loop;
        t += delayMs / 1000.0;
    }
    return t;
}

} // namespace

TEST(TailEstimate, DefaultsLastUntilTheEchoesFallBelowMinus90dB)
{
    const double tail = EstimateTailSeconds(From(Defaults()));
    const double reference = ReferenceDecay(502.5, -3.0, 0.0);
    EXPECT_GE(tail, reference);
    EXPECT_LE(tail, reference + 0.6); // within about one more echo
    EXPECT_NEAR(LongestHeardDelaySeconds(From(Defaults())), 0.5025, 1e-9);
}

TEST(TailEstimate, FeedbackAndGainShortenIt)
{
    auto v = Defaults();
    v["Fb_A"] = v["Fb_B"] = -12;
    const double shorter = EstimateTailSeconds(From(v));
    EXPECT_GE(shorter, ReferenceDecay(502.5, -12.0, 0.0));
    EXPECT_LT(shorter, EstimateTailSeconds(From(Defaults())) / 3.0);
    v["Gain_A"] = v["Gain_B"] = -20;
    EXPECT_LT(EstimateTailSeconds(From(v)), shorter);
}

TEST(TailEstimate, EndlessFeedbackIsCappedAndSilenceHasNoTail)
{
    auto v = Defaults();
    v["Fb_A"] = 0.0; // loop gain 1: never dies
    EXPECT_DOUBLE_EQ(EstimateTailSeconds(From(v)), 30.0);
    v["FbScale"] = 0.5; // now it does
    EXPECT_LT(EstimateTailSeconds(From(v)), 30.0);

    v = Defaults();
    v["Wet"] = 0.0;
    EXPECT_DOUBLE_EQ(EstimateTailSeconds(From(v)), 0.0);

    v = Defaults();
    v["In_A"] = v["In_B"] = 0; // no line hears anything
    EXPECT_DOUBLE_EQ(EstimateTailSeconds(From(v)), 0.0);
}

TEST(TailEstimate, OnlyHeardLinesCountAndChainsAddUp)
{
    auto v = Defaults();
    v["In_C"] = 3;
    v["Time_C"] = 1000;
    v["Fb_C"] = -10; // long, but off the mains and feeding nothing
    EXPECT_DOUBLE_EQ(EstimateTailSeconds(From(v)), EstimateTailSeconds(From(Defaults())));

    // C feeds B: B rings on after C's tail has ended.
    v["Rx_B"] = 2;
    const double chain = EstimateTailSeconds(From(v));
    EXPECT_GE(chain, ReferenceDecay(1002.5, -10.0, 0.0) + ReferenceDecay(502.5, -3.0, 0.0));
    EXPECT_LT(chain, 30.0);

    // A loop the effect would refuse must not hang the estimate.
    v["Rx_C"] = 1;
    EXPECT_LE(EstimateTailSeconds(From(v)), 30.0);
}

TEST(TailEstimate, DelayTimesFollowModeTempoScaleAndBuffer)
{
    auto v = Defaults();
    v["Mode_A"] = 0;
    v["Bpm_A"] = 15; // "1/8 d": three quarters of a beat
    v["Depth_A"] = 0;
    EXPECT_NEAR(From(v, 100.0).lines[0].delayMs, 450.0, 1e-9);
    EXPECT_NEAR(From(v, 120.0).lines[0].delayMs, 375.0, 1e-9);

    v["Mode_A"] = 1;
    v["Time_A"] = 2000;
    v["Scl_Dly"] = 4;
    // 90112 samples at 44.1 kHz hold 2043.4 ms; too long a time becomes 20 ms less.
    EXPECT_NEAR(From(v).lines[0].delayMs, 90112.0 / 44.1 - 20.0, 1e-9);
    v["Time_A"] = 1;
    v["Scl_Dly"] = 0.25;
    EXPECT_NEAR(From(v).lines[0].delayMs, 0.5, 1e-12);
}
