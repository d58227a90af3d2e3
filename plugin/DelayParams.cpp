#include "plugin/DelayParams.h"

using H = ParamChangeHandler;

const char* const kInChoices[6] = {"-", "L", "R", "L+R", "M", "S"};
const char* const kRxChoices[9] = {"A", "B", "C", "D", "E", "F", "G", "H", "-"};
const char* const kModeChoices[2] = {"bpm", "msec"};
const char* const kNoteChoices[23] = {"8/1",   "7/1",   "6/1",   "5/1",    "4/1",    "3/1",
                                      "2/1",   "1/1",   "1/2",   "1/4",    "1/8",    "1/16",
                                      "1/32",  "1/2 d", "1/4 d", "1/8 d",  "1/16 d", "1/32 d",
                                      "1/2 t", "1/4 t", "1/8 t", "1/16 t", "1/32 t"};
const char* const kShapeChoices[5] = {"Sine", "Tri", "Ramp Up", "Ramp Dn", "Random"};
const char* const kPhaseChoices[2] = {"Normal", "Inverted"};
const char* const kOperChoices[3] = {"oper", "byp", "mute"};

// Straight values, dotted values (1.5 times the straight one) and triplets
// (2/3 of the straight one: three in the time of two).
// clang-format off
const double kNoteBeats[kNumNoteValues] = {
    32.0, 28.0, 24.0, 20.0, 16.0, 12.0, 8.0, 4.0, 2.0, 1.0, 0.5, 0.25, 0.125,
    3.0, 1.5, 0.75, 0.375, 0.1875,
    4.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0, 1.0 / 6.0, 1.0 / 12.0};
// clang-format on

namespace
{

// Family base of each handler, in the order of ParamChangeHandler.
const int kFamilyBases[static_cast<int>(ParamChangeHandler::Count)] = {
#define ZELBOR_HANDLER_BASE(name, base) base,
    ZELBOR_HANDLER_FAMILIES(ZELBOR_HANDLER_BASE)
#undef ZELBOR_HANDLER_BASE
};

} // namespace

int FamilyBase(ParamChangeHandler h)
{
    const int k = static_cast<int>(h);
    return k >= 0 && k < static_cast<int>(ParamChangeHandler::Count) ? kFamilyBases[k] : -1;
}

// name, label, index, handler, default
const SwitchParamDef kSwitchParamDefs[kNumSwitchDefs] = {
    {{"Mains_A", "", kBaseMains + 0, H::Mains}, true},
    {{"Mains_B", "", kBaseMains + 1, H::Mains}, true},
    {{"Mains_C", "", kBaseMains + 2, H::Mains}, false},
    {{"Mains_D", "", kBaseMains + 3, H::Mains}, false},
    {{"Mains_E", "", kBaseMains + 4, H::Mains}, false},
    {{"Mains_F", "", kBaseMains + 5, H::Mains}, false},
    {{"Mains_G", "", kBaseMains + 6, H::Mains}, false},
    {{"Mains_H", "", kBaseMains + 7, H::Mains}, false},
    {{"Scl_Rst", "", kParamSclRst, H::SclRst}, false},
    {{"Panic", "", kParamPanic, H::Panic}, false},
};

// name, label, index, handler, default, choice count, choice texts
const EnumParamDef kEnumParamDefs[kNumEnumDefs] = {
    {{"In_A", "", kBaseIn + 0, H::In}, 1, 6, kInChoices},
    {{"In_B", "", kBaseIn + 1, H::In}, 2, 6, kInChoices},
    {{"In_C", "", kBaseIn + 2, H::In}, 0, 6, kInChoices},
    {{"In_D", "", kBaseIn + 3, H::In}, 0, 6, kInChoices},
    {{"In_E", "", kBaseIn + 4, H::In}, 0, 6, kInChoices},
    {{"In_F", "", kBaseIn + 5, H::In}, 0, 6, kInChoices},
    {{"In_G", "", kBaseIn + 6, H::In}, 0, 6, kInChoices},
    {{"In_H", "", kBaseIn + 7, H::In}, 0, 6, kInChoices},
    {{"Rx_A", "", kBaseRx + 0, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_B", "", kBaseRx + 1, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_C", "", kBaseRx + 2, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_D", "", kBaseRx + 3, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_E", "", kBaseRx + 4, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_F", "", kBaseRx + 5, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_G", "", kBaseRx + 6, H::Rx}, 8, 9, kRxChoices},
    {{"Rx_H", "", kBaseRx + 7, H::Rx}, 8, 9, kRxChoices},
    {{"Phase_A", "", kBasePhase + 0, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_B", "", kBasePhase + 1, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_C", "", kBasePhase + 2, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_D", "", kBasePhase + 3, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_E", "", kBasePhase + 4, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_F", "", kBasePhase + 5, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_G", "", kBasePhase + 6, H::Phase}, 0, 2, kPhaseChoices},
    {{"Phase_H", "", kBasePhase + 7, H::Phase}, 0, 2, kPhaseChoices},
    {{"Shape_A", "", kBaseShape + 0, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_B", "", kBaseShape + 1, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_C", "", kBaseShape + 2, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_D", "", kBaseShape + 3, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_E", "", kBaseShape + 4, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_F", "", kBaseShape + 5, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_G", "", kBaseShape + 6, H::Shape}, 0, 5, kShapeChoices},
    {{"Shape_H", "", kBaseShape + 7, H::Shape}, 0, 5, kShapeChoices},
    {{"Mode_A", "", kBaseMode + 0, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_B", "", kBaseMode + 1, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_C", "", kBaseMode + 2, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_D", "", kBaseMode + 3, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_E", "", kBaseMode + 4, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_F", "", kBaseMode + 5, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_G", "", kBaseMode + 6, H::Mode}, 1, 2, kModeChoices},
    {{"Mode_H", "", kBaseMode + 7, H::Mode}, 1, 2, kModeChoices},
    {{"Oper_A", "", kBaseOper + 0, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_B", "", kBaseOper + 1, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_C", "", kBaseOper + 2, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_D", "", kBaseOper + 3, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_E", "", kBaseOper + 4, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_F", "", kBaseOper + 5, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_G", "", kBaseOper + 6, H::Oper}, 0, 3, kOperChoices},
    {{"Oper_H", "", kBaseOper + 7, H::Oper}, 0, 3, kOperChoices},
    {{"Bpm_A", "", kBaseBpm + 0, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_B", "", kBaseBpm + 1, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_C", "", kBaseBpm + 2, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_D", "", kBaseBpm + 3, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_E", "", kBaseBpm + 4, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_F", "", kBaseBpm + 5, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_G", "", kBaseBpm + 6, H::Bpm}, 9, 23, kNoteChoices},
    {{"Bpm_H", "", kBaseBpm + 7, H::Bpm}, 9, 23, kNoteChoices},
};

// name, label, index, handler, default, minimum, maximum, step
const ContinuousParamDef kContinuousParamDefs[kNumContinuousDefs] = {
    {{"Wet", "", kParamWet, H::Wet}, 0.7, 0.0, 1.0, 0.01},
    {{"Dry", "", kParamDry, H::Dry}, 0.7, 0.0, 1.0, 0.01},
    {{"Level", "", kParamLevel, H::Level}, 1.0, 0.0, 1.0, 0.01},
    {{"FbScale", "", kParamFbScale, H::FbScale}, 1.0, 0.0, 1.0, 0.01},
    {{"Time_A", "", kBaseTime + 0, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_B", "", kBaseTime + 1, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_C", "", kBaseTime + 2, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_D", "", kBaseTime + 3, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_E", "", kBaseTime + 4, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_F", "", kBaseTime + 5, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_G", "", kBaseTime + 6, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Time_H", "", kBaseTime + 7, H::Time}, 500.0, 1.0, 2000.0, 0.1},
    {{"Pct_A", "", kBasePct + 0, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_B", "", kBasePct + 1, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_C", "", kBasePct + 2, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_D", "", kBasePct + 3, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_E", "", kBasePct + 4, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_F", "", kBasePct + 5, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_G", "", kBasePct + 6, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Pct_H", "", kBasePct + 7, H::Pct}, 1.0, 0.0, 1.0, 0.01},
    {{"Rate_A", "", kBaseRate + 0, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_B", "", kBaseRate + 1, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_C", "", kBaseRate + 2, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_D", "", kBaseRate + 3, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_E", "", kBaseRate + 4, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_F", "", kBaseRate + 5, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_G", "", kBaseRate + 6, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Rate_H", "", kBaseRate + 7, H::Rate}, 1.0, 0.0, 5.0, 0.01},
    {{"Depth_A", "", kBaseDepth + 0, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_B", "", kBaseDepth + 1, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_C", "", kBaseDepth + 2, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_D", "", kBaseDepth + 3, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_E", "", kBaseDepth + 4, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_F", "", kBaseDepth + 5, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_G", "", kBaseDepth + 6, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Depth_H", "", kBaseDepth + 7, H::Depth}, 2.5, 0.0, 6.0, 0.0},
    {{"Fb_A", "", kBaseFb + 0, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_B", "", kBaseFb + 1, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_C", "", kBaseFb + 2, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_D", "", kBaseFb + 3, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_E", "", kBaseFb + 4, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_F", "", kBaseFb + 5, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_G", "", kBaseFb + 6, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Fb_H", "", kBaseFb + 7, H::Fb}, -3.0, -25.0, 0.0, 0.25},
    {{"Gain_A", "", kBaseGain + 0, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_B", "", kBaseGain + 1, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_C", "", kBaseGain + 2, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_D", "", kBaseGain + 3, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_E", "", kBaseGain + 4, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_F", "", kBaseGain + 5, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_G", "", kBaseGain + 6, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Gain_H", "", kBaseGain + 7, H::Gain}, 0.0, -40.0, 0.0, 1.0},
    {{"Pan_A", "", kBasePan + 0, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_B", "", kBasePan + 1, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_C", "", kBasePan + 2, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_D", "", kBasePan + 3, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_E", "", kBasePan + 4, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_F", "", kBasePan + 5, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_G", "", kBasePan + 6, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Pan_H", "", kBasePan + 7, H::Pan}, 0.5, 0.0, 1.0, 0.01},
    {{"Hpf_A", "", kBaseHpf + 0, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_B", "", kBaseHpf + 1, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_C", "", kBaseHpf + 2, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_D", "", kBaseHpf + 3, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_E", "", kBaseHpf + 4, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_F", "", kBaseHpf + 5, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_G", "", kBaseHpf + 6, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Hpf_H", "", kBaseHpf + 7, H::Hpf}, 150.0, 50.0, 1000.0, 9.5},
    {{"Lpf_A", "", kBaseLpf + 0, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_B", "", kBaseLpf + 1, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_C", "", kBaseLpf + 2, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_D", "", kBaseLpf + 3, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_E", "", kBaseLpf + 4, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_F", "", kBaseLpf + 5, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_G", "", kBaseLpf + 6, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Lpf_H", "", kBaseLpf + 7, H::Lpf}, 4000.0, 1000.0, 12000.0, 110.0},
    {{"Scl_Dly", "", kParamSclDly, H::SclDly}, 1.0, 0.25, 4.0, 0.01},
    {{"Scl_Fbk", "", kParamSclFbk, H::SclFbk}, 1.0, 0.75, 1.25, 0.01},
    {{"Scl_Rate", "", kParamSclRate, H::SclRate}, 1.0, 0.25, 4.0, 0.01},
    {{"Scl_Dpth", "", kParamSclDpth, H::SclDpth}, 1.0, 0.25, 4.0, 0.01},
};

const ContinuousParamDef kPlaceholderParamDef = {
    {"", "", kParamPlaceholder, H::Placeholder}, 0.0, 0.0, 1.0, 1.0};
