// The repair mode on 16-bit samples (9 to 16 bits), two bytes each in the input, little-endian, after a
// depth byte (fuzz/common/chroma_repair_fuzz.h).

#include "fuzz/common/chroma_repair_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzChromaRepairPlane<uint16_t>(data, size);
}
