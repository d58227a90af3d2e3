#include "DelayTestUtil.h"
#include "plugin/DelayReadout.h"

#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace
{

std::string Readout(ParamChangeHandler h, double v, int index = 0)
{
    ParamDef row{"x", "", index, h};
    char text[kReadoutSize] = "untouched";
    if (!FormatReadout(row, v, text, sizeof text))
    {
        return "<none>";
    }
    return text;
}

} // namespace

TEST(DelayParams, IdentityAndParameterSet)
{
    Delay d(nullptr);
    AEffect* e = d.GetAEffect();
    EXPECT_EQ(e->numParams, 216);
    EXPECT_EQ(e->numPrograms, 6);
    EXPECT_EQ(e->uniqueID, 0x6D775A62);
    EXPECT_EQ(e->version, 10000);
    EXPECT_EQ(d.NParams(), 218);
    EXPECT_EQ(d.DeclaredParams(), 216);
    EXPECT_STREQ(d.EffectName(), "Zelbor");

    // Rows cover every declared index once; 70 host indices stay undeclared.
    int declared = 0;
    std::set<std::string> names;
    for (int i = 0; i < 216; ++i)
    {
        if (d.DefinitionRow(i) != nullptr)
        {
            ++declared;
            EXPECT_STREQ(d.GetParam(i)->Name(), d.DefinitionRow(i)->name);
            EXPECT_TRUE(names.insert(d.GetParam(i)->Name()).second) << i;
        }
        else
        {
            EXPECT_EQ(d.GetParam(i)->Kind(), KindUnset) << i;
        }
    }
    EXPECT_EQ(declared, 146);
    EXPECT_EQ(d.DefinitionRow(216), nullptr);
    ASSERT_NE(d.DefinitionRow(217), nullptr);
    EXPECT_STREQ(d.GetParam(217)->Name(), "");

    // Spot checks across the three kinds.
    const IPlugParam* time = d.GetParam(kBaseTime + 7);
    EXPECT_STREQ(time->Name(), "Time_H");
    EXPECT_EQ(time->Value(), 500.0);
    EXPECT_EQ(time->Min(), 1.0);
    EXPECT_EQ(time->Max(), 2000.0);
    EXPECT_STREQ(d.GetParam(kBaseBpm + 2)->DisplayTextFor(19), "1/4 t");
    EXPECT_EQ(d.GetParam(kBaseBpm + 2)->Value(), 9.0);
    EXPECT_EQ(d.GetParam(kBaseIn + 0)->Value(), 1.0);
    EXPECT_EQ(d.GetParam(kBaseIn + 1)->Value(), 2.0);
    EXPECT_EQ(d.GetParam(kBaseMains + 1)->Kind(), KindSwitch);
    EXPECT_EQ(d.GetParam(kBaseMains + 1)->Value(), 1.0);
    EXPECT_STREQ(d.GetParam(kBaseRx + 3)->DisplayTextFor(8), "-");
    EXPECT_EQ(d.GetParam(kBaseFb)->Value(), -3.0);
    EXPECT_STREQ(d.GetParam(kParamSclFbk)->Name(), "Scl_Fbk");
    EXPECT_EQ(d.GetParam(kParamSclFbk)->Shape(), 1.0);
    // The three multiplying knobs are curved without any editor: a host sees
    // their default of 1 near the middle of the travel.
    for (int idx : {kParamSclDly, kParamSclRate, kParamSclDpth})
    {
        EXPECT_EQ(d.GetParam(idx)->Shape(), 2.295) << idx;
        EXPECT_NEAR(IPlugVST::VSTGetParameter(e, idx), 0.496, 0.001) << idx;
    }
}

TEST(DelayParams, UndeclaredIndexChangesNothing)
{
    Delay d(nullptr);
    d.SetReadout("before");
    SetParam(d, 12, 1.0);
    SetParam(d, 216, 1.0);
    EXPECT_STREQ(d.ReadoutText(), "before");
}

TEST(DelayParams, NoteLengths)
{
    // Straight, dotted (x 1.5) and triplet (x 2/3) values.
    EXPECT_EQ(kNoteBeats[9], 1.0);  // 1/4
    EXPECT_EQ(kNoteBeats[14], 1.5); // 1/4 d
    EXPECT_EQ(kNoteBeats[17], 0.1875);
    const double triplets[5] = {4.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0, 1.0 / 6.0, 1.0 / 12.0};
    for (int k = 0; k < 5; ++k)
    {
        EXPECT_DOUBLE_EQ(kNoteBeats[18 + k], triplets[k]) << kNoteChoices[18 + k];
        EXPECT_DOUBLE_EQ(kNoteBeats[18 + k] * 1.5, kNoteBeats[8 + k]);
    }
}

TEST(DelayReadout, Texts)
{
    using H = ParamChangeHandler;
    EXPECT_EQ(Readout(H::Dry, 0.0), "-inf dB");
    EXPECT_EQ(Readout(H::Wet, 0.0), "-inf dB");
    EXPECT_EQ(Readout(H::Dry, 0.5), "-6.0 dB");
    EXPECT_EQ(Readout(H::Level, 1.0), "0.0 dB");
    EXPECT_EQ(Readout(H::Pan, 0.0), "100% L");
    EXPECT_EQ(Readout(H::Pan, 0.25), "50% L");
    EXPECT_EQ(Readout(H::Pan, 0.5), "C");
    EXPECT_EQ(Readout(H::Pan, 1.0), "100% R");
    EXPECT_EQ(Readout(H::Time, 500.0), "500.0 ms");
    EXPECT_EQ(Readout(H::Depth, 2.5), "2.50 ms");
    EXPECT_EQ(Readout(H::Rate, 1.0), "1.00 hz");
    EXPECT_EQ(Readout(H::Lpf, 4000.0), "4000.0 hz");
    EXPECT_EQ(Readout(H::Fb, -3.0), "-3.0 dB");
    EXPECT_EQ(Readout(H::Pct, 0.5), "50.0 %");
    EXPECT_EQ(Readout(H::SclFbk, 0.75), "75.0 %");
    EXPECT_EQ(Readout(H::In, 3.0), "L+R");
    EXPECT_EQ(Readout(H::Rx, 8.0), "-");
    EXPECT_EQ(Readout(H::Bpm, 21.0), "1/16 t");
    EXPECT_EQ(Readout(H::Shape, 3.0), "Ramp Dn");
    EXPECT_EQ(Readout(H::Mains, 1.0), "enabled");
    EXPECT_EQ(Readout(H::SclRst, 1.0), "reset");
    EXPECT_EQ(Readout(H::SclRst, 0.0), "<none>");
    EXPECT_EQ(Readout(H::Panic, 1.0), "<none>");
    EXPECT_EQ(Readout(H::Placeholder, 0.0), "<none>");
    // Choice values outside the list never read past it.
    EXPECT_EQ(Readout(H::Bpm, 99.0), "1/32 t");
    EXPECT_EQ(Readout(H::Shape, -3.0), "Sine");
    EXPECT_EQ(Readout(H::Rx, std::nan("")), "A");
}

TEST(DelayReadout, HandlersWriteTheReadout)
{
    Delay d(nullptr);
    EXPECT_STREQ(d.ReadoutText(), "");
    SetParam(d, kBaseTime + 1, 250.0);
    EXPECT_STREQ(d.ReadoutText(), "250.0 ms");
    SetParam(d, kBaseOper + 1, 1.0); // no readout
    EXPECT_STREQ(d.ReadoutText(), "250.0 ms");
    SetParam(d, kBaseRx + 0, 0.0); // refused, but shown
    EXPECT_STREQ(d.ReadoutText(), "A");
    SetParam(d, kParamPanic, 1.0);
    EXPECT_STREQ(d.ReadoutText(), "A");
    // The first processed block clears it.
    Process(d, Stereo(16));
    EXPECT_STREQ(d.ReadoutText(), "");
    SetParam(d, kParamDry, 0.5);
    EXPECT_STREQ(d.ReadoutText(), "-6.0 dB");
    Process(d, Stereo(16));
    EXPECT_STREQ(d.ReadoutText(), "-6.0 dB");
}

TEST(DelayHandlers, EngineValues)
{
    Delay d(nullptr);
    SetParam(d, kBaseFb + 2, -25.0);
    EXPECT_NEAR(d.Line(2).feedbackGain, 0.0562, 1e-4);
    SetParam(d, kBaseGain + 2, -40.0);
    EXPECT_NEAR(d.Tap(2).gain, 0.01, 1e-12);
    SetParam(d, kBaseGain + 2, 0.0);
    EXPECT_EQ(d.Tap(2).gain, 1.0);
    SetParam(d, kBasePhase + 2, 1.0);
    EXPECT_EQ(d.Tap(2).phaseSign, -1.0);
    SetParam(d, kBaseLpf + 2, 9000.0);
    EXPECT_EQ(d.Tap(2).lowPass.cutoff, 9000.0);
    SetParam(d, kBaseHpf + 2, 300.0);
    EXPECT_EQ(d.Tap(2).highPass.cutoff, 300.0);
    SetParam(d, kBasePct + 2, 0.0);
    EXPECT_EQ(d.Line(2).injectionFraction, 1.0);
    SetParam(d, kBasePct + 2, 0.25);
    EXPECT_EQ(d.Line(2).injectionFraction, 0.25);

    // Shape: a different kind replaces the oscillator, the same kind keeps it.
    SetParam(d, kBaseShape + 2, 2.0);
    EXPECT_EQ(d.Tap(2).lfo.Kind(), 2);
    Process(d, Stereo(3200));
    const int period = d.Tap(2).GetLfo().Period();
    const float running = d.Tap(2).lfo.Value();
    EXPECT_GT(running, 0.0f);
    SetParam(d, kBaseShape + 2, 2.0);
    EXPECT_EQ(d.Tap(2).lfo.Value(), running);
    SetParam(d, kBaseShape + 2, 3.0);
    EXPECT_EQ(d.Tap(2).lfo.Kind(), 3);
    EXPECT_EQ(d.Tap(2).GetLfo().Period(), period);
    EXPECT_EQ(d.Tap(2).lfo.Value(), 0.0f);
}
