// The block driver: tempo tracking, output level, the 32-sample control
// steps and the stretches between them, run by the lane engine or, sample
// by sample, through the engine's own objects (the reference).

#include "plugin/Delay.h"

#include <emmintrin.h>

namespace
{

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

} // namespace

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

    // One question to the host per block; a host that tells nothing plays
    // at 120 BPM in 4/4.
    const HostBlockTime time = HostTimeForBlock();
    int numerator = time.numerator;
    int denominator = time.denominator;
    if (numerator < 1 || denominator < 1)
    {
        numerator = 4;
        denominator = 4;
    }
    double tempo = time.tempo;
    if (!(tempo > 0.0))
    {
        tempo = 120.0;
    }
    if (mTempo.UpdateTempo(numerator, denominator, tempo))
    {
        ApplyTempoToLines();
    }
    if (mStartPending)
    {
        // After the tempo: a tempo-locked line's target may just have moved.
        mStartPending = false;
        PlaceTapsAtTargets();
    }

    if (mFirstBlock)
    {
        mFirstBlock = false;
        SetReadout("");
    }

    // The level glides once per block; its two steps multiplied give the
    // block's gain, applied to the inputs and again to the mix. The step
    // follows the block's length, so the glide takes the same time at every
    // block size.
    // The distance left shrinks by the step; within a millionth of a
    // millionth it is gone, so the glide lands on the level exactly, at
    // every block size.
    const double a = std::exp(mLevelGlidePerFrame * nFrames);
    const double level = mOutputLevel;
    auto glide = [a, level](double z)
    {
        const double y = level + a * (z - level);
        return std::fabs(y - level) <= 1e-12 * std::fabs(level) ? level : y;
    };
    const double y1 = glide(mLevelSmoother.z);
    const double y2 = glide(y1);
    mLevelSmoother.z = y2;
    const double gain = y1 * y2;

    if (nFrames > 0)
    {
        DenormalGuard denormals;
        LaneEngine& engine = *mLanes;
        const bool laneByLane = engine.Prepare();
        const bool allWide = laneByLane && engine.AllWide();
        int n = 0;
        while (n < nFrames)
        {
            if (mLfoCountdown <= 1)
            {
                // The control step falls on this sample.
                mLfoCountdown = DelayTap::kControlInterval + 1;
                if (laneByLane)
                {
                    engine.Step(0);
                }
                else
                {
                    ControlStep();
                }
            }
            int run = mLfoCountdown - 1;
            if (run > nFrames - n)
            {
                run = nFrames - n;
            }
            const int after = nFrames - n - run;
            if (allWide && after > 0 && after <= kLongestStretch - DelayTap::kControlInterval)
            {
                // The next step falls within the block's last few samples:
                // rather than a stretch of those few alone, one stretch takes
                // the step inside when the groups allow it.
                engine.Step(run);
                const bool across = engine.RunsAcrossStep(run, run + after);
                const int count = across ? run + after : run;
                engine.Run(gain, inputs[0] + n, inputs[1] + n, outputs[0] + n, outputs[1] + n,
                           count, run);
                if (!across)
                {
                    engine.TakeSteps();
                }
                mLfoCountdown = DelayTap::kControlInterval + 1 - (count - run);
                n += count;
                continue;
            }
            if (laneByLane)
            {
                engine.Run(gain, inputs[0] + n, inputs[1] + n, outputs[0] + n, outputs[1] + n, run,
                           run);
            }
            else
            {
                RunSamples(engine.Lanes(), gain, inputs[0] + n, inputs[1] + n, outputs[0] + n,
                           outputs[1] + n, run);
            }
            mLfoCountdown -= run;
            n += run;
        }
        // The engine's records and the lanes now agree; the lanes serve the
        // next block unless something changes the engine first.
        engine.Finish();
    }

    mMeterCountdown -= nFrames;
    if (mMeterCountdown <= 0)
    {
        mMeterCountdown = mMeterPeriod;
        UpdateMeters();
    }
}

void Delay::RunSamples(const LaneEngine::Lane* lanes, double gain, const double* in0,
                       const double* in1, double* out0, double* out1, int count)
{
    const int laneCount = mOrderCount;
    const double dry = mDryLevel;
    const double wet = mWetLevel;
    double* tapOut = mTapOutputs;
    double* feedback = mFeedbackValues;
    // Each meter looks at one sample of the stretch, as in the lane kernels.
    int meterAt[kNumTaps];
    double metered[kNumTaps] = {};
    for (int k = 0; k < laneCount; ++k)
    {
        meterAt[k] = count > 0 ? lanes[k].meter->Pick(count) : 0;
    }
    for (int n = 0; n < count; ++n)
    {
        const double L = CleanInput(in0[n]) * gain;
        const double R = CleanInput(in1[n]) * gain;
        const double ports[6] = {
            0.0, L, R, (L + R) * 0.5, (L + R) * kSqrtHalf, (L - R) * kSqrtHalf};
        double left = 0.0;
        double right = 0.0;
        for (int k = 0; k < laneCount; ++k)
        {
            const LaneEngine::Lane& lane = lanes[k];
            const double x = LineInput(ports[lane.port], tapOut[lane.source]);
            lane.line->Write(x, feedback[lane.index]);
            const auto r = lane.output.Run(x, lane.tap->Filter(lane.tap->Read()));
            tapOut[lane.index] = r.out;
            if (n == meterAt[k])
            {
                metered[k] = r.out;
            }
            left += lane.output.toLeft * r.mains;
            right += lane.output.toRight * r.mains;
            feedback[lane.index] = r.feedback;
        }
        out0[n] = (L * dry + left * wet) * gain;
        out1[n] = (R * dry + right * wet) * gain;
    }
    for (int k = 0; k < laneCount && count > 0; ++k)
    {
        lanes[k].meter->Take(metered[k], count);
    }
}

void Delay::ControlStep()
{
    // All the LFOs first, then all the heads: each tap's step is a long
    // chain of dependent arithmetic, and the processor overlaps the taps'
    // chains better when they come in short, independent pieces.
    const double depthScale = mLfoDepthScale;
    float values[kNumTaps];
    for (int i = 0; i < kNumTaps; ++i)
    {
        values[i] = mTaps[i].AdvanceLfo();
    }
    // The heads of a tap whose line does not run are placed when it runs
    // again.
    for (int i = 0; i < kNumTaps; ++i)
    {
        if (mLanes->Running(i))
            mTaps[i].MoveHeads(values[i], depthScale, mSamplesPerMs);
        else
            mTaps[i].MoveIdleHeads(values[i], depthScale, mSamplesPerMs);
    }
}

void Delay::UpdateMeters()
{
    for (int i = 0; i < kNumTaps; ++i)
    {
        const float v = mTaps[i].active ? TapMeter::Position(mMeters[i].state) : 0.0f;
        mMeterValues[i].store(v, std::memory_order_relaxed);
    }
    PublishEchoMap();
}
