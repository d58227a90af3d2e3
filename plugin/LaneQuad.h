#pragma once

// Four lanes of doubles in an AVX2 register. Only plugin/DelayKernelAvx2.cpp
// includes this: every operation carries the AVX2 target, and the program
// runs them only where the processor and the operating system support it.
// Beside the operations of every lane type it has those of the group kernel
// (plugin/WideKernel.h): LoadInts, First, Rotate, BlendFirst and
// Transpose.

#include <immintrin.h>

#define AVX2_OPERATION [[gnu::always_inline, gnu::target("avx2")]] inline

struct LaneQuad
{
    static constexpr int kWidth = 4;
    __m256d v;

    LaneQuad() = default;
    AVX2_OPERATION explicit LaneQuad(__m256d x) : v(x) {}
    AVX2_OPERATION explicit LaneQuad(double x) : v(_mm256_set1_pd(x)) {}
    AVX2_OPERATION static LaneQuad Load(const double* p) { return LaneQuad(_mm256_loadu_pd(p)); }
    AVX2_OPERATION static LaneQuad LoadInts(const int* p)
    {
        return LaneQuad(_mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
    }
    AVX2_OPERATION static LaneQuad Gather(const double* const* p)
    {
        return LaneQuad(_mm256_set_pd(*p[3], *p[2], *p[1], *p[0]));
    }
    AVX2_OPERATION void Store(double* p) const { _mm256_storeu_pd(p, v); }
    AVX2_OPERATION double First() const { return _mm256_cvtsd_f64(v); }
};

AVX2_OPERATION LaneQuad operator+(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_add_pd(a.v, b.v));
}
AVX2_OPERATION LaneQuad operator-(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_sub_pd(a.v, b.v));
}
AVX2_OPERATION LaneQuad operator*(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_mul_pd(a.v, b.v));
}
AVX2_OPERATION LaneQuad operator>(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ));
}
AVX2_OPERATION LaneQuad operator<=(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_cmp_pd(a.v, b.v, _CMP_LE_OQ));
}
AVX2_OPERATION LaneQuad Min(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_min_pd(a.v, b.v));
}
AVX2_OPERATION LaneQuad Max(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_max_pd(a.v, b.v));
}
AVX2_OPERATION LaneQuad Select(LaneQuad mask, LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_blendv_pd(b.v, a.v, mask.v));
}
AVX2_OPERATION LaneQuad Abs(LaneQuad a)
{
    return LaneQuad(_mm256_andnot_pd(_mm256_set1_pd(-0.0), a.v));
}
AVX2_OPERATION LaneQuad Trunc(LaneQuad a)
{
    return LaneQuad(_mm256_round_pd(a.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
}

// Lane i takes lane i - 1, and lane 0 the last lane.
AVX2_OPERATION LaneQuad Rotate(LaneQuad a)
{
    return LaneQuad(_mm256_permute4x64_pd(a.v, _MM_SHUFFLE(2, 1, 0, 3)));
}
// Lane 0 from b, the others from a.
AVX2_OPERATION LaneQuad BlendFirst(LaneQuad a, LaneQuad b)
{
    return LaneQuad(_mm256_blend_pd(a.v, b.v, 0x1));
}
// Four registers' rows become columns: r[i] lane k goes to r[k] lane i.
AVX2_OPERATION void Transpose(LaneQuad* r)
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
