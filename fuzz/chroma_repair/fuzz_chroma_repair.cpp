// The repair mode on 8-bit samples, one byte each in the input (fuzz/common/chroma_repair_fuzz.h).

#include "fuzz/common/chroma_repair_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzChromaRepairPlane<uint8_t>(data, size);
}
