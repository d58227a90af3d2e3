#pragma once

// Eight lanes of doubles in a 512-bit register: all eight taps in one. Only
// plugin/DelayKernelAvx512.cpp includes this for the program: every operation
// carries the AVX-512 target, and the program runs them only where the
// processor and the operating system support it.
//
// The operations are written with the compiler's vector types rather than
// AVX-512 intrinsics, each with the exact semantics of the instruction it
// stands for (Min and Max pick as the SSE instructions do, comparisons give
// all-ones lanes). The same text compiled without the AVX-512 target (a
// test defines LANE_OCTO_OPERATION before including it) runs on any
// processor, so the eight-lane kernel is checked lane for lane everywhere,
// not only where the processor has AVX-512.

#ifndef LANE_OCTO_OPERATION
#define LANE_OCTO_OPERATION [[gnu::always_inline, gnu::target("avx512f")]] inline
#endif

struct LaneOcto
{
    static constexpr int kWidth = 8;
    using Doubles = double __attribute__((vector_size(64)));
    using Bits = long long __attribute__((vector_size(64)));
    using Ints = int __attribute__((vector_size(32)));
    Doubles v;

    LaneOcto() = default;
    LANE_OCTO_OPERATION explicit LaneOcto(Doubles x) : v(x) {}
    LANE_OCTO_OPERATION explicit LaneOcto(double x) : v(Doubles{} + x) {}
    LANE_OCTO_OPERATION static LaneOcto Load(const double* p)
    {
        Doubles x;
        __builtin_memcpy(&x, p, sizeof x);
        return LaneOcto(x);
    }
    LANE_OCTO_OPERATION static LaneOcto LoadInts(const int* p)
    {
        Ints x;
        __builtin_memcpy(&x, p, sizeof x);
        return LaneOcto(__builtin_convertvector(x, Doubles));
    }
    LANE_OCTO_OPERATION static LaneOcto Gather(const double* const* p)
    {
        return LaneOcto(Doubles{*p[0], *p[1], *p[2], *p[3], *p[4], *p[5], *p[6], *p[7]});
    }
    LANE_OCTO_OPERATION void Store(double* p) const { __builtin_memcpy(p, &v, sizeof v); }
    LANE_OCTO_OPERATION double First() const { return v[0]; }
    LANE_OCTO_OPERATION Bits AsBits() const { return (Bits)v; }
    LANE_OCTO_OPERATION static LaneOcto FromBits(Bits b) { return LaneOcto((Doubles)b); }
};

LANE_OCTO_OPERATION LaneOcto operator+(LaneOcto a, LaneOcto b)
{
    return LaneOcto(a.v + b.v);
}
LANE_OCTO_OPERATION LaneOcto operator-(LaneOcto a, LaneOcto b)
{
    return LaneOcto(a.v - b.v);
}
LANE_OCTO_OPERATION LaneOcto operator*(LaneOcto a, LaneOcto b)
{
    return LaneOcto(a.v * b.v);
}
// All ones where the comparison holds (never for a value that is not a
// number), else 0.
LANE_OCTO_OPERATION LaneOcto operator>(LaneOcto a, LaneOcto b)
{
    return LaneOcto::FromBits(a.v > b.v);
}
LANE_OCTO_OPERATION LaneOcto operator<=(LaneOcto a, LaneOcto b)
{
    return LaneOcto::FromBits(a.v <= b.v);
}
LANE_OCTO_OPERATION LaneOcto Select(LaneOcto mask, LaneOcto a, LaneOcto b)
{
    const LaneOcto::Bits m = mask.AsBits();
    return LaneOcto::FromBits((a.AsBits() & m) | (b.AsBits() & ~m));
}
LANE_OCTO_OPERATION LaneOcto Min(LaneOcto a, LaneOcto b)
{
    return Select(b > a, a, b);
}
LANE_OCTO_OPERATION LaneOcto Max(LaneOcto a, LaneOcto b)
{
    return Select(a > b, a, b);
}
LANE_OCTO_OPERATION LaneOcto Abs(LaneOcto a)
{
    return LaneOcto::FromBits(a.AsBits() & (LaneOcto::Bits{} + 0x7fffffffffffffffLL));
}
// Rounded towards zero; only for values within int range.
LANE_OCTO_OPERATION LaneOcto Trunc(LaneOcto a)
{
    using Ints = LaneOcto::Ints;
    return LaneOcto(__builtin_convertvector(__builtin_convertvector(a.v, Ints), LaneOcto::Doubles));
}
// Lane i takes lane i - 1, and lane 0 the last lane.
LANE_OCTO_OPERATION LaneOcto Rotate(LaneOcto a)
{
    return LaneOcto(__builtin_shufflevector(a.v, a.v, 7, 0, 1, 2, 3, 4, 5, 6));
}
// Lane 0 from b, the others from a.
LANE_OCTO_OPERATION LaneOcto BlendFirst(LaneOcto a, LaneOcto b)
{
    return LaneOcto(__builtin_shufflevector(a.v, b.v, 8, 1, 2, 3, 4, 5, 6, 7));
}
// Pairs of lanes 0 and 2 of a, then of b; or pairs 1 and 3.
LANE_OCTO_OPERATION LaneOcto::Doubles EvenPairs(LaneOcto::Doubles a, LaneOcto::Doubles b)
{
    return __builtin_shufflevector(a, b, 0, 1, 4, 5, 8, 9, 12, 13);
}
LANE_OCTO_OPERATION LaneOcto::Doubles OddPairs(LaneOcto::Doubles a, LaneOcto::Doubles b)
{
    return __builtin_shufflevector(a, b, 2, 3, 6, 7, 10, 11, 14, 15);
}
// Eight registers' rows become columns: r[i] lane k goes to r[k] lane i.
// Pairs of rows interleave, then pairs of lanes gather in two rounds: column
// k takes pair k / 2 of the even (k even) or odd interleaves.
LANE_OCTO_OPERATION void Transpose(LaneOcto* r)
{
    LaneOcto::Doubles t[8];
    for (int i = 0; i < 8; i += 2)
    {
        t[i] = __builtin_shufflevector(r[i].v, r[i + 1].v, 0, 8, 2, 10, 4, 12, 6, 14);
        t[i + 1] = __builtin_shufflevector(r[i].v, r[i + 1].v, 1, 9, 3, 11, 5, 13, 7, 15);
    }
    for (int k = 0; k < 2; ++k)
    {
        const LaneOcto::Doubles u0 = EvenPairs(t[k], t[k + 2]);
        const LaneOcto::Doubles u1 = OddPairs(t[k], t[k + 2]);
        const LaneOcto::Doubles u2 = EvenPairs(t[k + 4], t[k + 6]);
        const LaneOcto::Doubles u3 = OddPairs(t[k + 4], t[k + 6]);
        r[k + 0] = LaneOcto(EvenPairs(u0, u2));
        r[k + 2] = LaneOcto(EvenPairs(u1, u3));
        r[k + 4] = LaneOcto(OddPairs(u0, u2));
        r[k + 6] = LaneOcto(OddPairs(u1, u3));
    }
}
