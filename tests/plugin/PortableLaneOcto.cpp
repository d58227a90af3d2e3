// The eight-lane group kernel built from the same text as the module's, but
// without the AVX-512 target: the compiler's vector types run it on any
// processor, so the tests compare it lane for lane here as well.

#include "DelayTestUtil.h"
#include "plugin/DelayKernel.h"

// Vectors wider than the target's registers are passed in memory; nothing
// here passes one between translation units.
#pragma GCC diagnostic ignored "-Wpsabi"
#define LANE_OCTO_OPERATION [[gnu::always_inline]] inline
namespace portable
{
#include "plugin/LaneOcto.h"
}
#include "plugin/WideKernel.h"

extern const GroupKernel kPortableOctoKernel = WideKernel<portable::LaneOcto>::Table();
