#pragma once

// Four lanes of doubles in an AVX2 register. Only plugin/DelayKernelAvx2.cpp
// includes this: every operation carries the AVX2 target, and the program
// runs them only where the processor and the operating system support it.

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
