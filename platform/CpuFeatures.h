#pragma once

// What the processor and the operating system let the code use, asked once
// per call (cheap; callers keep the answer).

// True when the processor has AVX2 and the operating system saves the full
// 256-bit registers on a task switch (CPUID and XGETBV agree). False on
// processors that are not x86.
bool CpuRunsAvx2();
// True when the processor has the AVX-512 foundation set (and AVX2), and the
// operating system saves the mask registers and the full 512-bit registers.
bool CpuRunsAvx512();
