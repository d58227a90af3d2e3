#pragma once

#include <emmintrin.h>

// Two lanes of doubles side by side in an SSE2 register, the first lane in
// the low half. Every operation does the scalar one in each lane.
struct LanePair
{
    static constexpr int kWidth = 2;
    __m128d v;

    LanePair() = default;
    explicit LanePair(__m128d x) : v(x) {}
    explicit LanePair(double x) : v(_mm_set1_pd(x)) {}
    LanePair(double first, double second) : v(_mm_set_pd(second, first)) {}
    static LanePair Load(const double* p) { return LanePair(_mm_loadu_pd(p)); }
    // Lane i's sample from the place each lane points at.
    static LanePair Gather(const double* const* p)
    {
        return LanePair(_mm_loadh_pd(_mm_load_sd(p[0]), p[1]));
    }
    void Store(double* p) const { _mm_storeu_pd(p, v); }
    template <int I> void StoreLane(double* p) const
    {
        if constexpr (I == 0)
            _mm_storel_pd(p, v);
        else
            _mm_storeh_pd(p, v);
    }
    template <int I> double Lane() const
    {
        if constexpr (I == 0)
            return _mm_cvtsd_f64(v);
        else
            return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
    }
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
