// Linked into the test and benchmark programs that choose kernels, never into the product: the mask
// from the environment is in force before main.
#include "tests/common/cpu_mask_from_environment.h"

namespace {
const bool kCpuMaskApplied = (ApplyCpuMaskFromEnvironment(), true);
}  // namespace
