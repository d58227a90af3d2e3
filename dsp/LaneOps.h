#pragma once

#include <cmath>
#include <type_traits>

// What the per-sample steps need beyond + - * and comparisons, for a plain
// double. The register types of the lane kernels have the same functions,
// with the same result in every lane: Min and Max pick as the SSE
// instructions do (the second value when either is not a number), Select
// takes a where the condition holds and b elsewhere.
inline double Min(double a, double b)
{
    return a < b ? a : b;
}
inline double Max(double a, double b)
{
    return a > b ? a : b;
}
inline double Select(bool condition, double a, double b)
{
    return condition ? a : b;
}
inline double Abs(double a)
{
    return std::fabs(a);
}
// Rounded towards zero; only for values within int range.
inline double Trunc(double a)
{
    return static_cast<int>(a);
}

// Calls f with the same field of each record, field by field, for records of
// one kind over any sample types (a plain double, a register, a slot row):
// loading, storing and gathering lanes are one call instead of a field list.
template <class F, class First, class... Rest>
void ForEachField(F&& f, First&& first, Rest&&... rest)
{
    std::remove_cvref_t<First>::Each(f, first, rest...);
}
