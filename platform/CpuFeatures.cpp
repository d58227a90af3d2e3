#include "platform/CpuFeatures.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

namespace
{

// The extended control register 0: which register states the operating
// system has enabled. XGETBV is only valid once CPUID reports OSXSAVE.
unsigned long long ReadXcr0()
{
    unsigned int lo = 0;
    unsigned int hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<unsigned long long>(hi) << 32) | lo;
}

} // namespace

bool CpuRunsAvx2()
{
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &a, &b, &c, &d))
    {
        return false;
    }
    const bool osxsave = (c & bit_OSXSAVE) != 0;
    const bool avx = (c & bit_AVX) != 0;
    if (!osxsave || !avx)
    {
        return false;
    }
    // SSE (bit 1) and AVX (bit 2) register state both enabled.
    if ((ReadXcr0() & 0x6u) != 0x6u)
    {
        return false;
    }
    __cpuid_count(7, 0, a, b, c, d);
    return (b & bit_AVX2) != 0;
}

#else

bool CpuRunsAvx2()
{
    return false;
}

#endif
