#include "DelayTestUtil.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ScriptedHost.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <string>
#include <thread>

// Counts every allocation of the test program while counting is switched on.
namespace
{
std::atomic<bool> gCounting{false};
std::atomic<int> gAllocations{0};

void* CountedAlloc(std::size_t size)
{
    if (gCounting.load(std::memory_order_relaxed))
    {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size ? size : 1))
    {
        return p;
    }
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return CountedAlloc(size);
}
void* operator new[](std::size_t size)
{
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

TEST(DelayRealtime, ProcessingAllocatesNothing)
{
    Delay d(nullptr);
    // Every tap running, with modulation of every shape, feedback and a chain.
    for (int t = 0; t < kNumTaps; ++t)
    {
        SetParam(d, kBaseIn + t, 1 + t % 5);
        SetParam(d, kBaseMains + t, 1);
        SetParam(d, kBaseShape + t, t % 5);
        SetParam(d, kBaseTime + t, 10.0 + 37.0 * t);
    }
    SetParam(d, kBaseRx + 3, 1);
    SetParam(d, kBaseMode + 4, 0);
    Stereo in(4096);
    in.l = Tone(in.size(), 300.0);
    in.r = Tone(in.size(), 500.0);
    Stereo out(in.size());
    double* ins[2] = {in.l.data(), in.r.data()};
    double* outs[2] = {out.l.data(), out.r.data()};

    // The counter sees allocations at all.
    gAllocations = 0;
    gCounting = true;
    int* volatile probe = new int(1);
    delete probe;
    gCounting = false;
    ASSERT_EQ(gAllocations.load(), 1);

    gAllocations = 0;
    gCounting = true;
    for (int k = 0; k < 50; ++k)
    {
        d.ProcessBlock(ins, outs, static_cast<int>(in.size()));
        d.ProcessBlock(ins, outs, 17);
        d.ProcessBlock(ins, outs, 0);
    }
    gCounting = false;
    EXPECT_EQ(gAllocations.load(), 0);
    EXPECT_GT(d.MeterValue(0), 0.0f);
}

TEST(DelayRealtime, MidiFilter)
{
    ScriptedHost host;
    Delay d(host.Callback());
    d.HandleMidiMessage(MidiMessage(0, 0x90, 60, 100)); // note on: swallowed
    d.HandleMidiMessage(MidiMessage(0, 0x80, 60, 0));   // note off: swallowed
    d.HandleMidiMessage(MidiMessage(0, 0xB0, 7, 100));  // unassigned controller
    EXPECT_EQ(host.Count(audioMasterProcessEvents), 0);
    EXPECT_EQ(d.GetParam(kParamLevel)->Value(), 1.0);
    d.HandleMidiMessage(MidiMessage(0, 0xC0, 5, 0)); // program change: through
    EXPECT_EQ(host.Count(audioMasterProcessEvents), 1);
    ASSERT_EQ(host.midiSent.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(host.midiSent[0].midiData[0]), 0xC0);
    EXPECT_EQ(host.midiSent[0].midiData[1], 5);
}

TEST(DelayRealtime, PresetLoadWhileProcessing)
{
    // The audio thread keeps processing while another thread loads a preset
    // (whose readout, fade-in and values all touch what processing uses).
    Delay d(nullptr);
    ScratchDir dir;
    const std::string path = dir.File("realtime.preset");
    d.SavePresetFile(path.c_str());
    std::atomic<bool> done{false};
    std::thread loader(
        [&]
        {
            for (int k = 0; k < 20; ++k)
            {
                d.LoadPresetFile(path.c_str());
            }
            done = true;
        });
    Stereo in(256);
    in.l = Tone(in.size(), 300.0);
    Stereo out(in.size());
    double* ins[2] = {in.l.data(), in.r.data()};
    double* outs[2] = {out.l.data(), out.r.data()};
    bool finite = true;
    while (!done)
    {
        PlugLockGuard guard(d.Lock()); // as the host's process callback holds it
        d.ProcessBlock(ins, outs, static_cast<int>(in.size()));
        finite = finite && std::isfinite(out.l[255]) && std::isfinite(out.r[255]);
    }
    loader.join();
    EXPECT_TRUE(finite);
}
