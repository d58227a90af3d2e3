#pragma once

// Each step of a tap's per-sample work, written once over a lane type: a
// plain double (the engine's own path and the single-lane kernel), or a
// register of the group kernel: LanePair (two lanes to an SSE2 register),
// LaneQuad (four to an AVX2 one) or LaneOcto (eight to an AVX-512 one). A
// step does the same arithmetic in the same order for every type, with no
// fused multiply-add anywhere, so all paths agree to the bit.
//
// A lane type V has V(double) (every lane that value), V::Load, V::Gather
// and Store for kWidth lanes, + - *, > and <= (masks), Min, Max, Select and
// Abs; dsp/LaneOps.h has them for double.

#include "dsp/Biquad.h"
#include "dsp/HeadPair.h"
#include "dsp/LaneOps.h"

#include <cfloat>

// Added to a line's input and to each tap output: keeps the recursive paths
// away from denormal numbers.
constexpr double kAntiDenormal = 1e-20;
// A line's feedback sample is held within this (+24 dBFS): a loop turned up
// past unity self-oscillates loud but bounded, and falls back at once when
// the feedback is lowered. Ordinary signals never get there.
constexpr double kFeedbackLimit = 16.0;
// An input sample beyond this is broken and clipped.
constexpr double kSignalLimit = 1e6;
constexpr double kSqrtHalf = 0.7071067811865475;

// How many lanes a type holds, and its loads and stores, for double too.
template <class V> inline constexpr int kLanesOf = V::kWidth;
template <> inline constexpr int kLanesOf<double> = 1;
template <class V> [[gnu::always_inline]] inline V LoadLanes(const double* p)
{
    if constexpr (kLanesOf<V> == 1)
        return *p;
    else
        return V::Load(p);
}
template <class V> [[gnu::always_inline]] inline void StoreLanes(double* p, V v)
{
    if constexpr (kLanesOf<V> == 1)
        *p = v;
    else
        v.Store(p);
}

// A broken input sample (not a finite number) becomes silence, and one out
// of range is clipped.
template <class V> [[gnu::always_inline]] inline V CleanInput(V x)
{
    x = Select(Abs(x) <= V(DBL_MAX), x, V(0.0));
    return Min(Max(x, V(-kSignalLimit)), V(kSignalLimit));
}

template <class V> [[gnu::always_inline]] inline V LimitFeedback(V f)
{
    return Min(Max(f, V(-kFeedbackLimit)), V(kFeedbackLimit));
}

// A line's input: its port and the tap it hears.
template <class V> [[gnu::always_inline]] inline V LineInput(V port, V source)
{
    return port + source + V(kAntiDenormal);
}

// Both allpass read heads of a tap and the crossfade from the previous to
// the current one.
template <class T> struct TapHeads
{
    Allpass<T> old, current;
    T fade;

    // The samples under the previous and the current head in, the tap's
    // read out.
    [[gnu::always_inline]] T Read(T sOld, T sNew)
    {
        const T yOld = old.Run(sOld);
        const T yNew = current.Run(sNew);
        return HeadPair::Fade(fade, yOld, yNew);
    }
    template <class F, class... R> static void Each(F&& f, R&&... r)
    {
        Allpass<T>::Each(f, r.old...);
        Allpass<T>::Each(f, r.current...);
        f(r.fade...);
    }
};

// A tap's two filters: high-pass, then low-pass.
template <class T> struct TapFilters
{
    BiquadCoefficients<T> highPass;
    BiquadState<T> highState;
    BiquadCoefficients<T> lowPass;
    BiquadState<T> lowState;

    [[gnu::always_inline]] T Run(T y)
    {
        return RunBiquad(lowPass, lowState, RunBiquad(highPass, highState, y));
    }
    template <class F, class... R> static void Each(F&& f, R&&... r)
    {
        BiquadCoefficients<T>::Each(f, r.highPass...);
        BiquadState<T>::Each(f, r.highState...);
        BiquadCoefficients<T>::Each(f, r.lowPass...);
        BiquadState<T>::Each(f, r.lowState...);
    }
};

// A tap's output settings, and the output stage: from the line's input x and
// the filtered signal l, the tap output (what lines that hear the tap get),
// its signal for the main outputs and the feedback sample for its line.
template <class T> struct OutputStage
{
    T processed; // 1 in operation "oper", else 0
    T bypassed;  // 1 in operation "byp", else 0
    T sign;      // phase sign when processed, else 1
    T gain;
    T toLeft;       // (1 - pan) on the mains, else 0
    T toRight;      // pan on the mains, else 0
    T feedbackGain; // the line's feedback x FbScale x Scl_Fbk

    struct Result
    {
        T out, mains, feedback;
    };
    // Processed: the filtered, scaled signal (which alone feeds back);
    // bypassed: the line's input; muted: nothing.
    [[gnu::always_inline]] Result Run(T x, T l) const
    {
        const T sum = l * gain * processed;
        const T o = sum + x * bypassed;
        return {o + T(kAntiDenormal), o * sign, LimitFeedback(feedbackGain * sum)};
    }
    template <class F, class... R> static void Each(F&& f, R&&... r)
    {
        f(r.processed...), f(r.bypassed...), f(r.sign...), f(r.gain...);
        f(r.toLeft...), f(r.toRight...), f(r.feedbackGain...);
    }
};

// The input ports from sample from on, kLanesOf<V> samples at a time, as far
// as whole registers go; returns where it stopped. Ports 1 and 2 take the
// cleaned inputs times the level gain, and with sums ports 3 to 5 take
// (L + R) / 2, (L + R) x sqrt(1/2) and (L - R) x sqrt(1/2); the main-output
// sums are cleared.
template <class V>
int FeedPorts(const double* in0, const double* in1, double gain, bool sums, double* const* ports,
              double* left, double* right, int from, int count)
{
    int n = from;
    for (; n + kLanesOf<V> <= count; n += kLanesOf<V>)
    {
        const V L = CleanInput(LoadLanes<V>(in0 + n)) * V(gain);
        const V R = CleanInput(LoadLanes<V>(in1 + n)) * V(gain);
        StoreLanes(ports[1] + n, L);
        StoreLanes(ports[2] + n, R);
        StoreLanes(left + n, V(0.0));
        StoreLanes(right + n, V(0.0));
        if (sums)
        {
            StoreLanes(ports[3] + n, (L + R) * V(0.5));
            StoreLanes(ports[4] + n, (L + R) * V(kSqrtHalf));
            StoreLanes(ports[5] + n, (L - R) * V(kSqrtHalf));
        }
    }
    return n;
}

// The main outputs from sample from on, (input x dry + share x wet) x gain,
// as far as whole registers go; returns where it stopped.
template <class V>
int MixMains(const double* in0, const double* in1, const double* left, const double* right,
             double dry, double wet, double gain, double* out0, double* out1, int from, int count)
{
    int n = from;
    for (; n + kLanesOf<V> <= count; n += kLanesOf<V>)
    {
        const V mixL = LoadLanes<V>(in0 + n) * V(dry) + LoadLanes<V>(left + n) * V(wet);
        const V mixR = LoadLanes<V>(in1 + n) * V(dry) + LoadLanes<V>(right + n) * V(wet);
        StoreLanes(out0 + n, mixL * V(gain));
        StoreLanes(out1 + n, mixR * V(gain));
    }
    return n;
}
