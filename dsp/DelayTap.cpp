#include "dsp/DelayTap.h"

#include "dsp/DelayLine.h"
#include "dsp/TempoInfo.h"

DelayTap::DelayTap()
    : lowPass(Biquad::LowPass, 10000.0, 1.9), highPass(Biquad::HighPass, 200.0, 1.9)
{
    lowPass.maxBandwidthWarp = Biquad::kTapBandwidthWarp;
    highPass.maxBandwidthWarp = Biquad::kTapBandwidthWarp;
    lowPass.Design();
    highPass.Design();
}

void DelayTap::ControlStep(double depthScale, double samplesPerMs)
{
    MoveHeads(AdvanceLfo(), depthScale, samplesPerMs);
}

void DelayTap::Restart(double depthScale, double samplesPerMs)
{
    lowPass.Clear();
    highPass.Clear();
    lfo.Restart();
    heads.Snap(ModulationOffset(lfo.Value(), depthScale, samplesPerMs));
}

void DelayTap::SetSampleRate(double rate)
{
    lfo->SetSampleRate(static_cast<float>(rate));
    heads.smoother.Restart();
    lowPass.SetSampleRate(rate);
    highPass.SetSampleRate(rate);
}

void DelayTap::ClearState()
{
    heads.ClearState();
    lowPass.Clear();
    highPass.Clear();
}

bool DelayTap::Feeds(const DelayLine* l) const
{
    for (int i = 0; i < fedCount; ++i)
        if (fedLines[static_cast<size_t>(i)] == l) return true;
    return false;
}

void DelayTap::AddFedLine(DelayLine* l)
{
    if (l == nullptr || Feeds(l) || fedCount >= kMaxFedLines) return;
    fedLines[static_cast<size_t>(fedCount++)] = l;
}

void AttachTap(DelayLine* line, DelayTap& tap)
{
    if (line != nullptr && tap.Feeds(line)) line = nullptr;
    tap.line = line;
    tap.heads.Attach(line);
    tap.lowPass.Clear();
    tap.highPass.Clear();
    tap.UpdateActive();
}

void PairLineAndTap(DelayLine& line, DelayTap& tap, int index, TempoInfo& tempo)
{
    line.index = index;
    line.tempo = &tempo;
    tap.index = index;
    AttachTap(&line, tap);
    line.AddTap(&tap);
    line.UpdateTapTargets();
}
