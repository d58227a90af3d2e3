// The group kernel two lanes to a 128-bit register, on every processor.

#include "plugin/LanePair.h"
#include "plugin/WideKernel.h"

extern const GroupKernel kGroupKernelSse2 = WideKernel<LanePair>::Table();
