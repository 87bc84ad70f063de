// The plane median's kernels on 16-bit samples (9 to 16 bits), two bytes each in the input, little-endian
// (fuzz/common/chroma_plane_fuzz.h).

#include "fuzz/common/chroma_plane_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzChromaMedianPlane<uint16_t>(data, size);
}
