#pragma once

// Eight lanes of doubles in an AVX-512 register: all eight taps in one. Only
// plugin/DelayKernelAvx512.cpp includes this: every operation carries the
// AVX-512 target, and the program runs them only where the processor and the
// operating system support it. Comparisons give a mask register, which only
// Select takes.

#include <immintrin.h>

#define AVX512_OPERATION [[gnu::always_inline, gnu::target("avx512f")]] inline

struct LaneOctoMask
{
    __mmask8 k;
};

struct LaneOcto
{
    static constexpr int kWidth = 8;
    __m512d v;

    LaneOcto() = default;
    AVX512_OPERATION explicit LaneOcto(__m512d x) : v(x) {}
    AVX512_OPERATION explicit LaneOcto(double x) : v(_mm512_set1_pd(x)) {}
    AVX512_OPERATION static LaneOcto Load(const double* p) { return LaneOcto(_mm512_loadu_pd(p)); }
    AVX512_OPERATION static LaneOcto LoadInts(const int* p)
    {
        return LaneOcto(
            _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))));
    }
    AVX512_OPERATION static LaneOcto Gather(const double* const* p)
    {
        return LaneOcto(_mm512_set_pd(*p[7], *p[6], *p[5], *p[4], *p[3], *p[2], *p[1], *p[0]));
    }
    AVX512_OPERATION void Store(double* p) const { _mm512_storeu_pd(p, v); }
    AVX512_OPERATION double First() const { return _mm512_cvtsd_f64(v); }
};

AVX512_OPERATION LaneOcto operator+(LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_add_pd(a.v, b.v));
}
AVX512_OPERATION LaneOcto operator-(LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_sub_pd(a.v, b.v));
}
AVX512_OPERATION LaneOcto operator*(LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_mul_pd(a.v, b.v));
}
AVX512_OPERATION LaneOctoMask operator>(LaneOcto a, LaneOcto b)
{
    return {_mm512_cmp_pd_mask(a.v, b.v, _CMP_GT_OQ)};
}
AVX512_OPERATION LaneOctoMask operator<=(LaneOcto a, LaneOcto b)
{
    return {_mm512_cmp_pd_mask(a.v, b.v, _CMP_LE_OQ)};
}
AVX512_OPERATION LaneOcto Min(LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_min_pd(a.v, b.v));
}
AVX512_OPERATION LaneOcto Max(LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_max_pd(a.v, b.v));
}
AVX512_OPERATION LaneOcto Select(LaneOctoMask mask, LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_mask_blend_pd(mask.k, b.v, a.v));
}
AVX512_OPERATION LaneOcto Abs(LaneOcto a)
{
    return LaneOcto(_mm512_abs_pd(a.v));
}
AVX512_OPERATION LaneOcto Trunc(LaneOcto a)
{
    return LaneOcto(_mm512_roundscale_pd(a.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
}
// Lane i takes lane i - 1, and lane 0 the last lane.
AVX512_OPERATION LaneOcto Rotate(LaneOcto a)
{
    return LaneOcto(_mm512_permutexvar_pd(_mm512_set_epi64(6, 5, 4, 3, 2, 1, 0, 7), a.v));
}
// Lane 0 from b, the others from a.
AVX512_OPERATION LaneOcto BlendFirst(LaneOcto a, LaneOcto b)
{
    return LaneOcto(_mm512_mask_blend_pd(0x01, a.v, b.v));
}
// Eight registers' rows become columns: r[i] lane k goes to r[k] lane i.
// Pairs of rows interleave, then 128-bit blocks of two values gather in two
// rounds: column k takes block k / 2 of the even (k even) or odd interleaves.
AVX512_OPERATION void Transpose(LaneOcto* r)
{
    __m512d t[8];
    for (int i = 0; i < 8; i += 2)
    {
        t[i] = _mm512_unpacklo_pd(r[i].v, r[i + 1].v);
        t[i + 1] = _mm512_unpackhi_pd(r[i].v, r[i + 1].v);
    }
    // Blocks 0 and 2 (0x88) or 1 and 3 (0xdd) of each of two registers.
    __m512d u[8];
    for (int odd = 0; odd < 2; ++odd)
    {
        u[4 * odd + 0] = _mm512_shuffle_f64x2(t[odd], t[odd + 2], 0x88);
        u[4 * odd + 1] = _mm512_shuffle_f64x2(t[odd], t[odd + 2], 0xdd);
        u[4 * odd + 2] = _mm512_shuffle_f64x2(t[odd + 4], t[odd + 6], 0x88);
        u[4 * odd + 3] = _mm512_shuffle_f64x2(t[odd + 4], t[odd + 6], 0xdd);
    }
    for (int odd = 0; odd < 2; ++odd)
    {
        const __m512d* w = u + 4 * odd;
        r[odd + 0] = LaneOcto(_mm512_shuffle_f64x2(w[0], w[2], 0x88));
        r[odd + 2] = LaneOcto(_mm512_shuffle_f64x2(w[1], w[3], 0x88));
        r[odd + 4] = LaneOcto(_mm512_shuffle_f64x2(w[0], w[2], 0xdd));
        r[odd + 6] = LaneOcto(_mm512_shuffle_f64x2(w[1], w[3], 0xdd));
    }
}
