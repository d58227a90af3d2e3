#include "plugin/DelayRouting.h"

#include "DelayTestUtil.h"
#include "framework/StateChunk.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ScriptedHost.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{

constexpr int A = 0, B = 1, C = 2, D = 3, E = 4;

struct Wiring
{
    RoutingInput in{};
    Wiring()
    {
        for (int i = 0; i < kNumTaps; ++i)
        {
            in.inputPort[i] = 0;
            in.sourceTap[i] = kNoTap;
            in.mains[i] = false;
        }
    }
    std::vector<int> Order() const
    {
        RoutingResult r;
        ComputeRouting(in, r);
        return std::vector<int>(r.order, r.order + r.orderCount);
    }
};

std::vector<int> Order(const Delay& d)
{
    std::vector<int> v;
    for (int k = 0; k < d.ProcessingOrderCount(); ++k)
    {
        v.push_back(d.ProcessingOrderLine(k));
    }
    return v;
}

} // namespace

TEST(DelayRouting, OrderFollowsLevelsStably)
{
    Wiring s;
    EXPECT_TRUE(s.Order().empty()); // nothing fed, nothing on the mains

    // E <- D <- C(input, not on the mains) ; A input on the mains; B <- E.
    s.in.inputPort[C] = 1;
    s.in.sourceTap[D] = C;
    s.in.sourceTap[E] = D;
    s.in.sourceTap[B] = E;
    s.in.inputPort[A] = 2;
    s.in.mains[A] = true;
    s.in.mains[B] = true;
    EXPECT_EQ(s.Order(), (std::vector<int>{A, C, D, E, B}));

    RoutingResult r;
    ComputeRouting(s.in, r);
    EXPECT_EQ(r.lineLevel[B], 3);
    EXPECT_EQ(r.lineOutputDistance[C], 7);
    EXPECT_EQ(r.lineOutputDistance[B], 1);
    EXPECT_TRUE(r.tapActive[C]);
    EXPECT_FALSE(r.tapActive[5]);
    ASSERT_EQ(r.tapFedCount[C], 1);
    EXPECT_EQ(r.tapFedLines[C][0], D);

    // Taking B off the mains: the whole chain reaches nothing and drops out.
    s.in.mains[B] = false;
    EXPECT_EQ(s.Order(), (std::vector<int>{A}));

    // A line with a port and a source sits at level 0 and keeps letter order
    // among its level.
    s.in.mains[B] = true;
    s.in.inputPort[B] = 1;
    EXPECT_EQ(s.Order(), (std::vector<int>{A, B, C, D, E}));
}

TEST(DelayRouting, LoopsNeverRunAndTerminate)
{
    Wiring s;
    s.in.sourceTap[A] = B;
    s.in.sourceTap[B] = A;
    s.in.mains[A] = s.in.mains[B] = true;
    RoutingResult r;
    ComputeRouting(s.in, r);
    EXPECT_LT(r.lineLevel[A], 0);
    EXPECT_LT(r.lineLevel[B], 0);
    EXPECT_EQ(r.orderCount, 0);

    s.in.sourceTap[C] = C;
    s.in.mains[C] = true;
    ComputeRouting(s.in, r);
    EXPECT_LT(r.lineLevel[C], 0);
}

TEST(DelayRouting, SourceRules)
{
    int src[kNumTaps];
    for (int& v : src)
    {
        v = kNoTap;
    }
    EXPECT_FALSE(SourceChangeAllowed(src, A, A)); // its own tap
    EXPECT_TRUE(SourceChangeAllowed(src, A, B));
    EXPECT_TRUE(SourceChangeAllowed(src, A, kNoTap));

    src[B] = A; // A -> B -> C
    src[C] = B;
    EXPECT_FALSE(SourceChangeAllowed(src, A, C)); // C is downstream of A
    EXPECT_FALSE(SourceChangeAllowed(src, A, B));
    EXPECT_FALSE(SourceChangeAllowed(src, C, A)); // A is further upstream
    EXPECT_FALSE(SourceChangeAllowed(src, C, B)); // the current source again
    EXPECT_TRUE(SourceChangeAllowed(src, C, D));
    EXPECT_TRUE(SourceChangeAllowed(src, C, kNoTap));
    EXPECT_TRUE(SourceChangeAllowed(src, D, C));
    EXPECT_TRUE(SourceClosesLoop(src, B, C));
    EXPECT_FALSE(SourceClosesLoop(src, C, A));
}

TEST(DelayRouting, DefaultsAndParameterChanges)
{
    Delay d(nullptr);
    EXPECT_EQ(Order(d), (std::vector<int>{A, B}));
    EXPECT_TRUE(d.Tap(A).active);
    EXPECT_FALSE(d.Tap(C).active);
    EXPECT_EQ(d.Line(A).inputPort, 1);
    EXPECT_EQ(d.Line(B).inputPort, 2);

    // A -> B -> C chain set through the parameters.
    SetParam(d, kBaseRx + B, A);
    SetParam(d, kBaseIn + B, 0);
    SetParam(d, kBaseRx + C, B);
    SetParam(d, kBaseMains + C, 1);
    EXPECT_EQ(Order(d), (std::vector<int>{A, B, C}));
    EXPECT_EQ(d.Line(C).sourceTapRef, &d.Tap(B));

    // A loop is refused: the engine stays as it was while the parameter
    // shows the request. A tap further up the chain closes no loop.
    SetParam(d, kBaseRx + A, A);
    EXPECT_EQ(d.Line(A).sourceTap, kNoTap);
    EXPECT_STREQ(d.ReadoutText(), "A");
    SetParam(d, kBaseRx + C, A);
    EXPECT_EQ(d.Line(C).sourceTap, A);
    SetParam(d, kBaseRx + A, C);
    EXPECT_EQ(d.Line(A).sourceTap, kNoTap);
    EXPECT_EQ(d.GetParam(kBaseRx + A)->Value(), C);

    // Mains off on a tap that feeds nothing removes its line; on puts it back.
    SetParam(d, kBaseMains + C, 0);
    EXPECT_EQ(Order(d), (std::vector<int>{A, B}));
    SetParam(d, kBaseMains + C, 1);
    EXPECT_EQ(Order(d), (std::vector<int>{A, B, C}));
}

TEST(DelayRouting, StoppedLineFallsSilentForItsListeners)
{
    Delay d(nullptr);
    NoModulation(d);
    // C hears the left input and A; then A loses its input and stops running
    // while C goes on.
    SetParam(d, kBaseIn + C, 1);
    SetParam(d, kBaseRx + C, A);
    SetParam(d, kBaseMains + C, 1);
    SetParam(d, kBaseTime + A, 5.0);
    Stereo in(8192);
    in.l = Tone(in.size(), 440.0);
    Process(d, in);
    EXPECT_GT(std::fabs(d.TapOutput(A)), 1e-3);
    SetParam(d, kBaseIn + A, 0);
    EXPECT_EQ(Order(d), (std::vector<int>{B, C}));
    EXPECT_EQ(d.TapOutput(A), 0.0);
}

namespace
{

// head -> mid -> tail through the Rx parameters, one change at a time; only
// head hears an input port and all three are on the mains.
void BuildChain(Delay& d, int head, int mid, int tail)
{
    for (int t : {A, B, C})
    {
        SetParam(d, kBaseRx + t, kNoTap);
        SetParam(d, kBaseIn + t, t == head ? 1 : 0);
        SetParam(d, kBaseMains + t, 1);
    }
    SetParam(d, kBaseRx + mid, head);
    SetParam(d, kBaseRx + tail, mid);
}

void ExpectChain(const Delay& d, int head, int mid, int tail, const char* how)
{
    EXPECT_EQ(d.Line(head).sourceTap, kNoTap) << how;
    EXPECT_EQ(d.Line(mid).sourceTap, head) << how;
    EXPECT_EQ(d.Line(tail).sourceTap, mid) << how;
    EXPECT_EQ(Order(d), (std::vector<int>{head, mid, tail})) << how;
}

} // namespace

TEST(DelayRouting, EveryBulkLoadPutsTheLoadedRoutingInForce)
{
    // The loaded state is the reverse of the chain in force: checked one
    // change at a time in index order, Rx_A = B and Rx_B = C would both be
    // refused as loops over A -> B -> C.
    Delay y(nullptr);
    BuildChain(y, C, B, A);
    ExpectChain(y, C, B, A, "built");

    {
        StateChunk state;
        ASSERT_TRUE(y.WriteParamsToChunk(state));
        Delay d(nullptr);
        BuildChain(d, A, B, C);
        EXPECT_GT(d.UnserializeParams(state, 0), 0);
        ExpectChain(d, C, B, A, "parameter values");
    }
    for (VstInt32 bank : {0, 1})
    {
        void* data = nullptr;
        const VstIntPtr size = Dispatch(y, effGetChunk, bank ? 0 : 1, 0, &data);
        ASSERT_GT(size, 0);
        const std::vector<char> bytes(static_cast<char*>(data), static_cast<char*>(data) + size);
        Delay d(nullptr);
        BuildChain(d, A, B, C);
        EXPECT_EQ(Dispatch(d, effSetChunk, bank ? 0 : 1, size, const_cast<char*>(bytes.data())), 1);
        ExpectChain(d, C, B, A, bank ? "bank chunk" : "program chunk");
    }
    {
        Delay d(nullptr);
        BuildChain(d, C, B, A);
        Dispatch(d, effSetProgram, 0, 1); // program 1 starts from the current values
        BuildChain(d, A, B, C);
        Dispatch(d, effSetProgram, 0, 0);
        ExpectChain(d, C, B, A, "program 0");
        Dispatch(d, effSetProgram, 0, 1);
        ExpectChain(d, A, B, C, "program 1");
    }
    {
        // A host restoring its parameters one at a time, in index order, as
        // it does for a program or project without a chunk.
        Delay d(nullptr);
        BuildChain(d, A, B, C);
        AEffect* from = y.GetAEffect();
        AEffect* to = d.GetAEffect();
        for (int i = 0; i < kNumHostParams; ++i)
        {
            to->setParameter(to, i, from->getParameter(from, i));
        }
        ExpectChain(d, C, B, A, "one at a time");
    }
    {
        // Values stored without their handlers, as a host may before opening.
        Delay d(nullptr);
        BuildChain(d, A, B, C);
        for (int i = 0; i < kNumHostParams; ++i)
        {
            d.GetParam(i)->SetValue(y.GetParam(i)->Value());
        }
        Dispatch(d, effOpen);
        ExpectChain(d, C, B, A, "open");
    }
    {
        ScratchDir dir;
        const std::string path = dir.File("routing.preset");
        y.SavePresetFile(path.c_str());
        Delay d(nullptr);
        BuildChain(d, A, B, C);
        d.LoadPresetFile(path.c_str());
        ExpectChain(d, C, B, A, "preset file");
    }
}
