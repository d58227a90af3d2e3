#include "ToolTestFiles.h"
#include "framework/vst/IPlugVST.h"
#include "tests/support/ScratchDir.h"
#include "tools/render/EffectHost.h"
#include "tools/render/RenderTool.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

using namespace zelbor::render;

// What the effect learns from the host's time record while the transport
// is stopped and while it plays.
TEST(HostServices, TransportTempoAndIdentity)
{
    std::string error;
    auto host = EffectHost::Create(error);
    ASSERT_TRUE(host) << error;
    // effOpen identified the host by its product string, once.
    EXPECT_EQ(host->Calls().productRequests, 1);
    EXPECT_EQ(host->Plugin().HostCode(), 0); // a name no table knows
    EXPECT_EQ(host->Plugin().HostVersion(), 0x00010000);

    host->SetTempo(90.0, 3, 4);
    host->Prepare(44100.0, 512);
    host->Resume();
    std::vector<float> silence(512, 0.0f);
    std::vector<float> out[2] = {std::vector<float>(512), std::vector<float>(512)};
    const float* in[2] = {silence.data(), silence.data()};
    float* outp[2] = {out[0].data(), out[1].data()};

    IPlugVST& plug = host->PluginVST();
    double pos = 0, tempo = 0, ppq = 0, bar = 0, cycleStart = 0, cycleEnd = 0;
    int num = 0, den = 0;
    bool playing = true, cycling = true;

    host->SetPlaying(false);
    host->Process(in, outp, 512);
    host->Process(in, outp, 512);
    plug.HostTransport(pos, tempo, ppq, bar, num, den, cycleStart, cycleEnd, playing, cycling);
    EXPECT_EQ(pos, 0.0); // a stopped transport stays put
    EXPECT_FALSE(playing);
    EXPECT_FALSE(cycling);

    host->SetPlaying(true);
    for (int i = 0; i < 300; ++i)
    {
        host->Process(in, outp, 512);
    }
    plug.HostTransport(pos, tempo, ppq, bar, num, den, cycleStart, cycleEnd, playing, cycling);
    EXPECT_EQ(pos, 300.0 * 512.0);
    EXPECT_EQ(plug.HostSamplePosition(), 300 * 512);
    EXPECT_TRUE(playing);
    EXPECT_TRUE(plug.HostTransportPlaying());
    EXPECT_DOUBLE_EQ(tempo, 90.0);
    EXPECT_DOUBLE_EQ(plug.HostTempo(), 90.0);
    EXPECT_EQ(num, 3);
    EXPECT_EQ(den, 4);
    const double quarters = 300.0 * 512.0 / 44100.0 * 1.5;
    EXPECT_NEAR(ppq, quarters, 1e-9);
    EXPECT_NEAR(bar, std::floor(quarters / 3.0) * 3.0, 1e-9); // bars of three quarters
    EXPECT_GT(host->Calls().timeRequests, 300);
}

// A tap locked to the tempo follows the tempo the host reports.
TEST(HostServices, TempoLockedEchoFollowsTheHostTempo)
{
    ScratchDir dir;
    std::vector<float> mono(4410, 0.0f);
    mono[0] = 0.8f;
    ASSERT_TRUE(
        WriteTestWav(dir.File("click.wav"), mono, 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    for (const char* tempo : {"100", "150"})
    {
        std::ostringstream out;
        std::ostringstream err;
        const int code =
            RunRenderTool({dir.File("click.wav"), dir.File("out.wav"), "--tempo", tempo,
                           "--timesig", "7/8", "--param", "Mode_A=bpm", "--param", "Bpm_A=1/8",
                           "--param", "Depth_A=0", "--param", "In_B=-", "--tail", "0.6", "-q"},
                          out, err);
        ASSERT_EQ(code, kExitOk) << err.str();
        TestWav wav;
        ASSERT_TRUE(ReadTestWav(dir.File("out.wav"), wav));
        std::size_t peak = 100;
        for (std::size_t i = 100; i < wav.left.size(); ++i)
        {
            if (std::fabs(wav.left[i]) > std::fabs(wav.left[peak]))
            {
                peak = i;
            }
        }
        // An eighth is half a beat whatever the time signature.
        const double expected = 30.0 / std::stod(tempo);
        EXPECT_NEAR(double(peak) / 44100.0, expected, 0.0005) << tempo << " BPM";
    }
}
