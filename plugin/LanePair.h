#pragma once

#include <emmintrin.h>

// Two lanes of doubles side by side in an SSE2 register, the first lane in
// the low half. Every operation does the scalar one in each lane. SSE2 is
// every module's baseline, so the group kernel on this type runs on any
// processor the program runs on.
struct LanePair
{
    static constexpr int kWidth = 2;
    __m128d v;

    LanePair() = default;
    explicit LanePair(__m128d x) : v(x) {}
    explicit LanePair(double x) : v(_mm_set1_pd(x)) {}
    static LanePair Load(const double* p) { return LanePair(_mm_loadu_pd(p)); }
    static LanePair LoadInts(const int* p)
    {
        return LanePair(_mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    }
    // Lane i's sample from the place each lane points at.
    static LanePair Gather(const double* const* p)
    {
        return LanePair(_mm_loadh_pd(_mm_load_sd(p[0]), p[1]));
    }
    void Store(double* p) const { _mm_storeu_pd(p, v); }
    double First() const { return _mm_cvtsd_f64(v); }
};

inline LanePair operator+(LanePair a, LanePair b)
{
    return LanePair(_mm_add_pd(a.v, b.v));
}
inline LanePair operator-(LanePair a, LanePair b)
{
    return LanePair(_mm_sub_pd(a.v, b.v));
}
inline LanePair operator*(LanePair a, LanePair b)
{
    return LanePair(_mm_mul_pd(a.v, b.v));
}
inline LanePair operator>(LanePair a, LanePair b)
{
    return LanePair(_mm_cmpgt_pd(a.v, b.v));
}
inline LanePair operator<=(LanePair a, LanePair b)
{
    return LanePair(_mm_cmple_pd(a.v, b.v));
}
inline LanePair Min(LanePair a, LanePair b)
{
    return LanePair(_mm_min_pd(a.v, b.v));
}
inline LanePair Max(LanePair a, LanePair b)
{
    return LanePair(_mm_max_pd(a.v, b.v));
}
inline LanePair Select(LanePair mask, LanePair a, LanePair b)
{
    return LanePair(_mm_or_pd(_mm_and_pd(mask.v, a.v), _mm_andnot_pd(mask.v, b.v)));
}
inline LanePair Abs(LanePair a)
{
    return LanePair(_mm_andnot_pd(_mm_set1_pd(-0.0), a.v));
}
// Rounded towards zero; only for values within int range.
inline LanePair Trunc(LanePair a)
{
    return LanePair(_mm_cvtepi32_pd(_mm_cvttpd_epi32(a.v)));
}
// The two lanes swapped: lane i takes lane i - 1, lane 0 the last.
inline LanePair Rotate(LanePair a)
{
    return LanePair(_mm_shuffle_pd(a.v, a.v, 1));
}
// Lane 0 from b, the other from a.
inline LanePair BlendFirst(LanePair a, LanePair b)
{
    return LanePair(_mm_move_sd(a.v, b.v));
}
// Two registers' rows become columns.
inline void Transpose(LanePair* r)
{
    const __m128d low = _mm_unpacklo_pd(r[0].v, r[1].v);
    r[1] = LanePair(_mm_unpackhi_pd(r[0].v, r[1].v));
    r[0] = LanePair(low);
}
