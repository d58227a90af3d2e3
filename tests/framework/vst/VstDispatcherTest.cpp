#include "VstTestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
std::vector<double> Values(IPlugBase& plug)
{
    std::vector<double> v;
    for (int i = 0; i < plug.NParams(); ++i)
        v.push_back(plug.GetParam(i)->Value());
    return v;
}

std::vector<unsigned char> GetChunk(IPlugVST& plug, int index)
{
    void* data = nullptr;
    const VstIntPtr size = Dispatch(plug, effGetChunk, index, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr SetChunk(IPlugVST& plug, int index, std::vector<unsigned char> bytes)
{
    return Dispatch(plug, effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.data());
}

std::vector<unsigned char> RawValues(std::initializer_list<double> values)
{
    std::vector<unsigned char> out(values.size() * 8);
    std::size_t i = 0;
    for (double v : values)
        std::memcpy(out.data() + 8 * i++, &v, 8);
    return out;
}

TEST(VstDispatcher, NullObjectAndIdleAnswerZero)
{
    AEffect empty{};
    TestEffect plug(nullptr);
    EXPECT_EQ(IPlugVST::VSTDispatcher(&empty, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(IPlugVST::VSTDispatcher(nullptr, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(Dispatch(plug, effEditIdle), 0);
    EXPECT_EQ(Dispatch(plug, effIdle), 0);
    EXPECT_EQ(Dispatch(plug, effIdentify), 0x4E764566);
    EXPECT_EQ(Dispatch(plug, effGetVstVersion), 2400);
    EXPECT_EQ(Dispatch(plug, effCanBeAutomated, 99), 1);
    EXPECT_EQ(Dispatch(plug, effGetPlugCategory), kPlugCategEffect);
    for (VstInt32 op : std::initializer_list<VstInt32>{
             effGetVu, effString2Parameter, effSetBypass, effGetVendorVersion, effGetTailSize,
             effStartProcess, effStopProcess, effSetProcessPrecision, effProcessVarIo, 70, 1000,
             -5})
        EXPECT_EQ(Dispatch(plug, op, 1, 1), 0) << op;
}

TEST(VstDispatcher, CloseDestroysThePlugin)
{
    bool destroyed = false;
    auto* plug = new TestEffect(nullptr, {}, &destroyed);
    EXPECT_EQ(Dispatch(*plug, effClose), 0);
    EXPECT_TRUE(destroyed);
}

TEST(VstDispatcher, OpenNotifiesEveryParameter)
{
    TestEffect plug(nullptr);
    Dispatch(plug, effOpen);
    EXPECT_EQ(plug.log,
              (EventLog{"changed 0", "changed 1", "changed 2", "changed 3", "changed 4"}));
}

TEST(VstDispatcher, EngineSettings)
{
    TestEffect plug(nullptr);
    Dispatch(plug, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(plug.SampleRate(), 48000.0);
    Dispatch(plug, effSetBlockSize, 0, 256);
    EXPECT_EQ(plug.BlockLength(), 256);
    Dispatch(plug, effMainsChanged, 0, 1);
    Dispatch(plug, effMainsChanged, 0, 0);
    EXPECT_EQ(plug.log, (EventLog{"reset", "reset", "mains on", "mains off", "reset"}));

    // An absurd block size is bounded; longer host blocks run in pieces.
    Dispatch(plug, effSetBlockSize, 0, static_cast<VstIntPtr>(1) << 30);
    EXPECT_EQ(plug.BlockLength(), 1 << 20);
    Dispatch(plug, effSetBlockSize, 0, -5);
    EXPECT_EQ(plug.BlockLength(), 0);
}

TEST(VstDispatcher, ParameterTexts)
{
    TestEffect plug(nullptr);
    char text[64];
    std::strcpy(text, "untouched");
    EXPECT_EQ(Dispatch(plug, effGetParamName, 3, 0, text), 0);
    EXPECT_STREQ(text, "Time");
    Dispatch(plug, effGetParamLabel, 3, 0, text);
    EXPECT_STREQ(text, "ms");
    Dispatch(plug, effGetParamDisplay, 0, 0, text);
    EXPECT_STREQ(text, "5.0");
    Dispatch(plug, effGetParamDisplay, 2, 0, text);
    EXPECT_STREQ(text, "medium");

    std::strcpy(text, "untouched");
    for (VstInt32 op :
         std::initializer_list<VstInt32>{effGetParamName, effGetParamLabel, effGetParamDisplay})
    {
        EXPECT_EQ(Dispatch(plug, op, 5, 0, text), 0);
        EXPECT_EQ(Dispatch(plug, op, -1, 0, text), 0);
        EXPECT_EQ(Dispatch(plug, op, 0, 0, nullptr), 0);
    }
    EXPECT_STREQ(text, "untouched");

    // Display text for a normalised value, asked through the vendor call.
    EXPECT_EQ(Dispatch(plug, effVendorSpecific, 7, 3, text, 1.0f), 0xBEEF);
    EXPECT_STREQ(text, "2000");
    std::strcpy(text, "untouched");
    EXPECT_EQ(Dispatch(plug, effVendorSpecific, 7, plug.NParams(), text, 0.5f), 0xBEEF);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(Dispatch(plug, effVendorSpecific, 6, 3, text, 0.5f), 0);
    EXPECT_EQ(Dispatch(plug, effVendorSpecific, 7, 3, nullptr, 0.5f), 0);
}

TEST(VstDispatcher, IdentityStrings)
{
    TestEffect plug(nullptr);
    char text[256];
    EXPECT_EQ(Dispatch(plug, effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "TestFx");
    EXPECT_EQ(Dispatch(plug, effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Testers");
    std::strcpy(text, "x");
    EXPECT_EQ(Dispatch(plug, effGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "");
    for (VstInt32 op :
         std::initializer_list<VstInt32>{effGetEffectName, effGetVendorString, effGetProductString})
        EXPECT_EQ(Dispatch(plug, op, 0, 0, nullptr), 0);
}

TEST(VstDispatcher, ProgramsSelectStoreAndName)
{
    TestEffect plug(nullptr);
    AEffect* e = plug.GetAEffect();
    e->setParameter(e, 0, 1.0f); // Gain 10 in program 0
    Dispatch(plug, effSetProgram, 0, 2);
    EXPECT_EQ(Dispatch(plug, effGetProgram), 2);
    char name[300];
    Dispatch(plug, effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "user preset 1");
    e->setParameter(e, 0, 0.0f);
    Dispatch(plug, effSetProgram, 0, 0);
    EXPECT_EQ(plug.GetParam(0)->Value(), 10.0);
    Dispatch(plug, effSetProgram, 0, 2);
    EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);

    EXPECT_EQ(Dispatch(plug, effGetProgramNameIndexed, 1, 0, name), 1);
    EXPECT_STREQ(name, "- 2 -");
    EXPECT_EQ(Dispatch(plug, effGetProgramNameIndexed, 3, 0, name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(Dispatch(plug, effGetProgramNameIndexed, 0, 0, nullptr), 0);

    // Renaming stores the current values too. A long name reaches the
    // program whole but the host's buffer receives a bounded copy.
    e->setParameter(e, 3, 1.0f);
    const std::string longName(200, 'n');
    Dispatch(plug, effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
    EXPECT_EQ(std::string(plug.GetProgramName(2)), longName);
    std::memset(name, 'z', sizeof(name));
    Dispatch(plug, effGetProgramName, 0, 0, name);
    EXPECT_EQ(std::strlen(name), 23u); // fits the nominal 24 bytes
    EXPECT_EQ(name[24], 'z');
    Dispatch(plug, effSetProgram, 0, 0);
    Dispatch(plug, effSetProgram, 0, 2);
    EXPECT_EQ(plug.GetParam(3)->Value(), 2000.0);

    // A selection that does not exist still stores the program being left.
    e->setParameter(e, 3, 0.0f);
    Dispatch(plug, effSetProgram, 0, 99);
    EXPECT_EQ(Dispatch(plug, effGetProgram), 2);
    Dispatch(plug, effSetProgram, 0, 0);
    Dispatch(plug, effSetProgram, 0, 2);
    EXPECT_EQ(plug.GetParam(3)->Value(), 1.0);
}

TEST(VstDispatcher, ChunkRoundTrip)
{
    TestEffect plug(nullptr);
    const std::vector<unsigned char> bank = GetChunk(plug, 0);
    ASSERT_EQ(bank.size(), 8u + 8u * TestEffect::kDeclared);
    EXPECT_EQ(std::memcmp(bank.data(), "tffp\0\0\1\0", 8), 0);
    double first;
    std::memcpy(&first, bank.data() + 8, 8);
    EXPECT_EQ(first, 5.0);
    const std::vector<double> saved = Values(plug);

    AEffect* e = plug.GetAEffect();
    for (int i = 0; i < plug.NParams(); ++i)
        e->setParameter(e, i, 1.0f);
    EXPECT_EQ(SetChunk(plug, 0, bank), 1);
    std::vector<double> expected = saved;
    expected[4] = 1.0; // the appended parameter is not part of the state
    EXPECT_EQ(Values(plug), expected);

    // Handing back the buffer effGetChunk returned is fine, and so is using
    // it again after a load (an undo, a second instance).
    void* data = nullptr;
    const VstIntPtr size = Dispatch(plug, effGetChunk, 1, 0, &data);
    const std::vector<unsigned char> copy(static_cast<unsigned char*>(data),
                                          static_cast<unsigned char*>(data) + size);
    EXPECT_EQ(Dispatch(plug, effSetChunk, 1, size, data), 1);
    EXPECT_EQ(SetChunk(plug, 1, copy), 1);
    EXPECT_EQ(std::memcmp(data, copy.data(), copy.size()), 0);
    EXPECT_EQ(Dispatch(plug, effSetChunk, 1, size, data), 1);
    EXPECT_EQ(Values(plug), expected);
    EXPECT_EQ(Dispatch(plug, effGetChunk, 0, 0, nullptr), 0);
}

TEST(VstDispatcher, ChunkFailuresAndHeaderlessData)
{
    TestEffect plug(nullptr);
    plug.AttachEditor(new FakeEditor(plug.log, 10, 10));
    std::vector<unsigned char> bank = GetChunk(plug, 0);
    const std::vector<double> before = Values(plug);

    // Refused before anything changes.
    plug.log.clear();
    EXPECT_EQ(Dispatch(plug, effSetChunk, 0, -8, bank.data()), 0);
    EXPECT_EQ(Dispatch(plug, effSetChunk, 0, 8, nullptr), 0);
    EXPECT_TRUE(plug.log.empty());
    EXPECT_EQ(Values(plug), before);

    // Values without the header are read from the first byte; a chunk that
    // ends early sets what it holds and answers 0, and the editor is shown
    // the values the effect now has.
    plug.log.clear();
    EXPECT_EQ(SetChunk(plug, 1, RawValues({2.0, 1.0})), 0);
    EXPECT_EQ(plug.GetParam(0)->Value(), 2.0);
    EXPECT_EQ(plug.GetParam(1)->Value(), 1.0);
    EXPECT_EQ(plug.GetParam(2)->Value(), 0.0); // the gap: 0 clamped into range
    EXPECT_EQ(plug.GetParam(3)->Value(), 250.0);
    auto pushed = [&plug](const std::string& prefix)
    {
        for (const std::string& entry : plug.log)
            if (entry.rfind(prefix, 0) == 0) return true;
        return false;
    };
    EXPECT_TRUE(pushed("push 0 p 2.0"));
    EXPECT_TRUE(pushed("push 1 p 1.0"));
    EXPECT_TRUE(pushed("push 2 p 0.0"));

    // A complete headerless program chunk is accepted, clamped and pushed.
    plug.log.clear();
    EXPECT_EQ(SetChunk(plug, 1, RawValues({99.0, 0.0, 2.0, 0.5})), 1);
    EXPECT_EQ(plug.GetParam(0)->Value(), 10.0);
    EXPECT_EQ(plug.GetParam(3)->Value(), 1.0);
    EXPECT_EQ(plug.log.back().rfind("push 4 p", 0), 0u);
}

TEST(VstDispatcher, ProgramChunkIsStoredIntoTheCurrentProgram)
{
    TestEffect plug(nullptr);
    std::vector<unsigned char> chunk = GetChunk(plug, 1);
    double gain = 8.0;
    std::memcpy(chunk.data() + 8, &gain, 8);
    EXPECT_EQ(SetChunk(plug, 1, chunk), 1);
    Dispatch(plug, effSetProgram, 0, 1);
    plug.GetParam(0)->SetValue(0.0);
    Dispatch(plug, effSetProgram, 0, 0);
    EXPECT_EQ(plug.GetParam(0)->Value(), 8.0);
}

// With the chunks flag set, selecting a program does not store the one being
// left, so what the chunk calls stored into the current program shows.
TEST(VstDispatcher, ChunkKindAndVersionDecideWhetherTheProgramIsStored)
{
    TestEffectOptions o;
    o.chunks = true;
    TestEffect plug(nullptr, o);
    Dispatch(plug, effSetProgram, 0, 0); // program 0 holds the defaults
    auto gainAfterReselect = [&plug]
    {
        Dispatch(plug, effSetProgram, 0, 0);
        return plug.GetParam(0)->Value();
    };

    // Getting a program chunk leaves the program alone; getting the bank
    // stores the current values first.
    plug.GetParam(0)->SetValue(7.0);
    GetChunk(plug, 1);
    EXPECT_EQ(gainAfterReselect(), 5.0);
    plug.GetParam(0)->SetValue(7.0);
    GetChunk(plug, 0);
    EXPECT_EQ(gainAfterReselect(), 7.0);

    // A bank with a version header is not stored into the current program;
    // a bank without one, and any program chunk, is.
    std::vector<unsigned char> withHeader = GetChunk(plug, 1);
    const double eight = 8.0;
    std::memcpy(withHeader.data() + 8, &eight, 8);
    EXPECT_EQ(SetChunk(plug, 0, withHeader), 1);
    EXPECT_EQ(plug.GetParam(0)->Value(), 8.0);
    EXPECT_EQ(gainAfterReselect(), 7.0);
    EXPECT_EQ(SetChunk(plug, 0, RawValues({9.0, 0.0, 0.0, 100.0})), 1);
    EXPECT_EQ(gainAfterReselect(), 9.0);
    EXPECT_EQ(SetChunk(plug, 1, withHeader), 1);
    EXPECT_EQ(gainAfterReselect(), 8.0);
}

TEST(VstDispatcher, EventsReachTheEffectOrTheHost)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof(VstMidiEvent);
    note.deltaFrames = 12;
    note.midiData[0] = static_cast<char>(0x91);
    note.midiData[1] = 64;
    note.midiData[2] = 100;
    VstEvent sysex{};
    sysex.type = 6;

    struct
    {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[3];
    } list{3, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, &sysex}};
    EXPECT_EQ(Dispatch(plug, effProcessEvents, 0, 0, &list), 1);
    ASSERT_EQ(plug.midi.size(), 1u);
    EXPECT_EQ(plug.midi[0].offset, 12);
    EXPECT_EQ(plug.midi[0].status, 0x91);
    EXPECT_EQ(plug.midi[0].data1, 64);
    EXPECT_EQ(plug.midi[0].data2, 100);
    ASSERT_EQ(host.forwarded.size(), 1u);
    EXPECT_EQ(host.forwarded[0], &sysex);

    list.numEvents = 0;
    EXPECT_EQ(Dispatch(plug, effProcessEvents, 0, 0, &list), 1);
    EXPECT_EQ(Dispatch(plug, effProcessEvents, 0, 0, nullptr), 0);
}

TEST(VstDispatcher, CapabilitiesPinsAndArrangements)
{
    TestEffect plug(nullptr);
    auto canDo = [](IPlugVST& p, const char* text)
    { return Dispatch(p, effCanDo, 0, 0, const_cast<char*>(text)); };
    EXPECT_EQ(canDo(plug, "ReceiveVstTimeInfo"), 0); // exact and case-sensitive
    EXPECT_EQ(canDo(plug, "hasCockosViewAsConfig"), static_cast<VstIntPtr>(0xBEEF0000));
    EXPECT_EQ(canDo(plug, "receiveVstMidiEvent"), 0);
    EXPECT_EQ(Dispatch(plug, effCanDo, 0, 0, nullptr), 0);
    TestEffectOptions o;
    o.midi = true;
    TestEffect midi(nullptr, o);
    for (const char* text :
         {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
        EXPECT_EQ(canDo(midi, text), 1) << text;

    VstPinProperties pin;
    std::memset(&pin, 0x55, sizeof(pin));
    EXPECT_EQ(Dispatch(plug, effGetInputProperties, 1, 0, &pin), 1);
    EXPECT_EQ(pin.flags, 1);
    EXPECT_STREQ(pin.label, "Input 2");
    EXPECT_EQ(pin.arrangementType, 0x55555555); // left as the host gave it
    EXPECT_EQ(Dispatch(plug, effGetInputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(Dispatch(plug, effGetOutputProperties, -1, 0, &pin), 0);
    EXPECT_EQ(Dispatch(plug, effGetInputProperties, 0, 0, nullptr), 0);

    // Setting an arrangement connects that many channels; what the host
    // reads back stays as declared.
    VstSpeakerArrangement mono{};
    mono.numChannels = 1;
    VstSpeakerArrangement odd{};
    odd.numChannels = -3;
    EXPECT_EQ(Dispatch(plug, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &odd),
              1);
    EXPECT_TRUE(plug.IsInChannelConnected(0));
    EXPECT_FALSE(plug.IsInChannelConnected(1));
    EXPECT_FALSE(plug.IsOutChannelConnected(0));
    EXPECT_EQ(plug.GetAEffect()->numInputs, 2);
    VstSpeakerArrangement* in = nullptr;
    EXPECT_EQ(Dispatch(plug, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in)), 1);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->numChannels, 2);
}

TEST(VstDispatcher, EditorOpcodes)
{
    TestEffect plug(nullptr);
    ERect* rect = nullptr;
    int parent = 0;
    EXPECT_EQ(Dispatch(plug, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(Dispatch(plug, effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(Dispatch(plug, effEditClose), 0);

    EventLog editorLog;
    plug.AttachEditor(new FakeEditor(editorLog, 300, 200));
    editorLog.clear();
    EXPECT_EQ(Dispatch(plug, effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(Dispatch(plug, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 300);
    EXPECT_EQ(rect->bottom, 200);
    EXPECT_EQ(Dispatch(plug, effEditOpen, 0, 0, nullptr), 0); // no window was made
    EXPECT_EQ(Dispatch(plug, effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(Dispatch(plug, effEditClose), 1);
    EXPECT_EQ(editorLog, (EventLog{"open", "open", "close"}));
}

// An editor without a window layer keeps its values but is not offered to
// the host: no editor flag, and the editor opcodes answer 0.
TEST(VstDispatcher, EditorWithoutWindowLayerIsNotOffered)
{
    struct WindowlessEditor : FakeEditor
    {
        using FakeEditor::FakeEditor;
        bool CanOpenWindow() const override { return false; }
    };
    TestEffect plug(nullptr);
    EventLog editorLog;
    plug.AttachEditor(new WindowlessEditor(editorLog, 300, 200));
    EXPECT_EQ(plug.GetAEffect()->flags, 0x1018);
    EXPECT_EQ(editorLog.size(), 5u); // the values still reach it

    ERect* rect = nullptr;
    int parent = 0;
    editorLog.clear();
    EXPECT_EQ(Dispatch(plug, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(Dispatch(plug, effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(Dispatch(plug, effEditClose), 0);
    EXPECT_TRUE(editorLog.empty());
}

TEST(VstDispatcher, MidiKeyNames)
{
    TestEffect plug(nullptr);
    MidiKeyName key{};
    key.thisKeyNumber = 60;
    std::strcpy(key.keyName, "stale");
    EXPECT_EQ(Dispatch(plug, effGetMidiKeyName, 0, 0, &key), 0);
    EXPECT_STREQ(key.keyName, "");
    EXPECT_EQ(Dispatch(plug, effGetMidiKeyName, 0, 0, nullptr), 0);
}

TEST(VstProcess, CallbacksReplaceOrAccumulate)
{
    ScriptedHost host;
    TestEffect plug(host.Callback());
    AEffect* e = plug.GetAEffect();
    constexpr int n = 64;
    std::vector<float> inL(n), inR(n), outL(n, 1.0f), outR(n, 1.0f);
    for (int i = 0; i < n; ++i)
    {
        inL[i] = 0.01f * static_cast<float>(i);
        inR[i] = -0.02f * static_cast<float>(i);
    }
    float* ins[] = {inL.data(), inR.data()};
    float* outs[] = {outL.data(), outR.data()};

    e->process(e, ins, outs, n);
    for (int i = 0; i < n; ++i)
    {
        EXPECT_FLOAT_EQ(outL[i], 1.0f + 0.5f * inL[i]);
        EXPECT_FLOAT_EQ(outR[i], 1.0f + 0.5f * inR[i]);
    }
    e->processReplacing(e, ins, outs, n);
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(outR[i], 0.5f * inR[i]);

    std::vector<double> dIn(n, 0.8), dOut(n, 3.0);
    double* dIns[] = {dIn.data(), dIn.data()};
    double* dOuts[] = {dOut.data(), nullptr};
    e->processDoubleReplacing(e, dIns, dOuts, n);
    for (int i = 0; i < n; ++i)
        EXPECT_DOUBLE_EQ(dOut[i], 0.4);
    EXPECT_EQ(host.Count(audioMasterWantMidi), 0);

    TestEffectOptions o;
    o.midi = true;
    TestEffect midi(host.Callback(), o);
    e = midi.GetAEffect();
    e->processReplacing(e, ins, outs, n);
    e->processDoubleReplacing(e, dIns, dOuts, n);
    EXPECT_EQ(host.Count(audioMasterWantMidi), 2);
}

} // namespace
