#include "plugin/DelayKernel.h"

#include <emmintrin.h>

namespace
{

constexpr double kAntiDenormal = 1e-20;
constexpr double kFadeStep = 1.0 / 24.0;
constexpr double kFeedbackLimit = 1e6;

template <bool Wrap> inline void Advance(double*& p, double* base, double* end)
{
    ++p;
    if (Wrap && p == end)
    {
        p = base;
    }
}

inline void WrapAfter(double*& p, double* base, double* end)
{
    if (p == end)
    {
        p = base;
    }
}

void WrapAll(LaneState& s)
{
    WrapAfter(s.write, s.base, s.end);
    WrapAfter(s.inject, s.base, s.end);
    WrapAfter(s.readOld, s.base, s.end);
    WrapAfter(s.readNew, s.base, s.end);
}

template <bool Wrap> void RunLaneT(LaneState& s, int count, double* left, double* right)
{
    double* const base = s.base;
    double* const end = s.end;
    double* w = s.write;
    double* inj = s.inject;
    double* pOld = s.readOld;
    double* pNew = s.readNew;
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
        // added at the injection point.
        const double x = port[n] + src[n] + kAntiDenormal;
        *w = fb;
        Advance<Wrap>(w, base, end);
        *inj += x;
        Advance<Wrap>(inj, base, end);

        // Both allpass read heads, crossfading from the previous to the current.
        const double sOld = *pOld;
        Advance<Wrap>(pOld, base, end);
        const double yOld = (sOld - outOld) * cOld + inOld;
        inOld = sOld;
        outOld = yOld;
        const double sNew = *pNew;
        Advance<Wrap>(pNew, base, end);
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

    s.write = w;
    s.inject = inj;
    s.readOld = pOld;
    s.readNew = pNew;
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

inline __m128d Pair(double lo, double hi)
{
    return _mm_set_pd(hi, lo);
}

inline __m128d Gather(const double* lo, const double* hi)
{
    return _mm_loadh_pd(_mm_load_sd(lo), hi);
}

template <bool Wrap>
void RunLanePairT(LaneState& a, LaneState& b, int count, double* left, double* right)
{
    double* const baseA = a.base;
    double* const endA = a.end;
    double* const baseB = b.base;
    double* const endB = b.end;
    double* wA = a.write;
    double* wB = b.write;
    double* injA = a.inject;
    double* injB = b.inject;
    double* oldA = a.readOld;
    double* oldB = b.readOld;
    double* newA = a.readNew;
    double* newB = b.readNew;

    const __m128d cOld = Pair(a.coefOld, b.coefOld);
    const __m128d cNew = Pair(a.coefNew, b.coefNew);
    __m128d inOld = Pair(a.inOld, b.inOld);
    __m128d outOld = Pair(a.outOld, b.outOld);
    __m128d inNew = Pair(a.inNew, b.inNew);
    __m128d outNew = Pair(a.outNew, b.outNew);
    __m128d fade = Pair(a.fade, b.fade);
    const __m128d hb0 = Pair(a.hp[0], b.hp[0]), hb1 = Pair(a.hp[1], b.hp[1]),
                  hb2 = Pair(a.hp[2], b.hp[2]), ha1 = Pair(a.hp[3], b.hp[3]),
                  ha2 = Pair(a.hp[4], b.hp[4]);
    __m128d hx1 = Pair(a.hpState[0], b.hpState[0]), hx2 = Pair(a.hpState[1], b.hpState[1]),
            hy1 = Pair(a.hpState[2], b.hpState[2]), hy2 = Pair(a.hpState[3], b.hpState[3]);
    const __m128d lb0 = Pair(a.lp[0], b.lp[0]), lb1 = Pair(a.lp[1], b.lp[1]),
                  lb2 = Pair(a.lp[2], b.lp[2]), la1 = Pair(a.lp[3], b.lp[3]),
                  la2 = Pair(a.lp[4], b.lp[4]);
    __m128d lx1 = Pair(a.lpState[0], b.lpState[0]), lx2 = Pair(a.lpState[1], b.lpState[1]),
            ly1 = Pair(a.lpState[2], b.lpState[2]), ly2 = Pair(a.lpState[3], b.lpState[3]);
    const __m128d processed = Pair(a.processed, b.processed);
    const __m128d bypassed = Pair(a.bypassed, b.bypassed);
    const __m128d sign = Pair(a.sign, b.sign);
    const __m128d gain = Pair(a.gain, b.gain);
    const __m128d toLeft = Pair(a.toLeft, b.toLeft);
    const __m128d toRight = Pair(a.toRight, b.toRight);
    const __m128d loop = Pair(a.loop, b.loop);
    __m128d fb = Pair(a.feedback, b.feedback);
    const __m128d tiny = _mm_set1_pd(kAntiDenormal);
    const __m128d step = _mm_set1_pd(kFadeStep);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d zero = _mm_setzero_pd();
    const __m128d hiLimit = _mm_set1_pd(kFeedbackLimit);
    const __m128d loLimit = _mm_set1_pd(-kFeedbackLimit);

    for (int n = 0; n < count; ++n)
    {
        const __m128d x = _mm_add_pd(
            _mm_add_pd(Gather(a.port + n, b.port + n), Gather(a.source + n, b.source + n)), tiny);
        _mm_storel_pd(wA, fb);
        _mm_storeh_pd(wB, fb);
        Advance<Wrap>(wA, baseA, endA);
        Advance<Wrap>(wB, baseB, endB);
        *injA += _mm_cvtsd_f64(x);
        *injB += _mm_cvtsd_f64(_mm_unpackhi_pd(x, x));
        Advance<Wrap>(injA, baseA, endA);
        Advance<Wrap>(injB, baseB, endB);

        const __m128d sOld = Gather(oldA, oldB);
        Advance<Wrap>(oldA, baseA, endA);
        Advance<Wrap>(oldB, baseB, endB);
        const __m128d yOld = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(sOld, outOld), cOld), inOld);
        inOld = sOld;
        outOld = yOld;
        const __m128d sNew = Gather(newA, newB);
        Advance<Wrap>(newA, baseA, endA);
        Advance<Wrap>(newB, baseB, endB);
        const __m128d yNew = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(sNew, outNew), cNew), inNew);
        inNew = sNew;
        outNew = yNew;
        fade = _mm_min_pd(_mm_add_pd(fade, step), one);
        const __m128d blend =
            _mm_add_pd(_mm_mul_pd(yOld, _mm_sub_pd(one, fade)), _mm_mul_pd(yNew, fade));
        const __m128d later = _mm_cmpgt_pd(fade, zero);
        const __m128d y = _mm_or_pd(_mm_and_pd(later, blend), _mm_andnot_pd(later, yOld));

        const __m128d h =
            _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(hb0, y), _mm_mul_pd(hb1, hx1)),
                                             _mm_mul_pd(hb2, hx2)),
                                  _mm_mul_pd(ha1, hy1)),
                       _mm_mul_pd(ha2, hy2));
        hx2 = hx1;
        hx1 = y;
        hy2 = hy1;
        hy1 = h;
        const __m128d l =
            _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(lb0, h), _mm_mul_pd(lb1, lx1)),
                                             _mm_mul_pd(lb2, lx2)),
                                  _mm_mul_pd(la1, ly1)),
                       _mm_mul_pd(la2, ly2));
        lx2 = lx1;
        lx1 = h;
        ly2 = ly1;
        ly1 = l;

        const __m128d sum = _mm_mul_pd(_mm_mul_pd(l, gain), processed);
        const __m128d o = _mm_add_pd(sum, _mm_mul_pd(x, bypassed));
        const __m128d mains = _mm_mul_pd(o, sign);
        const __m128d o1 = _mm_add_pd(o, tiny);
        _mm_storel_pd(a.out + n, o1);
        _mm_storeh_pd(b.out + n, o1);
        // Lane a's share first, then lane b's, as one lane after the other.
        const __m128d shareL = _mm_mul_pd(toLeft, mains);
        const __m128d shareR = _mm_mul_pd(toRight, mains);
        left[n] =
            (left[n] + _mm_cvtsd_f64(shareL)) + _mm_cvtsd_f64(_mm_unpackhi_pd(shareL, shareL));
        right[n] =
            (right[n] + _mm_cvtsd_f64(shareR)) + _mm_cvtsd_f64(_mm_unpackhi_pd(shareR, shareR));
        fb = _mm_min_pd(_mm_max_pd(_mm_mul_pd(loop, sum), loLimit), hiLimit);
    }

    a.write = wA;
    b.write = wB;
    a.inject = injA;
    b.inject = injB;
    a.readOld = oldA;
    b.readOld = oldB;
    a.readNew = newA;
    b.readNew = newB;
    double lo[2];
    auto split = [&lo](__m128d v, double& va, double& vb)
    {
        _mm_storeu_pd(lo, v);
        va = lo[0];
        vb = lo[1];
    };
    split(inOld, a.inOld, b.inOld);
    split(outOld, a.outOld, b.outOld);
    split(inNew, a.inNew, b.inNew);
    split(outNew, a.outNew, b.outNew);
    split(fade, a.fade, b.fade);
    split(hx1, a.hpState[0], b.hpState[0]);
    split(hx2, a.hpState[1], b.hpState[1]);
    split(hy1, a.hpState[2], b.hpState[2]);
    split(hy2, a.hpState[3], b.hpState[3]);
    split(lx1, a.lpState[0], b.lpState[0]);
    split(lx2, a.lpState[1], b.lpState[1]);
    split(ly1, a.lpState[2], b.lpState[2]);
    split(ly2, a.lpState[3], b.lpState[3]);
    split(fb, a.feedback, b.feedback);
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
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d tiny = _mm_set1_pd(kAntiDenormal);

    {
        const double* oldA = a.readOld;
        const double* oldB = b.readOld;
        const double* newA = a.readNew;
        const double* newB = b.readNew;
        const __m128d cOld = Pair(a.coefOld, b.coefOld);
        const __m128d cNew = Pair(a.coefNew, b.coefNew);
        __m128d inOld = Pair(a.inOld, b.inOld);
        __m128d outOld = Pair(a.outOld, b.outOld);
        __m128d inNew = Pair(a.inNew, b.inNew);
        __m128d outNew = Pair(a.outNew, b.outNew);
        __m128d fade = Pair(a.fade, b.fade);
        const __m128d step = _mm_set1_pd(kFadeStep);
        const __m128d zero = _mm_setzero_pd();
        for (int n = 0; n < count; ++n)
        {
            const __m128d sOld = Gather(oldA + n, oldB + n);
            const __m128d yOld = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(sOld, outOld), cOld), inOld);
            inOld = sOld;
            outOld = yOld;
            const __m128d sNew = Gather(newA + n, newB + n);
            const __m128d yNew = _mm_add_pd(_mm_mul_pd(_mm_sub_pd(sNew, outNew), cNew), inNew);
            inNew = sNew;
            outNew = yNew;
            fade = _mm_min_pd(_mm_add_pd(fade, step), one);
            const __m128d blend =
                _mm_add_pd(_mm_mul_pd(yOld, _mm_sub_pd(one, fade)), _mm_mul_pd(yNew, fade));
            const __m128d later = _mm_cmpgt_pd(fade, zero);
            ys[n] = _mm_or_pd(_mm_and_pd(later, blend), _mm_andnot_pd(later, yOld));
        }
        a.readOld += count;
        b.readOld += count;
        a.readNew += count;
        b.readNew += count;
        double v[2];
        auto split = [&v](__m128d x, double& va, double& vb)
        {
            _mm_storeu_pd(v, x);
            va = v[0];
            vb = v[1];
        };
        split(inOld, a.inOld, b.inOld);
        split(outOld, a.outOld, b.outOld);
        split(inNew, a.inNew, b.inNew);
        split(outNew, a.outNew, b.outNew);
        split(fade, a.fade, b.fade);
    }

    // Both biquads over the stretch, lane a in the low half, lane b in the
    // high; the two recurrences overlap.
    {
        const __m128d hb0 = Pair(a.hp[0], b.hp[0]), hb1 = Pair(a.hp[1], b.hp[1]),
                      hb2 = Pair(a.hp[2], b.hp[2]), ha1 = Pair(a.hp[3], b.hp[3]),
                      ha2 = Pair(a.hp[4], b.hp[4]);
        __m128d hx1 = Pair(a.hpState[0], b.hpState[0]), hx2 = Pair(a.hpState[1], b.hpState[1]),
                hy1 = Pair(a.hpState[2], b.hpState[2]), hy2 = Pair(a.hpState[3], b.hpState[3]);
        const __m128d lb0 = Pair(a.lp[0], b.lp[0]), lb1 = Pair(a.lp[1], b.lp[1]),
                      lb2 = Pair(a.lp[2], b.lp[2]), la1 = Pair(a.lp[3], b.lp[3]),
                      la2 = Pair(a.lp[4], b.lp[4]);
        __m128d lx1 = Pair(a.lpState[0], b.lpState[0]), lx2 = Pair(a.lpState[1], b.lpState[1]),
                ly1 = Pair(a.lpState[2], b.lpState[2]), ly2 = Pair(a.lpState[3], b.lpState[3]);
        for (int n = 0; n < count; ++n)
        {
            const __m128d y = ys[n];
            const __m128d h = _mm_sub_pd(
                _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(hb0, y), _mm_mul_pd(hb1, hx1)),
                                      _mm_mul_pd(hb2, hx2)),
                           _mm_mul_pd(ha1, hy1)),
                _mm_mul_pd(ha2, hy2));
            hx2 = hx1;
            hx1 = y;
            hy2 = hy1;
            hy1 = h;
            const __m128d l = _mm_sub_pd(
                _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(lb0, h), _mm_mul_pd(lb1, lx1)),
                                      _mm_mul_pd(lb2, lx2)),
                           _mm_mul_pd(la1, ly1)),
                _mm_mul_pd(la2, ly2));
            lx2 = lx1;
            lx1 = h;
            ly2 = ly1;
            ly1 = l;
            ls[n] = l;
        }
        double v[2];
        const __m128d hst[4] = {hx1, hx2, hy1, hy2};
        const __m128d lst[4] = {lx1, lx2, ly1, ly2};
        for (int i = 0; i < 4; ++i)
        {
            _mm_storeu_pd(v, hst[i]);
            a.hpState[i] = v[0];
            b.hpState[i] = v[1];
            _mm_storeu_pd(v, lst[i]);
            a.lpState[i] = v[0];
            b.lpState[i] = v[1];
        }
    }

    {
        double* wA = a.write;
        double* wB = b.write;
        double* injA = a.inject;
        double* injB = b.inject;
        const __m128d processed = Pair(a.processed, b.processed);
        const __m128d bypassed = Pair(a.bypassed, b.bypassed);
        const __m128d sign = Pair(a.sign, b.sign);
        const __m128d gain = Pair(a.gain, b.gain);
        const __m128d toLeft = Pair(a.toLeft, b.toLeft);
        const __m128d toRight = Pair(a.toRight, b.toRight);
        const __m128d loop = Pair(a.loop, b.loop);
        const __m128d hiLimit = _mm_set1_pd(kFeedbackLimit);
        const __m128d loLimit = _mm_set1_pd(-kFeedbackLimit);
        __m128d fb = Pair(a.feedback, b.feedback);
        for (int n = 0; n < count; ++n)
        {
            const __m128d x = _mm_add_pd(
                _mm_add_pd(Gather(a.port + n, b.port + n), Gather(a.source + n, b.source + n)),
                tiny);
            _mm_storel_pd(wA + n, fb);
            _mm_storeh_pd(wB + n, fb);
            injA[n] += _mm_cvtsd_f64(x);
            injB[n] += _mm_cvtsd_f64(_mm_unpackhi_pd(x, x));
            const __m128d sum = _mm_mul_pd(_mm_mul_pd(ls[n], gain), processed);
            const __m128d o = _mm_add_pd(sum, _mm_mul_pd(x, bypassed));
            const __m128d mains = _mm_mul_pd(o, sign);
            const __m128d o1 = _mm_add_pd(o, tiny);
            _mm_storel_pd(a.out + n, o1);
            _mm_storeh_pd(b.out + n, o1);
            const __m128d shareL = _mm_mul_pd(toLeft, mains);
            const __m128d shareR = _mm_mul_pd(toRight, mains);
            left[n] =
                (left[n] + _mm_cvtsd_f64(shareL)) + _mm_cvtsd_f64(_mm_unpackhi_pd(shareL, shareL));
            right[n] =
                (right[n] + _mm_cvtsd_f64(shareR)) + _mm_cvtsd_f64(_mm_unpackhi_pd(shareR, shareR));
            fb = _mm_min_pd(_mm_max_pd(_mm_mul_pd(loop, sum), loLimit), hiLimit);
        }
        a.write += count;
        b.write += count;
        a.inject += count;
        b.inject += count;
        double v[2];
        _mm_storeu_pd(v, fb);
        a.feedback = v[0];
        b.feedback = v[1];
    }
}

// Whether the stretch's reads and writes stay apart (positions known not to
// wrap during it).
bool ReadsClearOfWrites(const LaneState& s, int count)
{
    const double* reads[2] = {s.readOld, s.readNew};
    const double* writes[2] = {s.write, s.inject};
    for (const double* r : reads)
    {
        for (const double* w : writes)
        {
            const long long gap = r > w ? r - w : w - r;
            if (gap < count)
            {
                return false;
            }
        }
    }
    return true;
}

} // namespace

int SamplesBeforeWrap(const LaneState& s)
{
    long long m = s.end - s.write;
    const long long others[3] = {s.end - s.inject, s.end - s.readOld, s.end - s.readNew};
    for (long long v : others)
    {
        m = v < m ? v : m;
    }
    return m > 1 << 30 ? 1 << 30 : static_cast<int>(m);
}

void RunLane(LaneState& s, int count, double* left, double* right)
{
    // Positions only need checking against the ring's end when one of them
    // gets there during this stretch.
    if (SamplesBeforeWrap(s) >= count)
    {
        RunLaneT<false>(s, count, left, right);
        WrapAll(s);
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
        WrapAll(a);
        WrapAll(b);
    }
    else
    {
        RunLanePairT<true>(a, b, count, left, right);
    }
}
