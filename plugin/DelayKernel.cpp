#include "plugin/DelayKernel.h"

#include "dsp/HeadPair.h"

#include <emmintrin.h>

namespace
{

constexpr double kFadeStep = HeadPair::kFadeStep;

template <bool Wrap>
[[gnu::always_inline]] inline void StepOn(double*& p, double* base, double* end)
{
    ++p;
    if (Wrap && p == end)
    {
        p = base;
    }
}

// A lane's four positions in its ring, held in locals for a stretch; all of
// them move on by one slot per sample.
struct Cursors
{
    double* const base;
    double* const end;
    double* write;
    double* inject;
    double* readOld;
    double* readNew;

    [[gnu::always_inline]] explicit Cursors(const LaneState& s)
        : base(s.base), end(s.end), write(s.write), inject(s.inject), readOld(s.readOld),
          readNew(s.readNew)
    {
    }
    template <bool Wrap> [[gnu::always_inline]] void Advance()
    {
        StepOn<Wrap>(write, base, end);
        StepOn<Wrap>(inject, base, end);
        StepOn<Wrap>(readOld, base, end);
        StepOn<Wrap>(readNew, base, end);
    }
    [[gnu::always_inline]] void Store(LaneState& s) const
    {
        s.write = write;
        s.inject = inject;
        s.readOld = readOld;
        s.readNew = readNew;
    }
};

template <bool Wrap> void RunLaneT(LaneState& s, int count, double* left, double* right)
{
    Cursors c(s);
    const double* const port = s.port;
    const double* const src = s.source;
    double* const out = s.out;
    const double cOld = s.coefOld, cNew = s.coefNew;
    double inOld = s.inOld, outOld = s.outOld, inNew = s.inNew, outNew = s.outNew;
    double fade = s.fade;
    const double hb0 = s.hp[0], hb1 = s.hp[1], hb2 = s.hp[2], ha1 = s.hp[3], ha2 = s.hp[4];
    double hx1 = s.hpState[0], hx2 = s.hpState[1], hy1 = s.hpState[2], hy2 = s.hpState[3];
    const double lb0 = s.lp[0], lb1 = s.lp[1], lb2 = s.lp[2], la1 = s.lp[3], la2 = s.lp[4];
    double lx1 = s.lpState[0], lx2 = s.lpState[1], ly1 = s.lpState[2], ly2 = s.lpState[3];
    const double processed = s.processed, bypassed = s.bypassed, sign = s.sign;
    const double gain = s.gain, toLeft = s.toLeft, toRight = s.toRight, loop = s.loop;
    double fb = s.feedback;

    for (int n = 0; n < count; ++n)
    {
        // The line: last sample's feedback at the write position, the input
        // added at the injection point (which may be the same slot).
        const double x = port[n] + src[n] + kAntiDenormal;
        *c.write = fb;
        *c.inject += x;

        // Both allpass read heads, crossfading from the previous to the current.
        const double sOld = *c.readOld;
        const double sNew = *c.readNew;
        c.Advance<Wrap>();
        const double yOld = (sOld - outOld) * cOld + inOld;
        inOld = sOld;
        outOld = yOld;
        const double yNew = (sNew - outNew) * cNew + inNew;
        inNew = sNew;
        outNew = yNew;
        fade += kFadeStep;
        fade = fade > 1.0 ? 1.0 : fade;
        const double y = fade > 0.0 ? yOld * (1.0 - fade) + yNew * fade : yOld;

        // High-pass, then low-pass.
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

        // Processed: the filtered, scaled signal (which alone feeds back);
        // bypassed: the line's input; muted: nothing.
        const double sum = l * gain * processed;
        double o = sum + x * bypassed;
        const double mains = o * sign;
        o += kAntiDenormal;
        out[n] = o;
        left[n] += toLeft * mains;
        right[n] += toRight * mains;
        double f = loop * sum;
        f = f < -kFeedbackLimit ? -kFeedbackLimit : f;
        fb = f > kFeedbackLimit ? kFeedbackLimit : f;
    }

    c.Store(s);
    s.inOld = inOld;
    s.outOld = outOld;
    s.inNew = inNew;
    s.outNew = outNew;
    s.fade = fade;
    s.hpState[0] = hx1;
    s.hpState[1] = hx2;
    s.hpState[2] = hy1;
    s.hpState[3] = hy2;
    s.lpState[0] = lx1;
    s.lpState[1] = lx2;
    s.lpState[2] = ly1;
    s.lpState[3] = ly2;
    s.feedback = fb;
}

// Two lanes side by side: lane a in the low half of each register, lane b in
// the high half. Every operation is the scalar one, done on both halves.

[[gnu::always_inline]] inline __m128d Pair(double lo, double hi)
{
    return _mm_set_pd(hi, lo);
}

[[gnu::always_inline]] inline __m128d Gather(const double* lo, const double* hi)
{
    return _mm_loadh_pd(_mm_load_sd(lo), hi);
}

[[gnu::always_inline]] inline double High(__m128d v)
{
    return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
}

[[gnu::always_inline]] inline void Split(__m128d v, double& lo, double& hi)
{
    _mm_storel_pd(&lo, v);
    _mm_storeh_pd(&hi, v);
}

// The line input of sample n: the port, the heard tap and the anti-denormal
// constant.
[[gnu::always_inline]] inline __m128d LineInputs(const double* portA, const double* portB,
                                                 const double* srcA, const double* srcB)
{
    return _mm_add_pd(_mm_add_pd(Gather(portA, portB), Gather(srcA, srcB)),
                      _mm_set1_pd(kAntiDenormal));
}

// Last sample's feedback at the write slots, then the inputs added at the
// injection slots (a slot may be both).
[[gnu::always_inline]] inline void WriteLines(double* writeA, double* writeB, double* injectA,
                                              double* injectB, __m128d feedback, __m128d x)
{
    _mm_storel_pd(writeA, feedback);
    _mm_storeh_pd(writeB, feedback);
    *injectA += _mm_cvtsd_f64(x);
    *injectB += High(x);
}

// Both allpass read heads of two lanes and the crossfade from the previous
// head to the current one.
struct PairedHeads
{
    const __m128d cOld, cNew;
    __m128d inOld, outOld, inNew, outNew, fade;

    [[gnu::always_inline]] PairedHeads(const LaneState& a, const LaneState& b)
        : cOld(Pair(a.coefOld, b.coefOld)), cNew(Pair(a.coefNew, b.coefNew)),
          inOld(Pair(a.inOld, b.inOld)), outOld(Pair(a.outOld, b.outOld)),
          inNew(Pair(a.inNew, b.inNew)), outNew(Pair(a.outNew, b.outNew)),
          fade(Pair(a.fade, b.fade))
    {
    }
    // One sample: the samples under the previous and the current heads in,
    // the crossfaded output out.
    [[gnu::always_inline]] __m128d Read(__m128d sOld, __m128d sNew)
    {
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d yOld = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(sOld, outOld), cOld), inOld);
        inOld = sOld;
        outOld = yOld;
        const __m128d yNew = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(sNew, outNew), cNew), inNew);
        inNew = sNew;
        outNew = yNew;
        fade = _mm_min_pd(_mm_add_pd(fade, _mm_set1_pd(kFadeStep)), one);
        const __m128d blend =
            _mm_add_pd(_mm_mul_pd(yOld, _mm_sub_pd(one, fade)), _mm_mul_pd(yNew, fade));
        const __m128d later = _mm_cmpgt_pd(fade, _mm_setzero_pd());
        return _mm_or_pd(_mm_and_pd(later, blend), _mm_andnot_pd(later, yOld));
    }
    [[gnu::always_inline]] void Store(LaneState& a, LaneState& b) const
    {
        Split(inOld, a.inOld, b.inOld);
        Split(outOld, a.outOld, b.outOld);
        Split(inNew, a.inNew, b.inNew);
        Split(outNew, a.outNew, b.outNew);
        Split(fade, a.fade, b.fade);
    }
};

// One biquad section of two lanes (coefficients b0 b1 b2 a1 a2, state x1 x2
// y1 y2).
struct PairedBiquad
{
    const __m128d b0, b1, b2, a1, a2;
    __m128d x1, x2, y1, y2;

    [[gnu::always_inline]] PairedBiquad(const double* coefA, const double* stateA,
                                        const double* coefB, const double* stateB)
        : b0(Pair(coefA[0], coefB[0])), b1(Pair(coefA[1], coefB[1])), b2(Pair(coefA[2], coefB[2])),
          a1(Pair(coefA[3], coefB[3])), a2(Pair(coefA[4], coefB[4])),
          x1(Pair(stateA[0], stateB[0])), x2(Pair(stateA[1], stateB[1])),
          y1(Pair(stateA[2], stateB[2])), y2(Pair(stateA[3], stateB[3]))
    {
    }
    [[gnu::always_inline]] __m128d Run(__m128d x)
    {
        const __m128d y =
            _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(b0, x), _mm_mul_pd(b1, x1)),
                                             _mm_mul_pd(b2, x2)),
                                  _mm_mul_pd(a1, y1)),
                       _mm_mul_pd(a2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    [[gnu::always_inline]] void Store(double* stateA, double* stateB) const
    {
        Split(x1, stateA[0], stateB[0]);
        Split(x2, stateA[1], stateB[1]);
        Split(y1, stateA[2], stateB[2]);
        Split(y2, stateA[3], stateB[3]);
    }
};

// The output stage of two lanes: the tap outputs, their shares of the main
// outputs and the feedback values for the next sample.
struct PairedOutput
{
    const __m128d processed, bypassed, sign, gain, toLeft, toRight, loop;
    __m128d feedback;

    [[gnu::always_inline]] PairedOutput(const LaneState& a, const LaneState& b)
        : processed(Pair(a.processed, b.processed)), bypassed(Pair(a.bypassed, b.bypassed)),
          sign(Pair(a.sign, b.sign)), gain(Pair(a.gain, b.gain)), toLeft(Pair(a.toLeft, b.toLeft)),
          toRight(Pair(a.toRight, b.toRight)), loop(Pair(a.loop, b.loop)),
          feedback(Pair(a.feedback, b.feedback))
    {
    }
    // One sample from the line inputs x and the filtered signal l.
    // Processed: the filtered, scaled signal (which alone feeds back);
    // bypassed: the line's input; muted: nothing.
    [[gnu::always_inline]] void Run(__m128d x, __m128d l, double* outA, double* outB, double& left,
                                    double& right)
    {
        const __m128d sum = _mm_mul_pd(_mm_mul_pd(l, gain), processed);
        const __m128d o = _mm_add_pd(sum, _mm_mul_pd(x, bypassed));
        const __m128d mains = _mm_mul_pd(o, sign);
        const __m128d o1 = _mm_add_pd(o, _mm_set1_pd(kAntiDenormal));
        _mm_storel_pd(outA, o1);
        _mm_storeh_pd(outB, o1);
        // Lane a's share first, then lane b's, as one lane after the other.
        const __m128d shareL = _mm_mul_pd(toLeft, mains);
        const __m128d shareR = _mm_mul_pd(toRight, mains);
        left = (left + _mm_cvtsd_f64(shareL)) + High(shareL);
        right = (right + _mm_cvtsd_f64(shareR)) + High(shareR);
        feedback = _mm_min_pd(_mm_max_pd(_mm_mul_pd(loop, sum), _mm_set1_pd(-kFeedbackLimit)),
                              _mm_set1_pd(kFeedbackLimit));
    }
    [[gnu::always_inline]] void Store(LaneState& a, LaneState& b) const
    {
        Split(feedback, a.feedback, b.feedback);
    }
};

template <bool Wrap>
void RunLanePairT(LaneState& a, LaneState& b, int count, double* left, double* right)
{
    Cursors ca(a);
    Cursors cb(b);
    PairedHeads heads(a, b);
    PairedBiquad highPass(a.hp, a.hpState, b.hp, b.hpState);
    PairedBiquad lowPass(a.lp, a.lpState, b.lp, b.lpState);
    PairedOutput stage(a, b);
    for (int n = 0; n < count; ++n)
    {
        const __m128d x = LineInputs(a.port + n, b.port + n, a.source + n, b.source + n);
        WriteLines(ca.write, cb.write, ca.inject, cb.inject, stage.feedback, x);
        const __m128d y =
            heads.Read(Gather(ca.readOld, cb.readOld), Gather(ca.readNew, cb.readNew));
        ca.Advance<Wrap>();
        cb.Advance<Wrap>();
        stage.Run(x, lowPass.Run(highPass.Run(y)), a.out + n, b.out + n, left[n], right[n]);
    }
    ca.Store(a);
    cb.Store(b);
    heads.Store(a, b);
    highPass.Store(a.hpState, b.hpState);
    lowPass.Store(a.lpState, b.lpState);
    stage.Store(a, b);
}

// The same work as RunLanePairT<false> in three passes over the stretch: read
// heads, the two filters, then the line writes and the output stage.
// Each pass holds only short recurrences, so the processor overlaps far more of
// consecutive samples than in one long chain per sample. Moving every read
// ahead of every write is exact only when no slot is both read and written
// during the stretch, which the caller checks.
void RunLanePairSplit(LaneState& a, LaneState& b, int count, double* left, double* right)
{
    alignas(16) __m128d ys[32];
    alignas(16) __m128d ls[32];

    {
        const double* oldA = a.readOld;
        const double* oldB = b.readOld;
        const double* newA = a.readNew;
        const double* newB = b.readNew;
        PairedHeads heads(a, b);
        for (int n = 0; n < count; ++n)
        {
            ys[n] = heads.Read(Gather(oldA + n, oldB + n), Gather(newA + n, newB + n));
        }
        heads.Store(a, b);
        a.readOld += count;
        b.readOld += count;
        a.readNew += count;
        b.readNew += count;
    }

    // Both biquads over the stretch; the two lanes' recurrences overlap.
    {
        PairedBiquad highPass(a.hp, a.hpState, b.hp, b.hpState);
        PairedBiquad lowPass(a.lp, a.lpState, b.lp, b.lpState);
        for (int n = 0; n < count; ++n)
        {
            ls[n] = lowPass.Run(highPass.Run(ys[n]));
        }
        highPass.Store(a.hpState, b.hpState);
        lowPass.Store(a.lpState, b.lpState);
    }

    {
        double* const wA = a.write;
        double* const wB = b.write;
        double* const injA = a.inject;
        double* const injB = b.inject;
        PairedOutput stage(a, b);
        for (int n = 0; n < count; ++n)
        {
            const __m128d x = LineInputs(a.port + n, b.port + n, a.source + n, b.source + n);
            WriteLines(wA + n, wB + n, injA + n, injB + n, stage.feedback, x);
            stage.Run(x, ls[n], a.out + n, b.out + n, left[n], right[n]);
        }
        stage.Store(a, b);
        a.write += count;
        b.write += count;
        a.inject += count;
        b.inject += count;
    }
}

} // namespace

void RunLane(LaneState& s, int count, double* left, double* right)
{
    // Positions only need checking against the ring's end when one of them
    // gets there during this stretch.
    if (SamplesBeforeWrap(s) >= count)
    {
        RunLaneT<false>(s, count, left, right);
        WrapAtRingEnd(s);
    }
    else
    {
        RunLaneT<true>(s, count, left, right);
    }
}

void RunLanePair(LaneState& a, LaneState& b, int count, double* left, double* right)
{
    if (SamplesBeforeWrap(a) >= count && SamplesBeforeWrap(b) >= count)
    {
        if (ReadsClearOfWrites(a, count) && ReadsClearOfWrites(b, count))
        {
            RunLanePairSplit(a, b, count, left, right);
        }
        else
        {
            RunLanePairT<false>(a, b, count, left, right);
        }
        WrapAtRingEnd(a);
        WrapAtRingEnd(b);
    }
    else
    {
        RunLanePairT<true>(a, b, count, left, right);
    }
}

void ClearUnusedSlots(LaneGroup& g)
{
    for (int j = g.laneCount; j < LaneGroup::kSlots; ++j)
    {
        for (double* field : {g.coefOld, g.inOld, g.outOld, g.coefNew, g.inNew, g.outNew, g.fade,
                              g.glideA, g.glideB, g.glide, g.target, g.delayOld, g.delayNew})
            field[j] = 0.0;
        for (int i = 0; i < 5; ++i)
            g.hp[i][j] = g.lp[i][j] = 0.0;
        for (int i = 0; i < 4; ++i)
            g.hpState[i][j] = g.lpState[i][j] = 0.0;
    }
}

void GatherGroup(LaneGroup& g)
{
    ClearUnusedSlots(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        const LaneState& s = *g.lanes[j];
        g.coefOld[j] = s.coefOld;
        g.inOld[j] = s.inOld;
        g.outOld[j] = s.outOld;
        g.coefNew[j] = s.coefNew;
        g.inNew[j] = s.inNew;
        g.outNew[j] = s.outNew;
        g.fade[j] = s.fade;
        for (int i = 0; i < 5; ++i)
        {
            g.hp[i][j] = s.hp[i];
            g.lp[i][j] = s.lp[i];
        }
        for (int i = 0; i < 4; ++i)
        {
            g.hpState[i][j] = s.hpState[i];
            g.lpState[i][j] = s.lpState[i];
        }
    }
    SurveyGroup(g);
}

void ScatterGroup(const LaneGroup& g)
{
    for (int j = 0; j < g.laneCount; ++j)
    {
        LaneState& s = *g.lanes[j];
        s.coefOld = g.coefOld[j];
        s.inOld = g.inOld[j];
        s.outOld = g.outOld[j];
        s.coefNew = g.coefNew[j];
        s.inNew = g.inNew[j];
        s.outNew = g.outNew[j];
        s.fade = g.fade[j];
        for (int i = 0; i < 5; ++i)
        {
            s.hp[i] = g.hp[i][j];
            s.lp[i] = g.lp[i][j];
        }
        for (int i = 0; i < 4; ++i)
        {
            s.hpState[i] = g.hpState[i][j];
            s.lpState[i] = g.lpState[i][j];
        }
    }
}
