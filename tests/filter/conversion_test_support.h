#pragma once

#include <ostream>
#include <vector>

#include "filter/rgb_yuy2.h"
#include "tests/common/definition_reference.h"
#include "tests/common/guarded_bytes.h"
#include "tests/common/kernel_variants.h"
#include "tests/common/random_bytes.h"

inline std::ostream& operator<<(std::ostream& out, const RgbConversionVariant& variant) { return out << variant.name; }

// Every listed implementation, and the entry points the frame path calls, as chosen for this CPU.
std::vector<RgbConversionVariant> ConversionsUnderTest();
