#include "HostHarness.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using ModuleHost = ModuleFixture;

std::string Text(AEffect* e, VstInt32 opcode, VstInt32 index = 0)
{
    char buf[256];
    std::memset(buf, 0, sizeof(buf));
    e->dispatcher(e, opcode, index, 0, buf, 0.0f);
    return buf;
}

// FNV-1a over the bytes: a short stand-in for a whole chunk in expectations.
std::uint64_t Digest(const unsigned char* bytes, std::size_t size)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ bytes[i]) * 0x100000001b3ull;
    return h;
}

TEST_F(ModuleHost, BothEntriesCreateIndependentEffects)
{
    auto legacy = reinterpret_cast<VstPluginMainProc>(sModule.Symbol("main"));
    ASSERT_NE(legacy, nullptr);
    TestHost host;
    AEffect* a = Create(host);
    AEffect* b = Create(host, legacy);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_NE(a->object, b->object);
    EXPECT_EQ(b->magic, kEffectMagic);
    Close(a);
    Close(b);
}

TEST_F(ModuleHost, RecordDescribesTheEffect)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450);
    // Replacing, double replacing and mono-capable; an editor adds its flag.
    EXPECT_EQ(e->flags & ~effFlagsHasEditor, 0x1018);
    EXPECT_EQ(e->numParams, 216);
    EXPECT_EQ(e->numPrograms, 6);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->uniqueID, 0x6D775A62);
    EXPECT_EQ(e->version, 10000);
    EXPECT_TRUE(e->process && e->processReplacing && e->processDoubleReplacing);
    EXPECT_TRUE(e->getParameter && e->setParameter);

    ERect* rect = nullptr;
    const VstIntPtr hasRect = Call(e, effEditGetRect, 0, 0, &rect);
    if (e->flags & effFlagsHasEditor)
    {
        ASSERT_EQ(hasRect, 1);
        EXPECT_EQ(rect->right - rect->left, 720);
        EXPECT_EQ(rect->bottom - rect->top, 650);
    }
    else
    {
        EXPECT_EQ(hasRect, 0);
    }

    EXPECT_EQ(Text(e, effGetEffectName), "Zelbor");
    EXPECT_EQ(Text(e, effGetVendorString), "Mardelwick");
    EXPECT_EQ(Text(e, effGetProductString), "");
    EXPECT_EQ(Call(e, effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(Call(e, effGetVstVersion), 2400);
    EXPECT_EQ(Call(e, effIdentify), 0x4E764566);
    Close(e);
}

struct ParamText
{
    int index;
    const char* name;
    const char* display;
};

TEST_F(ModuleHost, ParameterNamesLabelsAndDisplays)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Call(e, effOpen);
    const ParamText cases[] = {
        {0, "Wet", "0.70"},
        {2, "Level", "1.00"},
        {4, "In_A", "L"},
        {5, "In_B", "R"},
        {6, "In_C", "-"},
        {13, "Rx_A", "-"},
        {22, "Mode_A", "msec"},
        {31, "Time_A", "500.0"},
        {40, "Bpm_A", "1/4"},
        {49, "Fb_A", "-3.00"},
        {67, "Hpf_A", "150.0"},
        {121, "Shape_A", "Sine"},
        {148, "Phase_A", "Normal"},
        {166, "Mains_A", "on"},
        {168, "Mains_C", "off"},
        {175, "Oper_A", "oper"},
        {186, "Scl_Fbk", "1.00"},
        {215, "Panic", "off"},
        {12, "", "0"},
    };
    for (const ParamText& c : cases)
    {
        EXPECT_EQ(Text(e, effGetParamName, c.index), c.name) << c.index;
        EXPECT_EQ(Text(e, effGetParamLabel, c.index), "") << c.index;
        EXPECT_EQ(Text(e, effGetParamDisplay, c.index), c.display) << c.index;
    }

    // Host automation of Time_B: normalised in, plain value on display.
    e->setParameter(e, 32, 0.5f);
    EXPECT_NEAR(e->getParameter(e, 32), 0.5f, 1e-6f);
    EXPECT_EQ(Text(e, effGetParamDisplay, 32), "1000.5");
    e->setParameter(e, 121, 1.0f);
    EXPECT_EQ(Text(e, effGetParamDisplay, 121), "Random");
    EXPECT_EQ(host.automations.load(), 0); // host changes are not echoed

    // Display of a value the parameter does not hold, through the vendor call.
    char buf[64] = "untouched";
    EXPECT_EQ(Call(e, effVendorSpecific, 7, 31, buf, 1.0f), 0xBEEF);
    EXPECT_STREQ(buf, "2000.0");
    std::strcpy(buf, "untouched");
    EXPECT_EQ(Call(e, effVendorSpecific, 7, 218, buf, 0.5f), 0xBEEF);
    EXPECT_STREQ(buf, "untouched");
    EXPECT_EQ(Call(e, effVendorSpecific, 3, 31, buf, 0.5f), 0);
    Close(e);
}

TEST_F(ModuleHost, CapabilitiesPinsAndArrangements)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    auto canDo = [e](const char* text)
    { return e->dispatcher(e, effCanDo, 0, 0, const_cast<char*>(text), 0.0f); };
    EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(canDo("ReceiveVstTimeInfo"), 0);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 0);
    EXPECT_EQ(canDo("sendVstEvents"), 0);
    EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<VstIntPtr>(0xBEEF0000));
    EXPECT_EQ(canDo("offline"), 0);

    VstPinProperties pin{};
    EXPECT_EQ(Call(e, effGetInputProperties, 0, 0, &pin), 1);
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_STREQ(pin.label, "Input 1");
    EXPECT_EQ(Call(e, effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_EQ(pin.flags, kVstPinIsActive);
    EXPECT_STREQ(pin.label, "Output 2");
    EXPECT_EQ(Call(e, effGetOutputProperties, 2, 0, &pin), 0);

    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(Call(e, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    ASSERT_TRUE(in && out);
    EXPECT_EQ(in->type, kSpeakerArrStereo);
    EXPECT_EQ(out->numChannels, 2);
    Close(e);
}

TEST_F(ModuleHost, ProgramsSelectAndRename)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Call(e, effOpen);
    EXPECT_EQ(Call(e, effGetProgram), 0);
    char name[256];
    EXPECT_EQ(Call(e, effGetProgramNameIndexed, 4, 0, name), 1);
    EXPECT_STREQ(name, "- 5 -");
    EXPECT_EQ(Call(e, effGetProgramNameIndexed, 6, 0, name), 0);
    EXPECT_STREQ(name, "");

    e->setParameter(e, 0, 0.2f); // Wet in program 0
    Call(e, effSetProgram, 0, 3);
    EXPECT_EQ(Call(e, effGetProgram), 3);
    EXPECT_EQ(Text(e, effGetProgramName), "user preset 1");
    Call(e, effSetProgram, 0, 5);
    EXPECT_EQ(Text(e, effGetProgramName), "user preset 2");
    char newName[] = "Slapback";
    Call(e, effSetProgramName, 0, 0, newName);
    EXPECT_EQ(Text(e, effGetProgramName), "Slapback");

    e->setParameter(e, 0, 0.9f);
    Call(e, effSetProgram, 0, 0);
    EXPECT_NEAR(e->getParameter(e, 0), 0.2f, 1e-6f);
    Call(e, effSetProgram, 0, 5);
    EXPECT_NEAR(e->getParameter(e, 0), 0.9f, 1e-6f);
    Close(e);
}

TEST_F(ModuleHost, StateChunkRoundTrip)
{
    TestHost host;
    AEffect* e = Create(host);
    ASSERT_NE(e, nullptr);
    Call(e, effOpen);
    void* data = nullptr;
    const VstIntPtr size = Call(e, effGetChunk, 0, 0, &data);
    ASSERT_EQ(size, 1736);
    ASSERT_NE(data, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(data);
    EXPECT_EQ(std::memcmp(bytes, "tffp\0\0\1\0", 8), 0);
    const std::vector<unsigned char> saved(bytes, bytes + size);
    double wet = 0.0;
    std::memcpy(&wet, saved.data() + 8, 8);
    EXPECT_DOUBLE_EQ(wet, 0.7);

    std::vector<float> before;
    for (int i = 0; i < 216; ++i)
        before.push_back(e->getParameter(e, i));
    for (int i : {0, 31, 49, 121, 185})
        e->setParameter(e, i, 0.9f);
    // The 32-bit and 64-bit Windows modules and the Linux one store the same
    // settings as the same bytes: these digests hold on all three.
    EXPECT_EQ(Digest(saved.data(), saved.size()), 0x983efdb757a5e3d5ull);
    void* changed = nullptr;
    ASSERT_EQ(Call(e, effGetChunk, 0, 0, &changed), size);
    EXPECT_EQ(Digest(static_cast<const unsigned char*>(changed), static_cast<std::size_t>(size)),
              0x305f16132a74780aull);

    std::vector<unsigned char> copy = saved;
    EXPECT_EQ(Call(e, effSetChunk, 0, size, copy.data()), 1);
    for (int i = 0; i < 216; ++i)
        EXPECT_EQ(e->getParameter(e, i), before[static_cast<std::size_t>(i)]) << i;

    // Too short, negative or missing data is answered 0.
    EXPECT_EQ(Call(e, effSetChunk, 1, 8 + 80, copy.data()), 0);
    EXPECT_EQ(Call(e, effSetChunk, 0, -1, copy.data()), 0);
    EXPECT_EQ(Call(e, effSetChunk, 0, 16, nullptr), 0);
    EXPECT_EQ(Call(e, effGetChunk, 0, 0, nullptr), 0);
    Close(e);
}

// Runs the same input through two fresh effects, one per callback, and
// compares each against replacing output.
TEST_F(ModuleHost, AudioThroughAllThreeCallbacks)
{
    constexpr int kBlock = 256;
    constexpr int kBlocks = 40;
    TestHost hostA, hostB, hostC;
    AEffect* a = Create(hostA);
    AEffect* b = Create(hostB);
    AEffect* c = Create(hostC);
    ASSERT_TRUE(a && b && c);
    for (AEffect* e : {a, b, c})
        Start(e, kBlock);

    std::vector<float> inL(kBlock), inR(kBlock), outAL(kBlock), outAR(kBlock), outBL(kBlock),
        outBR(kBlock);
    std::vector<double> dInL(kBlock), dInR(kBlock), outCL(kBlock), outCR(kBlock);
    float* inA[] = {inL.data(), inR.data()};
    float* outA[] = {outAL.data(), outAR.data()};
    float* outB[] = {outBL.data(), outBR.data()};
    double* inC[] = {dInL.data(), dInR.data()};
    double* outC[] = {outCL.data(), outCR.data()};
    double energy = 0.0;
    for (int block = 0; block < kBlocks; ++block)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const double t = static_cast<double>(block * kBlock + i);
            inL[static_cast<std::size_t>(i)] = static_cast<float>(0.5 * std::sin(t * 0.031));
            inR[static_cast<std::size_t>(i)] = static_cast<float>(0.3 * std::sin(t * 0.017));
            dInL[static_cast<std::size_t>(i)] = inL[static_cast<std::size_t>(i)];
            dInR[static_cast<std::size_t>(i)] = inR[static_cast<std::size_t>(i)];
        }
        std::fill(outBL.begin(), outBL.end(), 0.25f);
        std::fill(outBR.begin(), outBR.end(), -0.25f);
        a->processReplacing(a, inA, outA, kBlock);
        b->process(b, inA, outB, kBlock);
        c->processDoubleReplacing(c, inC, outC, kBlock);
        for (std::size_t i = 0; i < kBlock; ++i)
        {
            ASSERT_TRUE(std::isfinite(outAL[i]) && std::isfinite(outAR[i]));
            EXPECT_NEAR(outBL[i], outAL[i] + 0.25f, 1e-6f);
            EXPECT_NEAR(outBR[i], outAR[i] - 0.25f, 1e-6f);
            EXPECT_NEAR(outCL[i], outAL[i], 1e-6);
            EXPECT_NEAR(outCR[i], outAR[i], 1e-6);
            energy += static_cast<double>(outAL[i]) * outAL[i] + outAR[i] * outAR[i];
        }
    }
    EXPECT_GT(energy, 1.0);
    EXPECT_GT(hostA.timeAsks.load(), 0); // the effect follows the host's transport
    for (AEffect* e : {a, b, c})
        Close(e);
}

struct HostCase
{
    const char* product;
    VstIntPtr version;
};

// Whatever the host calls itself, it is asked once, and the effect keeps its
// stereo layout.
TEST_F(ModuleHost, HostIsIdentifiedOnce)
{
    const HostCase cases[] = {{"REAPER", 60020},
                              {"Cubase Live", 90500},
                              {"Adobe Audition", 4020},
                              {"Cakewalk SONAR", 80000},
                              {"Orion Platinum", 80100},
                              {"Some Digital Studio", 100},
                              {"", 12345},
                              {"UnknownHost", -1}};
    for (const HostCase& hc : cases)
    {
        TestHost host;
        host.product = hc.product;
        host.vendorVersion = hc.version;
        AEffect* e = Create(host);
        ASSERT_NE(e, nullptr);
        Start(e, 128);
        Call(e, effOpen);
        std::vector<float> buf(128, 0.1f);
        float* io[] = {buf.data(), buf.data()};
        e->processReplacing(e, io, io, 128);
        EXPECT_EQ(host.productAsks.load(), 1) << hc.product;
        EXPECT_EQ(host.versionAsks.load(), hc.product[0] ? 1 : 0) << hc.product;
        EXPECT_EQ(e->numInputs, 2) << hc.product;
        EXPECT_EQ(e->numOutputs, 2) << hc.product;
        VstSpeakerArrangement* in = nullptr;
        VstSpeakerArrangement* out = nullptr;
        Call(e, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
        ASSERT_TRUE(in && out);
        EXPECT_EQ(in->numChannels, 2);
        EXPECT_EQ(out->numChannels, 2);
        Close(e);
    }
}

} // namespace
