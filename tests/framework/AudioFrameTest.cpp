#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
// Host buffers: channel c holds base + 100 c + i at frame i.
template <typename T> struct HostBuffers
{
    std::vector<std::vector<T>> data;
    std::vector<T*> ptrs;
    HostBuffers(int channels, int frames, T base)
    {
        for (int c = 0; c < channels; ++c)
        {
            data.emplace_back(static_cast<size_t>(frames));
            for (int i = 0; i < frames; ++i)
                data.back()[static_cast<size_t>(i)] = base + T(100) * T(c) + T(i);
        }
        for (auto& ch : data)
            ptrs.push_back(ch.data());
    }
    T** get() { return ptrs.data(); }
};
using Buffers32 = HostBuffers<float>;
using Buffers64 = HostBuffers<double>;

// A plug-in as the binding leaves it: all channels connected, a block length set.
struct ConnectedPlug : TestPlug
{
    explicit ConnectedPlug(const char* io = "1-1 2-2", int blockLength = 16) : TestPlug(1, io, 1)
    {
        ConnectInputs(0, NInChannels(), true);
        ConnectOutputs(0, NOutChannels(), true);
        SetBlockLength(blockLength);
    }
};
} // namespace

TEST(ChannelConfig, PairsAndChannelCounts)
{
    TestPlug plug(0, "1-1 2-2");
    EXPECT_EQ(plug.NChannelPairs(), 2);
    EXPECT_EQ(plug.NInChannels(), 2);
    EXPECT_EQ(plug.NOutChannels(), 2);
    EXPECT_FALSE(plug.IsInChannelConnected(0)); // disconnected until the binding connects
    EXPECT_TRUE(plug.LegalIO(1, -1));
    EXPECT_TRUE(plug.LegalIO(2, 2));
    EXPECT_TRUE(plug.LegalIO(-1, 1));
    EXPECT_TRUE(plug.LegalIO(-1, -1));
    EXPECT_FALSE(plug.LegalIO(2, 1));
    EXPECT_FALSE(plug.LegalIO(3, -1));

    TestPlug single(0, "2-2");
    EXPECT_EQ(single.NChannelPairs(), 1);
    EXPECT_EQ(single.NInChannels(), 2);

    TestPlug empty(0, "");
    ASSERT_EQ(empty.NChannelPairs(), 1);
    EXPECT_EQ(empty.GetChannelPair(0)->inputs, 0);
    EXPECT_EQ(empty.GetChannelPair(0)->outputs, 0);
    EXPECT_EQ(empty.NInChannels(), 0);
    EXPECT_TRUE(empty.LegalIO(0, 0));

    TestPlug odd(0, "x 4 1-x 0-6 -3-2");
    ASSERT_EQ(odd.NChannelPairs(), 5);
    EXPECT_EQ(odd.GetChannelPair(0)->inputs, 0); // unreadable token counts as 0-0
    EXPECT_EQ(odd.GetChannelPair(1)->inputs, 4);
    EXPECT_EQ(odd.GetChannelPair(1)->outputs, 0);
    EXPECT_EQ(odd.GetChannelPair(2)->outputs, 0);
    EXPECT_EQ(odd.GetChannelPair(4)->inputs, -3);
    EXPECT_EQ(odd.NInChannels(), 4);
    EXPECT_EQ(odd.NOutChannels(), 6);
}

TEST(ChannelConfig, ConnectIgnoresIndicesOutsideAndWorkaroundsKeepStereo)
{
    TestPlug plug(0, "1-1 2-2");
    plug.ConnectInputs(1, 100, true);
    EXPECT_FALSE(plug.IsInChannelConnected(0));
    EXPECT_TRUE(plug.IsInChannelConnected(1));
    plug.ConnectOutputs(-5, 6, true);
    EXPECT_TRUE(plug.IsOutChannelConnected(0));
    EXPECT_FALSE(plug.IsOutChannelConnected(1));
    plug.ConnectInputs(0x7FFFFFF0, 0x7FFFFFF0, true); // no overflow
    plug.KeepFirstChannelPair();
    plug.EnsureStereoPair();
    EXPECT_EQ(plug.NInChannels(), 2);
    EXPECT_EQ(plug.NChannelPairs(), 2);

    TestPlug wide(0, "4-4");
    wide.ConnectInputs(0, 4, true);
    wide.KeepFirstChannelPair();
    EXPECT_TRUE(wide.IsInChannelConnected(1));
    EXPECT_FALSE(wide.IsInChannelConnected(2));
    EXPECT_TRUE(wide.IsOutChannelConnected(3));

    TestPlug none(0, "");
    none.SetBlockLength(8);
    none.EnsureStereoPair();
    EXPECT_EQ(none.NInChannels(), 2);
    EXPECT_TRUE(none.IsOutChannelConnected(1));
    EXPECT_TRUE(none.LegalIO(2, 2));
    Buffers32 in(2, 8, 1.0f), out(2, 8, 0.0f);
    none.RunBlock(in.get(), out.get(), 8);
    EXPECT_EQ(out.data[1][7], in.data[1][7]);
}

TEST(AudioFrame, Run32PassesThroughConnectedChannels)
{
    ConnectedPlug plug;
    Buffers32 in(2, 16, 0.5f), out(2, 16, -1.0f);
    plug.RunBlock(in.get(), out.get(), 16);
    EXPECT_EQ(out.data, in.data);
    EXPECT_EQ(plug.processCalls, 1);

    // Accumulating adds the block to what the host's buffer held.
    Buffers32 acc(2, 16, 1000.0f);
    plug.RunBlockAccumulating(in.get(), acc.get(), 16);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(acc.data[c][i], (1000.0f + 100.0f * c + i) + in.data[c][i]);
}

TEST(AudioFrame, DisconnectedChannels)
{
    ConnectedPlug plug;
    plug.ConnectInputs(1, 1, false);
    // One host input buffer feeds input 0 only; input 1 reads silence.
    Buffers32 in(1, 16, 3.0f), out(2, 16, -1.0f);
    plug.RunBlock(in.get(), out.get(), 16);
    EXPECT_EQ(out.data[0], in.data[0]);
    EXPECT_EQ(out.data[1], std::vector<float>(16, 0.0f));

    // A disconnected output takes no host buffer and leaves nothing behind.
    plug.ConnectOutputs(0, 1, false);
    Buffers32 in2(1, 16, 3.0f), out2(1, 16, -1.0f);
    plug.RunBlock(in2.get(), out2.get(), 16);
    EXPECT_EQ(out2.data[0], std::vector<float>(16, 0.0f)); // host buffer 0 is output 1

    // After having been connected, a disconnected input delivers zeros.
    ConnectedPlug plug2;
    Buffers32 a(2, 16, 7.0f), b(2, 16, 0.0f);
    plug2.RunBlock(a.get(), b.get(), 16);
    plug2.ConnectInputs(0, 2, false);
    plug2.RunBlock(static_cast<float**>(nullptr), b.get(), 16);
    EXPECT_EQ(b.data[0], std::vector<float>(16, 0.0f));
    EXPECT_EQ(b.data[1], std::vector<float>(16, 0.0f));
}

TEST(AudioFrame, Run64UsesHostBuffersAndHandlesDisconnection)
{
    ConnectedPlug plug;
    Buffers64 in(2, 16, 0.25), out(2, 16, -1.0);
    plug.RunBlock(in.get(), out.get(), 16);
    EXPECT_EQ(out.data, in.data);

    // In place: the same buffers for input and output.
    plug.RunBlock(in.get(), in.get(), 16);
    EXPECT_EQ(out.data, in.data);

    plug.ConnectInputs(0, 1, false);
    Buffers64 in1(1, 16, 5.0), out1(2, 16, -1.0);
    plug.RunBlock(in1.get(), out1.get(), 16);
    EXPECT_EQ(out1.data[0], std::vector<double>(16, 0.0));
    EXPECT_EQ(out1.data[1], in1.data[0]);
}

TEST(AudioFrame, BlockLengthChangesClearScratch)
{
    ConnectedPlug plug;
    plug.ConnectInputs(1, 1, false);
    plug.BindInputBuffers(static_cast<float**>(nullptr), 16);
    double* scratch = plug.InputData()[1];
    scratch[3] = 42.0;
    plug.SetBlockLength(16); // same length: kept
    EXPECT_EQ(plug.InputData()[1][3], 42.0);
    plug.SetBlockLength(32);
    EXPECT_EQ(plug.InputData()[1][3], 0.0);
    plug.SetBlockLength(-4);
    EXPECT_EQ(plug.BlockLength(), 0);
}

TEST(AudioFrame, LongBlocksRunAsSubBlocks)
{
    ConnectedPlug plug("1-1 2-2", 16);
    const int frames = 40;
    Buffers32 in(2, frames, 2.0f), out(2, frames, -1.0f);
    plug.RunBlock(in.get(), out.get(), frames);
    EXPECT_EQ(out.data, in.data);
    EXPECT_EQ(plug.blockSizes, (std::vector<int>{16, 16, 8}));

    Buffers32 acc(2, frames, 0.0f);
    plug.RunBlockAccumulating(in.get(), acc.get(), frames);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < frames; ++i)
            EXPECT_EQ(acc.data[c][i], (100.0f * c + i) + in.data[c][i]);

    Buffers64 in64(2, frames, 9.0), out64(2, frames, -1.0);
    plug.RunBlock(in64.get(), out64.get(), frames);
    EXPECT_EQ(out64.data, in64.data);

    // With a disconnected input the 64-bit path must not read past its scratch.
    plug.ConnectInputs(1, 1, false);
    Buffers64 one(1, frames, 9.0), out64b(2, frames, -1.0);
    plug.RunBlock(one.get(), out64b.get(), frames);
    EXPECT_EQ(out64b.data[1], std::vector<double>(frames, 0.0));
}

TEST(AudioFrame, DegenerateFrameCountsAndBlockLengths)
{
    ConnectedPlug plug;
    Buffers32 in(2, 16, 2.0f), out(2, 16, -1.0f);
    plug.RunBlock(in.get(), out.get(), 0);
    plug.RunBlock(in.get(), out.get(), -5);
    plug.RunBlockAccumulating(in.get(), out.get(), -5);
    EXPECT_EQ(plug.processCalls, 0);
    EXPECT_EQ(out.data[0][0], -1.0f);

    // No block length announced: replacing paths write silence, nothing crashes.
    ConnectedPlug unset("1-1 2-2", 0);
    Buffers32 in2(2, 64, 2.0f), out2(2, 64, -1.0f);
    unset.RunBlock(in2.get(), out2.get(), 64);
    EXPECT_EQ(out2.data[0], std::vector<float>(64, 0.0f));
    Buffers32 acc(2, 64, 5.0f);
    unset.RunBlockAccumulating(in2.get(), acc.get(), 64);
    EXPECT_EQ(acc.data[0][10], 15.0f);
    Buffers64 in64(2, 64, 1.0), out64(2, 64, -1.0);
    unset.RunBlock(in64.get(), out64.get(), 64);
    EXPECT_EQ(out64.data[1], std::vector<double>(64, 0.0));
    EXPECT_EQ(unset.processCalls, 0);

    // Null host buffers are treated as silence (inputs) or skipped (outputs).
    std::vector<float*> nulls{nullptr, nullptr};
    plug.RunBlock(nulls.data(), nulls.data(), 16);
    plug.RunBlock(static_cast<float**>(nullptr), static_cast<float**>(nullptr), 16);
    EXPECT_EQ(plug.processCalls, 2);
}
