#pragma once

// Pieces shared by the stretched and the rotated copy: the coordinate bound,
// bilinear mixing of 16.16 sample positions, and mirroring of a negative
// destination size.

#include "raster/RasterCombiners.h"

#include <cmath>
#include <cstdint>

namespace raster_detail
{
// Coordinates beyond this magnitude cannot address any bitmap.
inline constexpr double MaxCoordinate = 16777216.0;

// Source positions, in pixels, beyond which a copy draws nothing: they
// cannot address a bitmap, and 16.16 arithmetic on them could overflow.
inline constexpr double MaxReach = 1099511627776.0; // 2^40

// Whether a walk from start by count steps of each kind stays within reach.
inline bool WithinReach(double start, double stepA, long long countA, double stepB = 0,
                        long long countB = 0)
{
    return std::fabs(start) + std::fabs(stepA) * static_cast<double>(countA) +
               std::fabs(stepB) * static_cast<double>(countB) <
           MaxReach;
}

// Mixes two pixels: f / 65536 of p1, the rest of p0.
inline uint32_t Lerp2(uint32_t p0, uint32_t p1, int f)
{
    const int g = 65536 - f;
    return PackLow((ChR(p0) * g + ChR(p1) * f) / 65536, (ChG(p0) * g + ChG(p1) * f) / 65536,
                   (ChB(p0) * g + ChB(p1) * f) / 65536, (ChA(p0) * g + ChA(p1) * f) / 65536);
}

// Mixes a 2 x 2 square of pixels by the 16.16 fractions fx (across) and fy (down).
inline uint32_t Lerp4(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, int fx, int fy)
{
    const long long c = (static_cast<long long>(fx) * fy) >> 16;
    const long long w11 = c;
    const long long w10 = fx - c;
    const long long w01 = fy - c;
    const long long w00 = 65536 - fx - fy + c;
    auto mix = [&](int a, int b, int e, int f)
    { return static_cast<int>((a * w00 + b * w10 + e * w01 + f * w11) / 65536); };
    return PackLow(
        mix(ChR(p00), ChR(p10), ChR(p01), ChR(p11)), mix(ChG(p00), ChG(p10), ChG(p01), ChG(p11)),
        mix(ChB(p00), ChB(p10), ChB(p01), ChB(p11)), mix(ChA(p00), ChA(p10), ChA(p01), ChA(p11)));
}

// A negative destination size mirrors along that axis: the size is made
// positive, the destination start moved back by it, and the source span is
// walked from its far edge. Returns whether the axis was mirrored.
inline bool Unmirror(long long& dstPos, long long& dstSize, double& srcPos, double& srcSize)
{
    if (dstSize >= 0)
    {
        return false;
    }
    dstSize = -dstSize;
    dstPos -= dstSize;
    srcPos += srcSize;
    srcSize = -srcSize;
    return true;
}
} // namespace raster_detail
