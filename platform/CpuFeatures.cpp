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

// Whether the processor has AVX2 and the features in leaf 7's EBX, with the
// register states in xcr0Bits enabled by the operating system.
bool CpuRuns(unsigned int leaf7Bits, unsigned long long xcr0Bits)
{
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &a, &b, &c, &d))
    {
        return false;
    }
    const bool osxsave = (c & bit_OSXSAVE) != 0;
    const bool avx = (c & bit_AVX) != 0;
    if (!osxsave || !avx || (ReadXcr0() & xcr0Bits) != xcr0Bits)
    {
        return false;
    }
    __cpuid_count(7, 0, a, b, c, d);
    const unsigned int wanted = bit_AVX2 | leaf7Bits;
    return (b & wanted) == wanted;
}

} // namespace

bool CpuRunsAvx2()
{
    // SSE (bit 1) and AVX (bit 2) register state.
    return CpuRuns(0, 0x6u);
}

bool CpuRunsAvx512()
{
    // And the mask registers (bit 5), the upper halves of ZMM0-15 (bit 6)
    // and ZMM16-31 (bit 7).
    return CpuRuns(bit_AVX512F, 0xe6u);
}

#else

bool CpuRunsAvx2()
{
    return false;
}

bool CpuRunsAvx512()
{
    return false;
}

#endif
