// The tail after the input: measured on the output, against the longest echo
// path the effect itself reports.

#include "tools/render/RenderTool.h"
#include "tools/render/Renderer.h"
#include "tools/render/TailMeasure.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

using namespace zelbor::render;

namespace
{

constexpr double kRate = 44100.0;

// A host with the effect as it loads, then these settings, switched on.
std::unique_ptr<EffectHost> Configured(const std::vector<ParamAssignment>& params)
{
    std::string error;
    auto host = EffectHost::Create(error);
    EXPECT_TRUE(host) << error;
    if (!host)
    {
        return host;
    }
    RenderOptions options;
    options.params = params;
    std::ostringstream warnings;
    EXPECT_TRUE(ConfigureEffect(*host, options, kRate, error, warnings)) << error;
    host->Resume();
    return host;
}

// A short click, then the measured tail, at most capSeconds.
AudioBuffer ClickWithMeasuredTail(EffectHost& host, double capSeconds)
{
    AudioBuffer click;
    click.sampleRate = kRate;
    click.Resize(std::size_t(0.1 * kRate));
    click.left[100] = 0.9f;
    click.right[100] = 0.9f;
    RenderSettings settings;
    settings.tailSeconds = capSeconds;
    settings.measureTail = true;
    return RenderThroughEffect(host, click, settings);
}

// Index of the loudest sample of either channel from from on.
std::size_t Loudest(const AudioBuffer& a, std::size_t from)
{
    std::size_t best = from;
    float peak = 0.0f;
    for (std::size_t i = from; i < a.Frames(); ++i)
    {
        const float v = std::max(std::fabs(a.left[i]), std::fabs(a.right[i]));
        if (v > peak)
        {
            peak = v;
            best = i;
        }
    }
    return best;
}

} // namespace

TEST(TailWatch, EndsAfterTheQuietTimeOrAtTheCap)
{
    // 1000 frames per second: 0.1 s of quiet is 100 frames; the cap is 2000.
    const float minus90 = float(std::pow(10.0, -90.0 / 20.0));
    auto endsAt = [&](const std::vector<std::size_t>& loud, float level)
    {
        TailWatch watch(1000.0, 0.1, 2.0);
        for (std::size_t n = 0; n < 5000; ++n)
        {
            const float v = std::find(loud.begin(), loud.end(), n) != loud.end() ? level : 0.0f;
            watch.Feed(&v, &v, 1);
            if (watch.Ended())
            {
                return std::make_pair(watch.Frames(), watch.EndOfSound());
            }
        }
        return std::make_pair(std::size_t(0), std::size_t(0));
    };
    // Loud frame 50: quiet for more than 100 frames after frame 51.
    EXPECT_EQ(endsAt({50}, 0.5f), std::make_pair(std::size_t(152), std::size_t(51)));
    // A second sound within the quiet time starts it again.
    EXPECT_EQ(endsAt({50, 140}, 0.5f), std::make_pair(std::size_t(242), std::size_t(141)));
    // -90 dBFS itself is quiet, a little above is not.
    EXPECT_EQ(endsAt({50}, minus90).second, 0u);
    EXPECT_EQ(endsAt({50}, minus90 * 1.01f).second, 51u);
    // Sound that never stops meets the cap.
    std::vector<std::size_t> always(3000);
    for (std::size_t i = 0; i < always.size(); ++i)
    {
        always[i] = i;
    }
    EXPECT_EQ(endsAt(always, 0.5f).first, 2000u);
}

TEST(TailMeasure, TheEffectReportsItsLongestEchoPath)
{
    // Tap A's 500 ms with the LFO's 2.5 ms swing; tap B the same.
    auto host = Configured({});
    EXPECT_NEAR(LongestEchoSeconds(*host), 0.5025, 1e-4);
    // A line off the mains that feeds one on it: the two delays add up.
    host = Configured({{"In_C", "L"},
                       {"Time_C", "1000"},
                       {"Depth_C", "0"},
                       {"Rx_B", "C"},
                       {"Time_B", "900"},
                       {"Depth_B", "1"}});
    EXPECT_NEAR(LongestEchoSeconds(*host), 1.901, 1e-4);
    // Nothing runs: no path.
    host = Configured({{"In_A", "-"}, {"In_B", "-"}});
    EXPECT_EQ(LongestEchoSeconds(*host), 0.0);
}

TEST(TailMeasure, WaitsOutTheSilenceOfAChain)
{
    // C (1 s, off the mains) feeds B (0.9 s): after the click the output is
    // silent for 1.9 s before B's echo, which the tail must not cut off.
    auto host = Configured({{"In_A", "-"},
                            {"In_B", "-"},
                            {"In_C", "L"},
                            {"Time_C", "1000"},
                            {"Fb_C", "-25"},
                            {"Depth_C", "0"},
                            {"Rx_B", "C"},
                            {"Time_B", "900"},
                            {"Fb_B", "-25"},
                            {"Depth_B", "0"}});
    const AudioBuffer out = ClickWithMeasuredTail(*host, 30.0);
    const std::size_t echo = Loudest(out, 1000);
    EXPECT_NEAR(double(echo - 100) / kRate, 1.9, 0.005);
    EXPECT_GT(out.Seconds(), 1.9);
    EXPECT_LT(out.Seconds(), 10.0);
}

TEST(TailMeasure, EndlessFeedbackMeetsTheCapAndNoWetSignalHasNoTail)
{
    // A short loop past unity: it soon rings at its ceiling, without a break.
    auto host = Configured({{"Time_A", "20"}, {"Fb_A", "0"}, {"Scl_Fbk", "1.25"}});
    EXPECT_EQ(ClickWithMeasuredTail(*host, 2.0).Frames(), std::size_t(0.1 * kRate + 2.0 * kRate));

    host = Configured({{"Wet", "0"}});
    EXPECT_EQ(ClickWithMeasuredTail(*host, 30.0).Frames(), std::size_t(0.1 * kRate));
}
