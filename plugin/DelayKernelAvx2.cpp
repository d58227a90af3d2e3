// Up to eight lanes side by side, four to a 256-bit register. Every function
// in this file is compiled for AVX2 and runs only where the processor and the
// operating system support it; nothing else in the program uses AVX2.
//
// A stretch runs in three passes: the read heads of all lanes, then their two
// filters, then each lane's line writes and output stage. The first two hold
// the recurrences, and with all lanes in one loop the processor works on
// eight of them at once. The last has none, so it runs four samples to a
// register, one lane after the other. Each lane does exactly the scalar
// arithmetic of the sample-by-sample path in the same order (no fused
// multiply-add), so the results are identical to the bit.

// Everything this file compiles is compiled for AVX2, the steps of
// TapSteps.h that it instantiates for LaneQuad included: the target is set
// before any header. It uses no step on plain doubles, and the plain inline
// helpers of DelayKernel.h are defined elsewhere, so that no function other
// translation units share comes out of here in AVX2 form.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC target("avx2")
#endif

#include "dsp/HeadPair.h"
#include "plugin/DelayKernel.h"
#include "plugin/LaneQuad.h"

#include <cfloat>
#include <immintrin.h>
#include <utility>

// What this file defines, all of it AVX2 code (scripts/vector-check.sh
// reads the names).
#define AVX2_FUNCTION
#define AVX2_INLINE [[gnu::always_inline]] inline

namespace
{

constexpr int kWidth = 4; // lanes per register

// What the read heads of an unused slot in a register see.
const double kSilence[kLongestStretch] = {};

// Rows become columns: r[i][k] goes to r[k][i].
AVX2_INLINE void Transpose(LaneQuad* r)
{
    const __m256d t0 = _mm256_unpacklo_pd(r[0].v, r[1].v);
    const __m256d t1 = _mm256_unpackhi_pd(r[0].v, r[1].v);
    const __m256d t2 = _mm256_unpacklo_pd(r[2].v, r[3].v);
    const __m256d t3 = _mm256_unpackhi_pd(r[2].v, r[3].v);
    r[0] = LaneQuad(_mm256_permute2f128_pd(t0, t2, 0x20));
    r[1] = LaneQuad(_mm256_permute2f128_pd(t1, t3, 0x20));
    r[2] = LaneQuad(_mm256_permute2f128_pd(t0, t2, 0x31));
    r[3] = LaneQuad(_mm256_permute2f128_pd(t1, t3, 0x31));
}

AVX2_INLINE __m256d Load4(const double* p)
{
    return _mm256_loadu_pd(p);
}

// A record's four slots from first on into registers, and back.
template <class Quads, class Rows> AVX2_INLINE void LoadSlots(Quads& q, const Rows& rows, int first)
{
    ForEachField([first](LaneQuad& v, const Slots& row) { v = LaneQuad::Load(row.lane + first); },
                 q, rows);
}
template <class Quads, class Rows>
AVX2_INLINE void StoreSlots(const Quads& q, Rows& rows, int first)
{
    ForEachField([first](const LaneQuad& v, Slots& row) { v.Store(row.lane + first); }, q, rows);
}

// Both allpass read heads of the four lanes in slots first..first+3, and the
// crossfade from the previous head to the current one.
struct HeadQuad
{
    const double* oldP[kWidth];
    const double* newP[kWidth];
    TapHeads<LaneQuad> h;

    AVX2_INLINE void Load(const LaneGroup& g, int first)
    {
        for (int i = 0; i < kWidth; ++i)
        {
            const bool used = first + i < g.laneCount;
            oldP[i] = used ? g.lanes[first + i]->readOld : kSilence;
            newP[i] = used ? g.lanes[first + i]->readNew : kSilence;
        }
        LoadSlots(h, g.heads, first);
    }
    // The samples under the four heads at n.
    AVX2_INLINE static LaneQuad At(const double* const* p, int n)
    {
        return LaneQuad(_mm256_set_pd(p[3][n], p[2][n], p[1][n], p[0][n]));
    }
    // The samples under the four heads at n..n+3, one register per sample.
    AVX2_INLINE static void Block(const double* const* p, int n, LaneQuad* s)
    {
        for (int i = 0; i < kWidth; ++i)
            s[i] = LaneQuad::Load(p[i] + n);
        Transpose(s);
    }
    // Samples n..n+3 of the four lanes into ys (stride doubles per sample).
    AVX2_INLINE void ReadBlock(int n, double* ys, int stride)
    {
        LaneQuad sOld[kWidth], sNew[kWidth];
        Block(oldP, n, sOld);
        Block(newP, n, sNew);
#pragma GCC unroll 4
        for (int i = 0; i < kWidth; ++i)
            h.Read(sOld[i], sNew[i]).Store(ys + (n + i) * stride);
    }
    AVX2_INLINE void Store(LaneGroup& g, int first, int count) const
    {
        StoreSlots(h, g.heads, first);
        for (int i = 0; i < kWidth && first + i < g.laneCount; ++i)
        {
            g.lanes[first + i]->readOld += count;
            g.lanes[first + i]->readNew += count;
        }
    }
};

// The read heads of R registers' lanes from slot first on: ring samples
// in, crossfaded head outputs out (ys[n * stride + slot - first]).
// Samples from .. count - 1 of the heads in h0 (and h1), read relative to
// their lanes' positions at from.
template <int R>
AVX2_INLINE void ReadSpan(HeadQuad& h0, HeadQuad& h1, int from, int count, double* ys, int stride)
{
    double* const at = ys + from * stride;
    const int length = count - from;
    int n = 0;
    for (; n + kWidth <= length; n += kWidth)
    {
        h0.ReadBlock(n, at, stride);
        if constexpr (R == 2) h1.ReadBlock(n, at + kWidth, stride);
    }
    for (; n < length; ++n)
    {
        h0.h.Read(HeadQuad::At(h0.oldP, n), HeadQuad::At(h0.newP, n)).Store(at + n * stride);
        if constexpr (R == 2)
            h1.h.Read(HeadQuad::At(h1.oldP, n), HeadQuad::At(h1.newP, n))
                .Store(at + n * stride + kWidth);
    }
}

// The prepared step for slots first .. first + width - 1: the idle head,
// with its allpass state, becomes the current one at the prepared slot.
AVX2_INLINE void TakeSlots(LaneGroup& g, int first, int width)
{
    Allpass<Slots>& old = g.heads.old;
    Allpass<Slots>& current = g.heads.current;
    for (int q = first; q < first + width; q += kWidth)
    {
        _mm256_storeu_pd(old.coefficient.lane + q, Load4(current.coefficient.lane + q));
        _mm256_storeu_pd(current.coefficient.lane + q, Load4(g.pendingCoef.lane + q));
        for (const auto& [idle, now] : {std::pair{old.input.lane, current.input.lane},
                                        std::pair{old.output.lane, current.output.lane}})
        {
            const __m256d held = Load4(idle + q);
            _mm256_storeu_pd(idle + q, Load4(now + q));
            _mm256_storeu_pd(now + q, held);
        }
        _mm256_storeu_pd(g.heads.fade.lane + q, _mm256_set1_pd(HeadPair::kFadeStart));
    }
    for (int j = first; j < first + width && j < g.laneCount; ++j)
    {
        LaneState& s = *g.lanes[j];
        s.readOld = s.readNew;
        s.readNew = s.base + g.pendingSlot[j];
    }
}

// The read heads of R registers' lanes from slot first on: ring samples
// in, crossfaded head outputs out (ys[n * stride + slot - first]). With
// stepAt < count the prepared step is taken after stepAt samples.
template <int R>
AVX2_FUNCTION void ReadHeads(LaneGroup& g, int first, int count, double* ys, int stride, int stepAt)
{
    HeadQuad h0, h1;
    h0.Load(g, first);
    if constexpr (R == 2) h1.Load(g, first + kWidth);
    ReadSpan<R>(h0, h1, 0, stepAt, ys, stride);
    if (stepAt < count)
    {
        h0.Store(g, first, stepAt);
        if constexpr (R == 2) h1.Store(g, first + kWidth, stepAt);
        TakeSlots(g, first, kWidth * R);
        h0.Load(g, first);
        if constexpr (R == 2) h1.Load(g, first + kWidth);
        ReadSpan<R>(h0, h1, stepAt, count, ys, stride);
    }
    const int moved = stepAt < count ? count - stepAt : count;
    h0.Store(g, first, moved);
    if constexpr (R == 2) h1.Store(g, first + kWidth, moved);
}

// High-pass, then low-pass, of R registers' lanes from slot first on: ys
// in (as ReadHeads leaves them), each lane's filtered samples out in a row of
// byLane.
template <int R>
AVX2_FUNCTION void RunFilters(LaneGroup& g, int first, int count, const double* ys, int stride,
                              double (*byLane)[kLongestStretch])
{
    TapFilters<LaneQuad> f0, f1;
    LoadSlots(f0, g.filters, first);
    if constexpr (R == 2) LoadSlots(f1, g.filters, first + kWidth);
    int n = 0;
    for (; n + kWidth <= count; n += kWidth)
    {
        LaneQuad l0[kWidth], l1[kWidth];
#pragma GCC unroll 4
        for (int i = 0; i < kWidth; ++i)
        {
            const double* y = ys + (n + i) * stride;
            l0[i] = f0.Run(LaneQuad::Load(y));
            if constexpr (R == 2) l1[i] = f1.Run(LaneQuad::Load(y + kWidth));
        }
        Transpose(l0);
        for (int k = 0; k < kWidth; ++k)
            l0[k].Store(byLane[first + k] + n);
        if constexpr (R == 2)
        {
            Transpose(l1);
            for (int k = 0; k < kWidth; ++k)
                l1[k].Store(byLane[first + kWidth + k] + n);
        }
    }
    for (; n < count; ++n)
    {
        double l[kWidth * R];
        f0.Run(LaneQuad::Load(ys + n * stride)).Store(l);
        if constexpr (R == 2) f1.Run(LaneQuad::Load(ys + n * stride + kWidth)).Store(l + kWidth);
        for (int k = 0; k < kWidth * R; ++k)
            byLane[first + k][n] = l[k];
    }
    StoreSlots(f0, g.filters, first);
    if constexpr (R == 2) StoreSlots(f1, g.filters, first + kWidth);
}

// One lane's output stage, line writes and main-output shares, four samples
// to a register, from the lane's filtered samples l.
// Block by block, each feedback value goes to its write slot before the
// inputs are added at the injection slots: the per-sample order, because no
// injection slot of the stretch is written later in it.
AVX2_FUNCTION void RunOutputs(LaneState& s, int count, const double* l, double* left, double* right)
{
    const double* const port = s.port;
    const double* const src = s.source;
    double* const out = s.out;
    double* const write = s.write;
    double* const inject = s.inject;
    OutputStage<LaneQuad> stage;
    ForEachField([](LaneQuad& q, const double& v) { q = LaneQuad(v); }, stage, s.output);
    // Sample n writes the feedback sample of sample n - 1; the rotated
    // register's first slot carries the last one over.
    __m256d carried = _mm256_set1_pd(s.feedbackSample);
    const bool sameSlot = inject == write;
    int n = 0;
    for (; n + kWidth <= count; n += kWidth)
    {
        const LaneQuad x = LineInput(LaneQuad::Load(port + n), LaneQuad::Load(src + n));
        const auto r = stage.Run(x, LaneQuad::Load(l + n));
        r.out.Store(out + n);
        (LaneQuad::Load(left + n) + stage.toLeft * r.mains).Store(left + n);
        (LaneQuad::Load(right + n) + stage.toRight * r.mains).Store(right + n);
        // (f3 f0 f1 f2), then the previous f3 into the first slot.
        const __m256d rotated = _mm256_permute4x64_pd(r.feedback.v, _MM_SHUFFLE(2, 1, 0, 3));
        const LaneQuad written(_mm256_blend_pd(rotated, carried, 0x1));
        carried = rotated;
        if (sameSlot)
        {
            (written + x).Store(write + n);
        }
        else
        {
            written.Store(write + n);
            (LaneQuad::Load(inject + n) + x).Store(inject + n);
        }
    }
    // The last samples one at a time, each in every slot of a register.
    double fb = _mm256_cvtsd_f64(carried);
    for (; n < count; ++n)
    {
        const LaneQuad x = LineInput(LaneQuad(port[n]), LaneQuad(src[n]));
        const auto r = stage.Run(x, LaneQuad(l[n]));
        out[n] = r.out.First();
        left[n] += (stage.toLeft * r.mains).First();
        right[n] += (stage.toRight * r.mains).First();
        write[n] = fb;
        inject[n] += x.First();
        fb = r.feedback.First();
    }
    s.feedbackSample = fb;
    s.write += count;
    s.inject += count;
}

AVX2_FUNCTION void RunSplit(LaneGroup& g, int count, double* left, double* right, int stepAt)
{
    constexpr int W = LaneGroup::kSlots;
    alignas(64) double ys[kLongestStretch * W];
    alignas(64) double byLane[LaneGroup::kSlots][kLongestStretch];
    if (g.laneCount > kWidth)
    {
#if defined(__x86_64__)
        // Sixteen registers hold two registers' heads at once.
        ReadHeads<2>(g, 0, count, ys, W, stepAt);
#else
        // Eight do not: one register's heads at a time.
        ReadHeads<1>(g, 0, count, ys, W, stepAt);
        ReadHeads<1>(g, kWidth, count, ys + kWidth, W, stepAt);
#endif
        // The two registers' filter recurrences overlap; with eight
        // registers their states spill, which still costs less than
        // running one register's filters after the other's.
        RunFilters<2>(g, 0, count, ys, W, byLane);
    }
    else
    {
        ReadHeads<1>(g, 0, count, ys, W, stepAt);
        RunFilters<1>(g, 0, count, ys, W, byLane);
    }
    for (int j = 0; j < g.laneCount; ++j)
    {
        RunOutputs(*g.lanes[j], count, byLane[j], left, right);
    }
}

// Whether the three passes give the per-sample result over a stretch in which
// no position wraps: nothing read is written during the stretch, and no
// injection slot is written later in it.
AVX2_FUNCTION bool Separable(const LaneState& s, int count)
{
    const std::ptrdiff_t ahead = s.inject - s.write;
    return ReadsClearOfWrites(s, count) && !(ahead >= 1 && ahead < count);
}

AVX2_INLINE __m128i Load4i(const int* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Whether the unsigned values a <= b, lane by lane.
AVX2_INLINE __m128i AtMost(__m128i a, __m128i b)
{
    return _mm_cmpeq_epi32(_mm_min_epu32(a, b), a);
}

// The forward distance from slot from to slot to round a ring of len slots.
AVX2_INLINE __m128i Ahead(__m128i to, __m128i from, __m128i len)
{
    const __m128i d = _mm_sub_epi32(to, from);
    return _mm_add_epi32(d, _mm_and_si128(len, _mm_cmpgt_epi32(_mm_setzero_si128(), d)));
}

// SurveyGroup for four lanes, on slot indices: the samples before a position
// reaches the ring's end.
AVX2_INLINE void RoomQuad(__m128i len, __m128i write, __m128i inject, __m128i readOld,
                          __m128i readNew, int* room)
{
    __m128i least = _mm_min_epi32(_mm_sub_epi32(len, write), _mm_sub_epi32(len, inject));
    least = _mm_min_epi32(least, _mm_sub_epi32(len, readOld));
    least = _mm_min_epi32(least, _mm_sub_epi32(len, readNew));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(room), least);
}

// Whether every stretch of up to gap samples can run in passes, for four
// lanes: no read slot within gap of a written one, no injection 1 .. gap - 1
// slots ahead of the write, a ring of at least 2 gap slots.
AVX2_INLINE void ApartQuad(__m128i len, __m128i write, __m128i inject, __m128i readOld,
                           __m128i readNew, int gapSlots, int* separable)
{
    const __m128i gap = _mm_set1_epi32(gapSlots);
    const __m128i span = _mm_sub_epi32(len, _mm_set1_epi32(2 * gapSlots));
    __m128i ok = _mm_cmpgt_epi32(len, _mm_set1_epi32(2 * gapSlots - 1));
    for (const __m128i read : {readOld, readNew})
    {
        for (const __m128i written : {write, inject})
        {
            ok = _mm_and_si128(ok, AtMost(_mm_sub_epi32(Ahead(read, written, len), gap), span));
        }
    }
    const __m128i ahead = _mm_sub_epi32(Ahead(inject, write, len), _mm_set1_epi32(1));
    ok = _mm_andnot_si128(AtMost(ahead, _mm_set1_epi32(gapSlots - 2)), ok);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(separable), ok);
}

// The lanes' positions as slot indices (0 .. length) in their rings; slots
// past the last lane hold 0.
struct SlotIndices
{
    int length[LaneGroup::kSlots] = {};
    int write[LaneGroup::kSlots] = {};
    int inject[LaneGroup::kSlots] = {};
    int readOld[LaneGroup::kSlots] = {};
    int readNew[LaneGroup::kSlots] = {};

    AVX2_INLINE explicit SlotIndices(const LaneGroup& g)
    {
        for (int j = 0; j < g.laneCount; ++j)
        {
            const LaneState& s = *g.lanes[j];
            length[j] = static_cast<int>(s.end - s.base);
            write[j] = static_cast<int>(s.write - s.base);
            inject[j] = static_cast<int>(s.inject - s.base);
            readOld[j] = static_cast<int>(s.readOld - s.base);
            readNew[j] = static_cast<int>(s.readNew - s.base);
        }
    }
};

// Whether every lane is separable, and the least room among the lanes.
AVX2_INLINE void TakeSurvey(const LaneGroup& g, const int* room, const int* separable,
                            bool& allSeparable, int& least)
{
    allSeparable = true;
    least = 1 << 30;
    for (int j = 0; j < g.laneCount; ++j)
    {
        allSeparable = allSeparable && separable[j] != 0;
        least = room[j] < least ? room[j] : least;
    }
}

// The paired kernels on a group whose stretch cannot run in passes.
AVX2_FUNCTION void RunInPairs(LaneGroup& g, int count, double* left, double* right)
{
    ScatterGroup(g);
    LaneState* const* lanes = g.lanes;
    const int laneCount = g.laneCount;
    int j = 0;
    for (; j + 1 < laneCount; j += 2)
    {
        RunLanePair(*lanes[j], *lanes[j + 1], count, left, right);
    }
    if (j < laneCount)
    {
        RunLane(*lanes[j], count, left, right);
    }
    GatherGroup(g);
}

} // namespace

AVX2_FUNCTION int FeedPortsQuad(const double* in0, const double* in1, double gain, bool sums,
                                double* const* ports, double* left, double* right, int count)
{
    return FeedPorts<LaneQuad>(in0, in1, gain, sums, ports, left, right, 0, count);
}

AVX2_FUNCTION int MixMainsQuad(const double* in0, const double* in1, const double* left,
                               const double* right, double dry, double wet, double gain,
                               double* out0, double* out1, int count)
{
    return MixMains<LaneQuad>(in0, in1, left, right, dry, wet, gain, out0, out1, 0, count);
}

AVX2_FUNCTION void RunLaneQuads(LaneGroup& g, int count, double* left, double* right, int stepAt)
{
    if (stepAt < count)
    {
        RunSplit(g, count, left, right, stepAt);
        g.separable = g.pendingSeparable;
        g.untilWrap = g.pendingUntilWrap - (count - stepAt);
        ++g.steps;
        return;
    }
    // Usually nothing reaches a ring's end and nothing read is written.
    if (g.separable && count < g.untilWrap)
    {
        RunSplit(g, count, left, right, count);
        g.untilWrap -= count;
        return;
    }
    LaneState* const* lanes = g.lanes;
    const int laneCount = g.laneCount;
    // The stretch is cut where a position reaches its ring's end, so that
    // every piece runs without wrapping.
    int done = 0;
    while (done < count)
    {
        int run = count - done;
        for (int j = 0; j < laneCount; ++j)
        {
            const int room = SamplesBeforeWrap(*lanes[j]);
            run = room < run ? room : run;
        }
        bool separable = true;
        for (int j = 0; j < laneCount; ++j)
        {
            separable = separable && Separable(*lanes[j], run);
        }
        if (!separable)
        {
            RunInPairs(g, run, left + done, right + done);
        }
        else
        {
            RunSplit(g, run, left + done, right + done, run);
            for (int j = 0; j < laneCount; ++j)
            {
                WrapAtRingEnd(*lanes[j]);
            }
        }
        for (int j = 0; j < laneCount; ++j)
        {
            lanes[j]->port += run;
            lanes[j]->source += run;
            lanes[j]->out += run;
        }
        done += run;
    }
    g.untilWrap = 1 << 30;
    for (int j = 0; j < laneCount; ++j)
    {
        lanes[j]->port -= count;
        lanes[j]->source -= count;
        lanes[j]->out -= count;
        const int room = SamplesBeforeWrap(*lanes[j]);
        g.untilWrap = room < g.untilWrap ? room : g.untilWrap;
    }
}

AVX2_FUNCTION void PrepareGroupStep(LaneGroup& g, const double* offset, int ahead)
{
    // The positions when the step falls, within the ring.
    SlotIndices at(g);
    for (int j = 0; j < g.laneCount; ++j)
    {
        for (int* p : {at.write, at.inject, at.readNew})
        {
            p[j] += ahead;
            p[j] = p[j] >= at.length[j] ? p[j] - at.length[j] : p[j];
        }
    }
    int room[LaneGroup::kSlots];
    int separable[LaneGroup::kSlots];
    int across[LaneGroup::kSlots];
    for (int first = 0; first < g.laneCount; first += kWidth)
    {
        const LaneQuad z = GlideDistance(
            LaneQuad::Load(g.glideA.lane + first), LaneQuad::Load(g.glideB.lane + first),
            LaneQuad::Load(g.glide.lane + first), LaneQuad::Load(g.target.lane + first));
        z.Store(g.glide.lane + first);
        const __m128i len = Load4i(at.length + first);
        const LaneQuad lenD(_mm256_cvtepi32_pd(len));
        const LaneQuad w(_mm256_cvtepi32_pd(Load4i(at.write + first)));
        const auto place = PlaceHead(z * lenD + LaneQuad::Load(offset + first), w, lenD);
        _mm256_storeu_pd(g.delayOld.lane + first, Load4(g.delayNew.lane + first));
        place.delay.Store(g.delayNew.lane + first);
        place.coefficient.Store(g.pendingCoef.lane + first);
        const __m128i n = _mm256_cvttpd_epi32(place.slot.v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(g.pendingSlot + first), n);
        // The head that goes idle is the current one. A stretch that takes
        // the step inside runs up to kLongestStretch samples.
        const __m128i write = Load4i(at.write + first);
        const __m128i inject = Load4i(at.inject + first);
        const __m128i idle = Load4i(at.readNew + first);
        RoomQuad(len, write, inject, idle, n, room + first);
        ApartQuad(len, write, inject, idle, n, DelayTap::kControlInterval, separable + first);
        if (ahead > 0)
        {
            ApartQuad(len, write, inject, idle, n, kLongestStretch, across + first);
        }
    }
    TakeSurvey(g, room, separable, g.pendingSeparable, g.pendingUntilWrap);
    g.pendingAcross = false;
    if (ahead > 0)
    {
        int sameRoom = 0;
        TakeSurvey(g, room, across, g.pendingAcross, sameRoom);
    }
}

AVX2_FUNCTION void TakeGroupStep(LaneGroup& g)
{
    TakeSlots(g, 0, LaneGroup::kSlots);
    g.separable = g.pendingSeparable;
    g.untilWrap = g.pendingUntilWrap;
    ++g.steps;
}

AVX2_FUNCTION bool RunsAcrossStep(const LaneGroup& g, int stepAt, int count)
{
    return count <= kLongestStretch && g.separable && count < g.untilWrap && g.pendingAcross &&
           count - stepAt < g.pendingUntilWrap;
}

AVX2_FUNCTION void SurveyGroup(LaneGroup& g)
{
    const SlotIndices at(g);
    int room[LaneGroup::kSlots];
    int separable[LaneGroup::kSlots];
    for (int first = 0; first < g.laneCount; first += kWidth)
    {
        const __m128i len = Load4i(at.length + first);
        const __m128i write = Load4i(at.write + first);
        const __m128i inject = Load4i(at.inject + first);
        const __m128i readOld = Load4i(at.readOld + first);
        const __m128i readNew = Load4i(at.readNew + first);
        RoomQuad(len, write, inject, readOld, readNew, room + first);
        ApartQuad(len, write, inject, readOld, readNew, DelayTap::kControlInterval,
                  separable + first);
    }
    TakeSurvey(g, room, separable, g.separable, g.untilWrap);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif
