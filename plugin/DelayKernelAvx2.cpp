// The group kernel four lanes to a 256-bit register. Everything this file
// compiles is compiled for AVX2 and runs only where the processor and the
// operating system support it; nothing else in the program uses AVX2. The
// target is set before any header, so the steps of TapSteps.h that the
// kernel instantiates for LaneQuad are AVX2 code too; it uses no function
// that other translation units share, so none comes out of here in AVX2
// form (scripts/vector-check.sh checks the modules for that).
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC target("avx2")
#endif

#include "plugin/LaneQuad.h"
#include "plugin/WideKernel.h"

extern const GroupKernel kGroupKernelAvx2 = WideKernel<LaneQuad>::Table();

#if defined(__clang__)
#pragma clang attribute pop
#endif
