#include "VstTestSupport.h"
#include "framework/vst/EffectEntry.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace
{
IPlugVST* MakeTestEffect(audioMasterCallback hostCallback)
{
    return new TestEffect(hostCallback);
}

IPlugVST* MakeTestEffectWithoutPrograms(audioMasterCallback hostCallback)
{
    TestEffectOptions options;
    options.programs = 0;
    return new TestEffect(hostCallback, options);
}

IPlugVST* MakeNothing(audioMasterCallback)
{
    return nullptr;
}

void Close(AEffect* effect)
{
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(VstRecord, FieldsDescribeTheEffect)
{
    TestEffect plug(nullptr);
    const AEffect& e = *plug.GetAEffect();
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.object, &plug);
    EXPECT_EQ(e.flags, 0x1018); // replacing, double replacing, mono-capable
    EXPECT_EQ(e.numParams, TestEffect::kDeclared);
    EXPECT_EQ(e.numPrograms, 3);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.uniqueID, 0x74737446);
    EXPECT_EQ(e.version, 10203);
    EXPECT_FLOAT_EQ(e.ioRatio, 1.0f);
    EXPECT_TRUE(e.process && e.processReplacing && e.processDoubleReplacing);
    EXPECT_EQ(plug.BlockLength(), 1024);
    EXPECT_TRUE(plug.IsInChannelConnected(1) && plug.IsOutChannelConnected(1));
    EXPECT_EQ(plug.InputArrangement().type, kSpeakerArrStereo);

    plug.SetLatencySamples(64);
    EXPECT_EQ(e.initialDelay, 64);
    EXPECT_EQ(plug.Latency(), 64);
}

TEST(VstRecord, FlagsAndArrangementsFollowTheDeclaration)
{
    TestEffectOptions o;
    o.channels = "2-2";
    o.chunks = true;
    o.instrument = true;
    TestEffect stereoOnly(nullptr, o);
    EXPECT_EQ(stereoOnly.GetAEffect()->flags, 0x1010 | 0x20 | 0x100);
    EXPECT_EQ(Dispatch(stereoOnly, effGetPlugCategory), kPlugCategSynth);

    o = {};
    o.channels = "1-1";
    EXPECT_EQ(TestEffect(nullptr, o).OutputArrangement().type, kSpeakerArrMono);
    o.channels = "3-6";
    TestEffect wide(nullptr, o);
    EXPECT_EQ(wide.InputArrangement().type, kSpeakerArrUserDefined);
    EXPECT_EQ(wide.OutputArrangement().numChannels, 6);
    o.channels = "";
    EXPECT_EQ(TestEffect(nullptr, o).InputArrangement().type, kSpeakerArrEmpty);
}

TEST(VstRecord, AttachedEditorSetsFlagAndRectangle)
{
    TestEffect plug(nullptr);
    EventLog editorLog;
    auto* editor = new FakeEditor(editorLog, 720, 650);
    plug.AttachEditor(nullptr);
    EXPECT_EQ(plug.GetAEffect()->flags & effFlagsHasEditor, 0);
    plug.AttachEditor(editor);
    EXPECT_EQ(plug.GetAEffect()->flags, 0x1019);
    EXPECT_EQ(plug.EditRect().right, 720);
    EXPECT_EQ(plug.EditRect().bottom, 650);
    EXPECT_EQ(editorLog.size(), 5u); // every parameter pushed, normalised

    editor->mWidth = 800;
    editor->mHeight = 100000; // beyond what the rectangle holds
    plug.OnEditorResized(800, 100000);
    EXPECT_EQ(plug.EditRect().right, 800);
    EXPECT_EQ(plug.EditRect().bottom, INT16_MAX);
}

TEST(VstEntry, CreatesInstancesWithAtLeastOneProgram)
{
    EXPECT_EQ(CreateEffectInstance(nullptr, &MakeNothing), nullptr);
    EXPECT_EQ(CreateEffectInstance(nullptr, nullptr), nullptr);
    AEffect* effect = CreateEffectInstance(nullptr, &MakeTestEffectWithoutPrograms);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->numPrograms, 1);
    char name[64] = "x";
    EXPECT_EQ(effect->dispatcher(effect, effGetProgramNameIndexed, 0, 0, name, 0.0f), 1);
    EXPECT_STREQ(name, "Default");
    Close(effect);

    AEffect* results[2] = {};
    std::thread a([&] { results[0] = CreateEffectInstance(nullptr, &MakeTestEffect); });
    std::thread b([&] { results[1] = CreateEffectInstance(nullptr, &MakeTestEffect); });
    a.join();
    b.join();
    ASSERT_TRUE(results[0] && results[1]);
    EXPECT_NE(results[0], results[1]);
    EXPECT_EQ(results[0]->numPrograms, 3);
    Close(results[0]);
    Close(results[1]);
}

TEST(VstParameters, GetAndSetThroughTheRecord)
{
    TestEffect plug(nullptr);
    AEffect* e = plug.GetAEffect();
    EXPECT_FLOAT_EQ(e->getParameter(e, 0), 0.5f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 4), 0.25f); // appended parameters are reachable
    EXPECT_EQ(e->getParameter(e, -1), 0.0f);
    EXPECT_EQ(e->getParameter(e, 5), 0.0f);

    e->setParameter(e, 3, 1.0f);
    EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 2000.0);
    EXPECT_EQ(plug.log.back(), "changed 3");

    // Out-of-range indices and NaN change nothing; values outside 0..1 clamp.
    plug.log.clear();
    e->setParameter(e, 5, 0.5f);
    e->setParameter(e, -1, 0.5f);
    e->setParameter(e, 3, std::nanf(""));
    EXPECT_TRUE(plug.log.empty());
    EXPECT_DOUBLE_EQ(plug.GetParam(3)->Value(), 2000.0);
    e->setParameter(e, 0, 7.0f);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 10.0);
    e->setParameter(e, 0, -3.0f);
    EXPECT_DOUBLE_EQ(plug.GetParam(0)->Value(), 0.0);
}

TEST(VstParameters, HostChangeReachesEditorFirstAndHostIsNotCalledBack)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());
    plug.AttachEditor(new FakeEditor(plug.log, 10, 10));
    plug.log.clear();
    AEffect* e = plug.GetAEffect();
    e->setParameter(e, 2, 1.0f);
    ASSERT_EQ(plug.log.size(), 2u);
    EXPECT_EQ(plug.log[0].rfind("push 2 n 1.0", 0), 0u) << plug.log[0];
    EXPECT_EQ(plug.log[1], "changed 2");
    EXPECT_TRUE(host.calls.empty());
}

TEST(VstHostCalls, EditsAndAutomationReachTheHost)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());
    plug.BeginParameterEdit(3);
    plug.SetParameterFromGUI(3, 0.25);
    plug.EndParameterEdit(3);
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(host.calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(host.calls[1].index, 3);
    EXPECT_FLOAT_EQ(host.calls[1].opt, 0.25f);
    EXPECT_EQ(host.calls[2].opcode, audioMasterEndEdit);
    EXPECT_EQ(host.calls[2].index, 3);
}

// Index 4 is a parameter the host was never told about: it changes and its
// handler runs, but the host hears nothing of it.
TEST(VstHostCalls, UndeclaredParametersStayHiddenFromTheHost)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());
    plug.BeginParameterEdit(4);
    plug.SetParameterFromGUI(4, 0.75);
    plug.EndParameterEdit(4);
    plug.BeginParameterEdit(-1);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_DOUBLE_EQ(plug.GetParam(4)->Value(), 0.75);
    EXPECT_EQ(plug.log.back(), "changed 4");
}

TEST(VstHostCalls, MidiGoesOutAsOneEventPerCall)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());
    EXPECT_TRUE(plug.SendMidiMessage(MidiMessage(17, 0x90, 60, 127)));
    ASSERT_EQ(host.midiSent.size(), 1u);
    const VstMidiEvent& ev = host.midiSent[0];
    EXPECT_EQ(ev.byteSize, 32);
    EXPECT_EQ(ev.deltaFrames, 17);
    EXPECT_EQ(static_cast<unsigned char>(ev.midiData[0]), 0x90);
    EXPECT_EQ(ev.midiData[1], 60);
    EXPECT_EQ(ev.midiData[2], 127);
    EXPECT_EQ(ev.midiData[3], 0);

    EXPECT_TRUE(plug.SendMidiMessages(nullptr, 0));
    EXPECT_EQ(host.Count(audioMasterProcessEvents), 1);

    // Every message is sent; the answer is true only when each was accepted.
    const MidiMessage two[] = {MidiMessage(0, 0xB0, 1, 2), MidiMessage(1, 0xB0, 1, 3)};
    host.processEventsAnswer = 0;
    EXPECT_FALSE(plug.SendMidiMessages(two, 2));
    EXPECT_EQ(host.Count(audioMasterProcessEvents), 3);

    TestEffect unhosted(nullptr);
    EXPECT_FALSE(unhosted.SendMidiMessage(MidiMessage()));
}

TEST(VstTransport, QueriesReadTheHostTimeRecord)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());

    // No record: defaults.
    EXPECT_EQ(plug.HostSamplePosition(), 0);
    EXPECT_EQ(plug.HostTempo(), 0.0);
    EXPECT_TRUE(plug.HostTransportPlaying());
    double pos, tempo, ppq, bar, cs, ce;
    int num, den;
    bool playing = true, cycling = true;
    plug.HostTransport(pos, tempo, ppq, bar, num, den, cs, ce, playing, cycling);
    EXPECT_EQ(pos, -1.0);
    EXPECT_EQ(tempo, 120.0);
    EXPECT_EQ(num, 4);
    EXPECT_TRUE(playing && cycling); // left as they were

    host.hasTime = true;
    host.time.samplePos = 99.5;
    host.time.tempo = 140.0;
    EXPECT_EQ(plug.HostSamplePosition(), 100);
    EXPECT_EQ(plug.HostTempo(), 0.0); // tempo not flagged valid
    host.time.samplePos = -10.0;
    EXPECT_EQ(plug.HostSamplePosition(), 0);
    host.time.samplePos = 1e12;
    EXPECT_EQ(plug.HostSamplePosition(), INT_MAX);

    host.time.flags =
        kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid | kVstTransportCycleActive;
    host.time.samplePos = 480.0;
    host.time.ppqPos = 2.5;
    host.time.timeSigNumerator = 0;
    host.time.timeSigDenominator = 8;
    EXPECT_EQ(plug.HostTempo(), 140.0);
    plug.HostTimeSignature(num, den);
    EXPECT_EQ(num, 0); // a zero numerator is passed on here ...
    EXPECT_EQ(den, 8);
    plug.HostTransport(pos, tempo, ppq, bar, num, den, cs, ce, playing, cycling);
    EXPECT_EQ(num, 4); // ... but not by the full query
    EXPECT_EQ(pos, 480.0);
    EXPECT_EQ(ppq, 2.5);
    EXPECT_EQ(tempo, 140.0);
    EXPECT_EQ(bar, -1.0);
    EXPECT_FALSE(playing);
    EXPECT_TRUE(cycling);
    EXPECT_FALSE(plug.HostTransportPlaying());

    // Each query asks for its own fields.
    EXPECT_EQ(host.calls.back().value, 0x3E00);
    plug.HostTempo();
    EXPECT_EQ(host.calls.back().value, kVstTempoValid);
    plug.HostTimeSignature(num, den);
    EXPECT_EQ(host.calls.back().value, kVstTimeSigValid);

    // What a block needs comes from one question with both flags, and
    // answers as the three separate ones do.
    const size_t before = host.calls.size();
    HostBlockTime t = plug.HostTimeForBlock();
    ASSERT_EQ(host.calls.size(), before + 1);
    EXPECT_EQ(host.calls.back().value, kVstTempoValid | kVstTimeSigValid);
    EXPECT_EQ(t.tempo, 140.0);
    EXPECT_EQ(t.numerator, 0);
    EXPECT_EQ(t.denominator, 8);
    EXPECT_EQ(t.samplePosition, 480);
    host.hasTime = false;
    t = plug.HostTimeForBlock();
    EXPECT_EQ(t.tempo, 0.0);
    EXPECT_EQ(t.numerator + t.denominator + t.samplePosition, 0);
}

struct HostCase
{
    const char* product;
    int code;
};

TEST(VstHostIdentification, ProductNamesMapToCodes)
{
    const HostCase cases[] = {{"REAPER", 1},
                              {"Cubase Live Edition", 3},
                              {"Adobe Audition CS6", 17},
                              {"Some Digital Performer", 22},
                              {"Unknown Host", 0}};
    for (const HostCase& c : cases)
    {
        ScriptedHost host;
        host.product = c.product;
        host.vendorVersion = 4020;
        TestEffect plug(host.Callback());
        EXPECT_EQ(plug.IdentifyHost(), c.code) << c.product;
        EXPECT_EQ(plug.IdentifyHost(), c.code);
        EXPECT_EQ(plug.HostVersion(), 0x00002814);
        EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
        EXPECT_EQ(host.Count(audioMasterGetVendorVersion), 1);
    }

    ScriptedHost silent;
    TestEffect plug(silent.Callback());
    EXPECT_EQ(plug.IdentifyHost(), 0);
    EXPECT_EQ(plug.HostVersion(), 0);
    EXPECT_EQ(silent.Count(audioMasterGetVendorVersion), 0);
    EXPECT_EQ(TestEffect(nullptr).IdentifyHost(), 0);
}

TEST(VstHostIdentification, OpenAppliesChannelWorkaroundsOnce)
{
    {
        // A plug-in without channels gets a stereo pair on hosts that need one.
        ScriptedHost host;
        host.product = "Cakewalk Sonar";
        TestEffectOptions o;
        o.channels = "";
        TestEffect plug(host.Callback(), o);
        EXPECT_EQ(plug.GetAEffect()->numInputs, 0);
        Dispatch(plug, effOpen);
        EXPECT_EQ(plug.GetAEffect()->numInputs, 2);
        EXPECT_EQ(plug.GetAEffect()->numOutputs, 2);
        EXPECT_EQ(plug.OutputArrangement().numChannels, 2);
        EXPECT_TRUE(plug.IsInChannelConnected(1));
        Dispatch(plug, effOpen);
        EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
    }
    {
        // Beyond the first pair, inputs are disconnected and outputs connected.
        ScriptedHost host;
        host.product = "Orion";
        TestEffectOptions o;
        o.channels = "4-4";
        TestEffect plug(host.Callback(), o);
        Dispatch(plug, effSetSpeakerArrangement, 0, 0, nullptr); // nothing given
        Dispatch(plug, effOpen);
        EXPECT_TRUE(plug.IsInChannelConnected(1));
        EXPECT_FALSE(plug.IsInChannelConnected(2));
        EXPECT_TRUE(plug.IsOutChannelConnected(3));
        EXPECT_EQ(plug.GetAEffect()->numInputs, 4);
    }
    {
        // The effect's own layout is left alone on every host.
        ScriptedHost host;
        host.product = "Audition";
        TestEffect plug(host.Callback());
        Dispatch(plug, effOpen);
        EXPECT_EQ(plug.NInChannels(), 2);
        EXPECT_TRUE(plug.IsInChannelConnected(0) && plug.IsInChannelConnected(1));
        EXPECT_EQ(plug.GetAEffect()->numOutputs, 2);
    }
}

} // namespace
