// Block processing: tempo tracking, output level, the 32-sample control
// steps and the sample loop through the lines in processing order.

#include <cfloat>
#include <cmath>
#include <xmmintrin.h>

#include "plugin/Delay.h"

namespace
{

// Keeps the recursive paths away from denormal numbers.
constexpr double kAntiDenormal = 1e-20;
constexpr double kSqrtHalf = 0.7071067811865475;
// Limits that only act on broken signals: an input sample beyond this is
// clipped, and a feedback value beyond it (a loop turned up past unity) is
// held there, so nothing ever grows to infinity.
constexpr double kSignalLimit = 1e6;

// Flush-to-zero and denormals-are-zero for the duration of a block.
class DenormalGuard
{
public:
    DenormalGuard() : mSaved(_mm_getcsr()) { _mm_setcsr(mSaved | 0x8040u); }
    ~DenormalGuard() { _mm_setcsr(mSaved); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    unsigned int mSaved;
};

inline double CleanInput(double x)
{
    x = std::fabs(x) <= DBL_MAX ? x : 0.0;
    x = x < -kSignalLimit ? -kSignalLimit : x;
    return x > kSignalLimit ? kSignalLimit : x;
}

inline double LimitFeedback(double x)
{
    x = x < -kSignalLimit ? -kSignalLimit : x;
    return x > kSignalLimit ? kSignalLimit : x;
}

} // namespace

// Everything the sample loop needs about one running line, gathered once per
// block so that the loop itself has no decisions to make about settings.
struct Delay::Lane
{
    DelayLine* line;
    DelayTap* tap;
    TapMeter* meter;
    int index;
    int port;
    int source;
    double processed; // 1 in state "oper", else 0
    double bypassed;  // 1 in state "byp", else 0
    double sign;      // phase sign when processed, 1 otherwise
    double gain;
    double left;      // (1 - pan) on the mains, else 0
    double right;     // pan on the mains, else 0
    double feedback;  // feedback gain x FbScale x Scl_Fbk
};

void Delay::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
    if (inputs == nullptr || outputs == nullptr || NInChannels() < 2 || NOutChannels() < 2)
    {
        IPlugBase::ProcessBlock(inputs, outputs, nFrames);
        return;
    }
    if (nFrames < 0)
    {
        nFrames = 0;
    }

    int numerator = 0;
    int denominator = 0;
    HostTimeSignature(numerator, denominator);
    if (numerator < 1 || denominator < 1)
    {
        numerator = 4;
        denominator = 4;
    }
    double tempo = HostTempo();
    if (!(tempo > 0.0))
    {
        tempo = 120.0;
    }
    if (mTempo.UpdateTempo(numerator, denominator, tempo))
    {
        ApplyTempoToLines();
    }

    const int position = HostSamplePosition();
    if (mLastBlockPosition < 0)
    {
        SetReadout("");
    }
    mLastBlockPosition = position;
    mExpectedPosition = position + nFrames;
    mPositionJump = false;

    // The level glides once per block; its two steps multiplied give the
    // block's gain, applied to the inputs and again to the mix.
    const double a = mLevelSmoother.a;
    const double b = mLevelSmoother.b;
    const double y1 = a * mLevelSmoother.z + b * mOutputLevel;
    const double y2 = a * y1 + b * mOutputLevel;
    mLevelSmoother.z = y2;
    const double gain = y1 * y2;

    if (nFrames > 0)
    {
        DenormalGuard denormals;
        Lane lanes[kNumTaps];
        PrepareLanes(lanes);
        int n = 0;
        while (n < nFrames)
        {
            if (mLfoCountdown <= 1)
            {
                // The control step falls on this sample.
                mLfoCountdown = DelayTap::kControlInterval + 1;
                ControlStep();
            }
            int run = mLfoCountdown - 1;
            if (run > nFrames - n)
            {
                run = nFrames - n;
            }
            RunSamples(lanes, gain, inputs[0] + n, inputs[1] + n, outputs[0] + n, outputs[1] + n,
                       run);
            mLfoCountdown -= run;
            n += run;
        }
    }

    mMeterCountdown -= nFrames;
    if (mMeterCountdown <= 0)
    {
        mMeterCountdown = mMeterPeriod;
        UpdateMeters();
    }
}

void Delay::PrepareLanes(Lane* lanes) const
{
    for (int k = 0; k < mOrderCount; ++k)
    {
        Lane& lane = lanes[k];
        DelayLine* line = mOrder[k];
        const int i = line->index;
        DelayTap* tap = const_cast<DelayTap*>(&mTaps[i]);
        lane.line = line;
        lane.tap = tap;
        lane.meter = const_cast<TapMeter*>(&mMeters[i]);
        lane.index = i;
        lane.port = line->inputPort >= 0 && line->inputPort < 6 ? line->inputPort : 0;
        lane.source = line->sourceTap >= 0 && line->sourceTap < kNumTaps ? line->sourceTap : kNoTap;
        lane.processed = tap->operation == DelayTap::Processed ? 1.0 : 0.0;
        lane.bypassed = tap->operation == DelayTap::Bypassed ? 1.0 : 0.0;
        lane.sign = tap->operation == DelayTap::Processed ? tap->phaseSign : 1.0;
        lane.gain = tap->gain;
        lane.left = tap->mains ? 1.0 - tap->pan : 0.0;
        lane.right = tap->mains ? tap->pan : 0.0;
        // Same grouping as gain x FbScale x Scl_Fbk x sum, left to right.
        lane.feedback = line->feedbackGain * mFeedbackScale * mFeedbackScaleFactor;
    }
}

void Delay::RunSamples(const Lane* lanes, double gain, const double* in0, const double* in1,
                       double* out0, double* out1, int count)
{
    const int laneCount = mOrderCount;
    const double dry = mDryLevel;
    const double wet = mWetLevel;
    double* tapOut = mTapOutputs;
    double* feedback = mFeedbackValues;
    for (int n = 0; n < count; ++n)
    {
        const double L = CleanInput(in0[n]) * gain;
        const double R = CleanInput(in1[n]) * gain;
        const double ports[6] = {0.0, L, R, (L + R) * 0.5, (L + R) * kSqrtHalf,
                                 (L - R) * kSqrtHalf};
        double left = 0.0;
        double right = 0.0;
        for (int k = 0; k < laneCount; ++k)
        {
            const Lane& lane = lanes[k];
            const double x = ports[lane.port] + tapOut[lane.source] + kAntiDenormal;
            lane.line->Write(x, feedback[lane.index]);
            const double y = lane.tap->Read();
            const double o0 = lane.tap->Filter(y) * lane.gain;
            const double sum = o0 * lane.processed;
            double o = sum + x * lane.bypassed;
            const double s = o * lane.sign;
            o += kAntiDenormal;
            tapOut[lane.index] = o;
            lane.meter->Run(o);
            left += lane.left * s;
            right += lane.right * s;
            feedback[lane.index] = LimitFeedback(lane.feedback * sum);
        }
        out0[n] = (L * dry + left * wet) * gain;
        out1[n] = (R * dry + right * wet) * gain;
    }
}

void Delay::ControlStep()
{
    const double depthScale = mLfoDepthScale;
    for (DelayTap& tap : mTaps)
    {
        tap.ControlStep(depthScale, mSamplesPerMs);
    }
}

void Delay::UpdateMeters()
{
    for (int i = 0; i < kNumTaps; ++i)
    {
        const float v = mTaps[i].active ? TapMeter::Position(mMeters[i].state) : 0.0f;
        mMeterValues[i].store(v, std::memory_order_relaxed);
    }
}
