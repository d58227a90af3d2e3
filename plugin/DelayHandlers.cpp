// Parameter handlers: each turns a parameter's new value into engine settings
// and shows the value in the readout.

#include "plugin/Delay.h"
#include "plugin/DelayRouting.h"

#include <cmath>

namespace
{

constexpr double kDbToGain = 0.1151292546497; // ln(10) / 20

double DbToGain(double dB)
{
    return std::exp(dB * kDbToGain);
}

} // namespace

void Delay::OnWet(const ParamDef& row, double v)
{
    mWetLevel = v;
    ShowReadout(row, v);
}

void Delay::OnDry(const ParamDef& row, double v)
{
    mDryLevel = v;
    ShowReadout(row, v);
}

void Delay::OnLevel(const ParamDef& row, double v)
{
    mOutputLevel = v;
    ShowReadout(row, v);
}

void Delay::OnFbScale(const ParamDef& row, double v)
{
    mFeedbackScale = v;
    ShowReadout(row, v);
}

void Delay::OnIn(const ParamDef& row, double v)
{
    const int t = TapOf(row);
    mLines[t].inputPort = ChoiceIndex(v, 6);
    RebuildRouting();
    UpdateStripVisibility(t);
    ShowReadout(row, v);
}

void Delay::OnRx(const ParamDef& row, double v)
{
    const int t = TapOf(row);
    const int requested = ChoiceIndex(v, kNumTaps + 1);
    // A source that would close a loop is refused; the parameter keeps the
    // requested value and the readout shows it. (The source menu also greys
    // taps further up the line's chain; a host may still choose them, as a
    // load does, since they close no loop.)
    if (!SourceClosesLoop(t, requested))
    {
        mLines[t].sourceTap = requested;
        // Requests refused before may be allowed now, so that a host
        // restoring its parameters one at a time reaches the routing it
        // stored even where, change by change, a request would have closed a
        // loop. A line changes at most once, to its request.
        bool changed[kNumTaps] = {};
        changed[t] = true;
        for (bool again = true; again;)
        {
            again = false;
            for (int i = 0; i < kNumTaps; ++i)
            {
                const int want = ChoiceIndex(GetParam(kBaseRx + i)->Value(), kNumTaps + 1);
                if (want != mLines[i].sourceTap && !SourceClosesLoop(i, want))
                {
                    mLines[i].sourceTap = want;
                    changed[i] = again = true;
                }
            }
        }
        RebuildRouting();
        for (int i = 0; i < kNumTaps; ++i)
        {
            if (changed[i])
            {
                UpdateStripVisibility(i);
            }
        }
    }
    ShowReadout(row, v);
}

void Delay::OnMode(const ParamDef& row, double v)
{
    const int t = TapOf(row);
    mLines[t].mode = ChoiceIndex(v, 2);
    mLines[t].ApplyLineTime();
    UpdateStripVisibility(t);
    ShowReadout(row, v);
}

void Delay::OnTime(const ParamDef& row, double v)
{
    DelayLine& line = mLines[TapOf(row)];
    line.timeMs = v;
    line.ApplyLineTime();
    ShowReadout(row, v);
}

void Delay::OnBpm(const ParamDef& row, double v)
{
    DelayLine& line = mLines[TapOf(row)];
    line.noteIndex = ChoiceIndex(v, kNumNoteValues);
    line.noteTimeMs = mTempo.NoteMs(kNoteBeats[line.noteIndex]);
    line.ApplyLineTime();
    ShowReadout(row, v);
}

void Delay::OnFb(const ParamDef& row, double v)
{
    mLines[TapOf(row)].feedbackGain = DbToGain(v);
    ShowReadout(row, v);
}

void Delay::OnLpf(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].SetLowPassCutoff(v);
    ShowReadout(row, v);
}

void Delay::OnHpf(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].SetHighPassCutoff(v);
    ShowReadout(row, v);
}

void Delay::OnPct(const ParamDef& row, double v)
{
    mLines[TapOf(row)].SetInjectionFraction(v);
    ShowReadout(row, v);
}

void Delay::OnRate(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].SetLfoRate(static_cast<float>(v));
    ShowReadout(row, v);
}

void Delay::OnDepth(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].lfoDepth = v;
    ShowReadout(row, v);
}

void Delay::OnShape(const ParamDef& row, double v)
{
    // Choosing the running shape again keeps the oscillator and its phase.
    mTaps[TapOf(row)].SetLfoShape(ChoiceIndex(v, 5));
    ShowReadout(row, v);
}

void Delay::OnGain(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].gain = DbToGain(v);
    ShowReadout(row, v);
}

void Delay::OnPhase(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].phaseSign = ChoiceIndex(v, 2) != 0 ? -1.0 : 1.0;
    ShowReadout(row, v);
}

void Delay::OnPan(const ParamDef& row, double v)
{
    mTaps[TapOf(row)].pan = v;
    ShowReadout(row, v);
}

void Delay::OnMains(const ParamDef& row, double v)
{
    DelayTap& tap = mTaps[TapOf(row)];
    tap.mains = v > 0.5;
    tap.UpdateActive();
    RebuildRouting();
    ShowReadout(row, v);
}

void Delay::OnOper(const ParamDef& row, double v)
{
    // 0 processed, 1 bypassed (the tap passes its line's input), 2 muted.
    const int t = TapOf(row);
    const int op = ChoiceIndex(v, 3);
    mTaps[t].operation = op;
}

void Delay::OnSclRst(const ParamDef& row, double v)
{
    if (v > 0.5)
    {
        ResetScaleKnobs();
        ShowReadout(row, v);
    }
}

void Delay::OnSclDly(const ParamDef& row, double v)
{
    for (DelayLine& line : mLines)
    {
        line.timeScale = v > 0.0 ? v : 0.01;
        line.ApplyLineTime();
    }
    ShowReadout(row, v);
}

void Delay::OnSclFbk(const ParamDef& row, double v)
{
    mFeedbackScaleFactor = v;
    ShowReadout(row, v);
}

void Delay::OnSclRate(const ParamDef& row, double v)
{
    mLfoRateScale = static_cast<float>(v);
    for (DelayTap& tap : mTaps)
    {
        tap.SetLfoRateScale(mLfoRateScale);
    }
    ShowReadout(row, v);
}

void Delay::OnSclDpth(const ParamDef& row, double v)
{
    mLfoDepthScale = static_cast<float>(v);
    ShowReadout(row, v);
}

void Delay::OnPanic(const ParamDef&, double v)
{
    if (v > 0.5)
    {
        Panic();
    }
}

void Delay::OnPlaceholder(const ParamDef&, double)
{
    // Every bulk change (host open, program and state restore, preset load)
    // runs all handlers in index order and ends here. Source changes are
    // judged one at a time against the routing in force, so loading a
    // loop-free routing over a different one can leave some of them refused
    // although the result would be valid. Bring the sources in line with
    // their parameters: start from the sources that already agree and add
    // the others in letter order, each unless it would close a loop.
    int want[kNumTaps];
    bool differs = false;
    for (int i = 0; i < kNumTaps; ++i)
    {
        const IPlugParam* p = GetParam(kBaseRx + i);
        want[i] = p != nullptr ? ChoiceIndex(p->Value(), kNumTaps + 1) : mLines[i].sourceTap;
        differs = differs || want[i] != mLines[i].sourceTap;
    }
    if (!differs)
    {
        return;
    }
    int sources[kNumTaps];
    for (int i = 0; i < kNumTaps; ++i)
    {
        sources[i] = want[i] == mLines[i].sourceTap ? want[i] : kNoTap;
    }
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (sources[i] != want[i] && !::SourceClosesLoop(sources, i, want[i]))
        {
            sources[i] = want[i];
        }
    }
    bool changed[kNumTaps] = {};
    for (int i = 0; i < kNumTaps; ++i)
    {
        changed[i] = sources[i] != mLines[i].sourceTap;
        mLines[i].sourceTap = sources[i];
    }
    RebuildRouting();
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (changed[i])
        {
            UpdateStripVisibility(i);
        }
    }
}
