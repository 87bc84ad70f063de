#pragma once

// Stand-ins for the host's channel check: the test host's own, which the tests, the benchmarks and the fuzz
// targets use as well.

#include <cstdint>

#include "platform/calling_convention.h"

inline int UVD_CDECL KnowsEveryChannel(int64_t) { return 1; }
inline int UVD_CDECL KnowsNoChannel(int64_t) { return 0; }
inline int UVD_CDECL KnowsOddChannels(int64_t id) { return static_cast<int>(id & 1); }
