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

namespace
{

// Delay-line memory as one flat ring, when the line's blocks lie end to end.
bool FlatRing(const DelayBuffer& buffer, double*& base, double*& end)
{
    if (buffer.blockCount <= 0 || buffer.blocks.size() != static_cast<size_t>(buffer.blockCount))
    {
        return false;
    }
    base = buffer.blocks[0].data;
    for (int i = 0; i < buffer.blockCount; ++i)
    {
        if (buffer.blocks[static_cast<size_t>(i)].data != base + static_cast<size_t>(i) * DelayBuffer::kBlockSize)
        {
            return false;
        }
    }
    end = base + buffer.length;
    return true;
}

inline void Step(double*& p, double* base, double* end)
{
    if (++p == end)
    {
        p = base;
    }
}

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
        const bool laneByLane = PrepareLanes(lanes);
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
            if (laneByLane)
            {
                RunLanes(lanes, gain, inputs[0] + n, inputs[1] + n, outputs[0] + n,
                         outputs[1] + n, run);
            }
            else
            {
                RunSamples(lanes, gain, inputs[0] + n, inputs[1] + n, outputs[0] + n,
                           outputs[1] + n, run);
            }
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

bool Delay::PrepareLanes(Lane* lanes) const
{
    bool laneByLane = !mSampleBySample;
    int position[kNumTaps + 1];
    for (int i = 0; i <= kNumTaps; ++i)
    {
        position[i] = -1;
    }
    for (int k = 0; k < mOrderCount; ++k)
    {
        position[mOrder[k]->index] = k;
    }
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

        // Lane by lane over a stretch of samples is exact only when every
        // source a lane hears runs before it (or not at all), and when the
        // line's memory can be walked as one ring.
        double* base = nullptr;
        double* end = nullptr;
        if (position[lane.source] >= k || !FlatRing(line->buffer, base, end) ||
            tap->line != line || tap->heads.headA.buffer != &line->buffer ||
            tap->heads.headB.buffer != &line->buffer)
        {
            laneByLane = false;
        }
    }
    return laneByLane;
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

void Delay::RunLanes(const Lane* lanes, double gain, const double* in0, const double* in1,
                     double* out0, double* out1, int count)
{
    // Everything between two control steps: one lane at a time over up to 32
    // samples, with each lane's state held in locals. The arithmetic and its
    // order per sample are those of RunSamples.
    constexpr int kMax = DelayTap::kControlInterval;
    double ports[6][kMax];
    double outs[kNumTaps + 1][kMax];
    double left[kMax];
    double right[kMax];
    for (int n = 0; n < count; ++n)
    {
        const double L = CleanInput(in0[n]) * gain;
        const double R = CleanInput(in1[n]) * gain;
        ports[0][n] = 0.0;
        ports[1][n] = L;
        ports[2][n] = R;
        ports[3][n] = (L + R) * 0.5;
        ports[4][n] = (L + R) * kSqrtHalf;
        ports[5][n] = (L - R) * kSqrtHalf;
        left[n] = 0.0;
        right[n] = 0.0;
    }
    // Taps that do not run hold their output for the whole stretch.
    bool running[kNumTaps + 1] = {};
    for (int k = 0; k < mOrderCount; ++k)
    {
        running[lanes[k].index] = true;
    }
    for (int i = 0; i <= kNumTaps; ++i)
    {
        if (!running[i])
        {
            for (int n = 0; n < count; ++n)
            {
                outs[i][n] = mTapOutputs[i];
            }
        }
    }

    for (int k = 0; k < mOrderCount; ++k)
    {
        const Lane& lane = lanes[k];
        DelayLine& line = *lane.line;
        DelayTap& tap = *lane.tap;
        HeadPair& heads = tap.heads;
        Biquad& hp = tap.highPass;
        Biquad& lp = tap.lowPass;
        const double* port = ports[lane.port];
        const double* src = outs[lane.source];
        double* out = outs[lane.index];

        double* const base = line.buffer.blocks[0].data;
        double* const end = base + line.buffer.length;
        double* w = line.writeCursor.slot;
        double* inj = line.injectCursor.slot;
        ReadHead& oldHead = *heads.previous;
        ReadHead& newHead = *heads.current;
        double* pOld = oldHead.cursor.slot;
        double* pNew = newHead.cursor.slot;
        const double cOld = oldHead.coefficient;
        const double cNew = newHead.coefficient;
        double inOld = oldHead.previousInput, outOld = oldHead.previousOutput;
        double inNew = newHead.previousInput, outNew = newHead.previousOutput;
        double fade = heads.crossfade;
        const double hb0 = hp.b0, hb1 = hp.b1, hb2 = hp.b2, ha1 = hp.a1, ha2 = hp.a2;
        double hx1 = hp.x1, hx2 = hp.x2, hy1 = hp.y1, hy2 = hp.y2;
        const double lb0 = lp.b0, lb1 = lp.b1, lb2 = lp.b2, la1 = lp.a1, la2 = lp.a2;
        double lx1 = lp.x1, lx2 = lp.x2, ly1 = lp.y1, ly2 = lp.y2;
        const double processed = lane.processed, bypassed = lane.bypassed, sign = lane.sign;
        const double tapGain = lane.gain, toLeft = lane.left, toRight = lane.right;
        const double loop = lane.feedback;
        double fb = mFeedbackValues[lane.index];

        for (int n = 0; n < count; ++n)
        {
            const double x = port[n] + src[n] + kAntiDenormal;
            *w = fb;
            Step(w, base, end);
            *inj += x;
            Step(inj, base, end);

            const double sOld = *pOld;
            Step(pOld, base, end);
            const double yOld = (sOld - outOld) * cOld + inOld;
            inOld = sOld;
            outOld = yOld;
            const double sNew = *pNew;
            Step(pNew, base, end);
            const double yNew = (sNew - outNew) * cNew + inNew;
            inNew = sNew;
            outNew = yNew;
            fade += HeadPair::kFadeStep;
            if (fade > 1.0)
            {
                fade = 1.0;
            }
            const double y = fade > 0.0 ? yOld * (1.0 - fade) + yNew * fade : yOld;

            const double h = hb0 * y + hb1 * hx1 + hb2 * hx2 - ha1 * hy1 - ha2 * hy2;
            hx2 = hx1;
            hx1 = y;
            hy2 = hy1;
            hy1 = h;
            const double l = lb0 * h + lb1 * lx1 + lb2 * lx2 - la1 * ly1 - la2 * ly2;
            lx2 = lx1;
            lx1 = h;
            ly2 = ly1;
            ly1 = l;

            const double o0 = l * tapGain;
            const double sum = o0 * processed;
            double o = sum + x * bypassed;
            const double s = o * sign;
            o += kAntiDenormal;
            out[n] = o;
            left[n] += toLeft * s;
            right[n] += toRight * s;
            fb = LimitFeedback(loop * sum);
        }

        // Back into the engine's records.
        const int written = static_cast<int>(w - base);
        line.writeIndex = written;
        line.writeCursor = line.buffer.CursorAt(written);
        line.injectCursor = line.buffer.CursorAt(static_cast<int>(inj - base));
        oldHead.cursor = line.buffer.CursorAt(static_cast<int>(pOld - base));
        newHead.cursor = line.buffer.CursorAt(static_cast<int>(pNew - base));
        oldHead.previousInput = inOld;
        oldHead.previousOutput = outOld;
        newHead.previousInput = inNew;
        newHead.previousOutput = outNew;
        heads.crossfade = fade;
        hp.x1 = hx1;
        hp.x2 = hx2;
        hp.y1 = hy1;
        hp.y2 = hy2;
        lp.x1 = lx1;
        lp.x2 = lx2;
        lp.y1 = ly1;
        lp.y2 = ly2;
        mFeedbackValues[lane.index] = fb;
        mTapOutputs[lane.index] = out[count - 1];

        // With the usual zero coefficient the meter holds the last square.
        TapMeter& meter = *lane.meter;
        if (meter.coefficient == 0.0)
        {
            const double last = out[count - 1];
            meter.Run(last);
        }
        else
        {
            for (int n = 0; n < count; ++n)
            {
                meter.Run(out[n]);
            }
        }
    }

    for (int n = 0; n < count; ++n)
    {
        const double L = ports[1][n];
        const double R = ports[2][n];
        out0[n] = (L * mDryLevel + left[n] * mWetLevel) * gain;
        out1[n] = (R * mDryLevel + right[n] * mWetLevel) * gain;
    }
}
