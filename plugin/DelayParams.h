#pragma once

#include "dsp/TapIndex.h"

// The effect's parameter set as constant data: indices, families, choice
// texts, the note-value beat table and the three definition tables from which
// the parameters are declared.

constexpr int kNumTaps = 8;
static_assert(kNoTap == kNumTaps, "arrays by tap keep their entry for \"none\" last");

// Indices of the global parameters and the bases of the per-tap families
// (the per-tap index is base + tap, tap 0 = A ... 7 = H).
enum ParamIndex : int
{
    kParamWet = 0,
    kParamDry = 1,
    kParamLevel = 2,
    kParamFbScale = 3,
    kBaseIn = 4,
    kBaseRx = 13,
    kBaseMode = 22,
    kBaseTime = 31,
    kBaseBpm = 40,
    kBaseFb = 49,
    kBaseLpf = 58,
    kBaseHpf = 67,
    kBasePct = 85,
    kBaseRate = 103,
    kBaseDepth = 112,
    kBaseShape = 121,
    kBaseGain = 139,
    kBasePhase = 148,
    kBasePan = 157,
    kBaseMains = 166,
    kBaseOper = 175,
    kParamSclRst = 184,
    kParamSclDly = 185,
    kParamSclFbk = 186,
    kParamSclRate = 187,
    kParamSclDpth = 188,
    kParamPanic = 215,
    kNumHostParams = 216,    // parameters the host sees
    kParamPresetName = 216,  // never declared; the preset name control binds to it
    kParamPlaceholder = 217, // declared, nameless; its handler closes every bulk change
    kNumAllParams = 218
};

// Every handler family, once: its name (the handler is Delay::On<name>) and
// the base index of its per-tap parameters, or -1 for a global one. The
// enum, the family bases and Delay's handler table are made from this list.
#define ZELBOR_HANDLER_FAMILIES(X)                                                                 \
    X(Placeholder, -1)                                                                             \
    X(Wet, -1)                                                                                     \
    X(Dry, -1)                                                                                     \
    X(Level, -1)                                                                                   \
    X(FbScale, -1)                                                                                 \
    X(In, kBaseIn)                                                                                 \
    X(Rx, kBaseRx)                                                                                 \
    X(Mode, kBaseMode)                                                                             \
    X(Time, kBaseTime)                                                                             \
    X(Bpm, kBaseBpm)                                                                               \
    X(Fb, kBaseFb)                                                                                 \
    X(Lpf, kBaseLpf)                                                                               \
    X(Hpf, kBaseHpf)                                                                               \
    X(Pct, kBasePct)                                                                               \
    X(Rate, kBaseRate)                                                                             \
    X(Depth, kBaseDepth)                                                                           \
    X(Shape, kBaseShape)                                                                           \
    X(Gain, kBaseGain)                                                                             \
    X(Phase, kBasePhase)                                                                           \
    X(Pan, kBasePan)                                                                               \
    X(Mains, kBaseMains)                                                                           \
    X(Oper, kBaseOper)                                                                             \
    X(SclRst, -1)                                                                                  \
    X(SclDly, -1)                                                                                  \
    X(SclFbk, -1)                                                                                  \
    X(SclRate, -1)                                                                                 \
    X(SclDpth, -1)                                                                                 \
    X(Panic, -1)

// Which handler turns a parameter's value into engine settings. The value
// names the handler; Delay maps it to the code.
enum class ParamChangeHandler : unsigned char
{
#define ZELBOR_HANDLER_NAME(name, base) name,
    ZELBOR_HANDLER_FAMILIES(ZELBOR_HANDLER_NAME)
#undef ZELBOR_HANDLER_NAME
        Count
};

// Family base of a per-tap handler, or -1 for a global one.
int FamilyBase(ParamChangeHandler h);

// The four fields every definition row starts with.
struct ParamDef
{
    const char* name;
    const char* label;
    int index;
    ParamChangeHandler handler;
};

struct SwitchParamDef : ParamDef
{
    bool defaultOn;
};

struct EnumParamDef : ParamDef
{
    int defaultValue;
    int choiceCount;
    const char* const* choices;
};

struct ContinuousParamDef : ParamDef
{
    double defaultValue;
    double minimum;
    double maximum;
    double step;
};

// Tap letter of a per-tap row (0..7), or -1 for a global row.
inline int TapOf(const ParamDef& row)
{
    const int base = FamilyBase(row.handler);
    if (base < 0)
    {
        return -1;
    }
    const int t = row.index - base;
    return (t >= 0 && t < kNumTaps) ? t : -1;
}

// Choice texts (choice i has text i).
extern const char* const kInChoices[6];
extern const char* const kRxChoices[9];
extern const char* const kModeChoices[2];
extern const char* const kNoteChoices[23];
extern const char* const kShapeChoices[5];
extern const char* const kPhaseChoices[2];
extern const char* const kOperChoices[3];

constexpr int kNumNoteValues = 23;
// Length of each note value of the Bpm choice list in quarter-note beats.
extern const double kNoteBeats[kNumNoteValues];

constexpr int kNumSwitchDefs = 10;
constexpr int kNumEnumDefs = 56;
constexpr int kNumContinuousDefs = 80;

extern const SwitchParamDef kSwitchParamDefs[kNumSwitchDefs];
extern const EnumParamDef kEnumParamDefs[kNumEnumDefs];
extern const ContinuousParamDef kContinuousParamDefs[kNumContinuousDefs];
extern const ContinuousParamDef kPlaceholderParamDef;

// The shape exponent of the Scl_Dly, Scl_Rate and Scl_Dpth knobs.
constexpr double kScaleKnobShape = 2.295;
