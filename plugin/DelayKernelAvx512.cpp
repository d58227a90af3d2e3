// The group kernel eight lanes to a 512-bit register: a whole group in one.
// Everything this file compiles is compiled for AVX-512 (the foundation set)
// and runs only where the processor and the operating system support it, as
// the four-lane kernel does for AVX2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC target("avx512f")
// The compiler's own AVX-512 operations start from an undefined register
// that it then reports as used uninitialised.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "plugin/LaneOcto.h"
#include "plugin/WideKernel.h"

extern const GroupKernel kGroupKernelAvx512 = WideKernel<LaneOcto>::Table();

#if defined(__clang__)
#pragma clang attribute pop
#endif
