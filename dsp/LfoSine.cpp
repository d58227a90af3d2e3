#include "dsp/LfoSine.h"

#include <emmintrin.h>

namespace
{

// a where mask is set, else b.
inline __m128 Select(__m128 mask, __m128 a, __m128 b)
{
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

// x < 0 ? -x : x, as Advance writes it (so -0 stays -0).
inline __m128 Magnitude(__m128 x)
{
    const __m128 negated = _mm_xor_ps(x, _mm_set1_ps(-0.0f));
    return Select(_mm_cmplt_ps(x, _mm_setzero_ps()), negated, x);
}

// Four phases, each wrapped as Advance does: compared and reduced in double
// precision, rounded back to single.
inline __m128 Wrap(__m128 phase)
{
    const __m128d pi = _mm_set1_pd(3.141592653589793);
    const __m128d turn = _mm_set1_pd(6.283185307179586);
    for (;;)
    {
        const __m128d low = _mm_cvtps_pd(phase);
        const __m128d high = _mm_cvtps_pd(_mm_movehl_ps(phase, phase));
        const __m128 over =
            _mm_shuffle_ps(_mm_castpd_ps(_mm_cmpgt_pd(low, pi)),
                           _mm_castpd_ps(_mm_cmpgt_pd(high, pi)), _MM_SHUFFLE(2, 0, 2, 0));
        if (_mm_movemask_ps(over) == 0)
        {
            return phase;
        }
        const __m128 reduced = _mm_movelh_ps(_mm_cvtpd_ps(_mm_sub_pd(low, turn)),
                                             _mm_cvtpd_ps(_mm_sub_pd(high, turn)));
        phase = Select(over, reduced, phase);
    }
}

} // namespace

void LfoSine::AdvanceEach(LfoSine* const* lfos, int count, int samples)
{
    const __m128 steps = _mm_set1_ps(static_cast<float>(samples));
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    for (int first = 0; first < count; first += 4)
    {
        const int n = count - first < 4 ? count - first : 4;
        alignas(16) float phase[4] = {};
        alignas(16) float increment[4] = {};
        for (int i = 0; i < n; ++i)
        {
            phase[i] = lfos[first + i]->phase;
            increment[i] = lfos[first + i]->phaseIncrement;
        }
        const __m128 x =
            Wrap(_mm_add_ps(_mm_load_ps(phase), _mm_mul_ps(_mm_load_ps(increment), steps)));
        __m128 y =
            _mm_sub_ps(_mm_mul_ps(_mm_set1_ps(1.2732394933700562f), x),
                       _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(0.40528473258018494f), x), Magnitude(x)));
        y = _mm_add_ps(y, _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(y, Magnitude(y)), y),
                                     _mm_set1_ps(0.22499999403953552f)));
        __m128 v = _mm_mul_ps(_mm_add_ps(y, one), _mm_set1_ps(0.5f));
        v = Select(_mm_cmplt_ps(v, zero), zero, v);
        v = Select(_mm_cmpgt_ps(v, one), one, v);
        alignas(16) float value[4];
        _mm_store_ps(phase, x);
        _mm_store_ps(value, v);
        for (int i = 0; i < n; ++i)
        {
            lfos[first + i]->phase = phase[i];
            lfos[first + i]->value = value[i];
        }
    }
}
