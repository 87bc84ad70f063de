// The plane median's kernels on 8-bit samples, one byte each in the input (fuzz/common/chroma_plane_fuzz.h).

#include "fuzz/common/chroma_plane_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzChromaMedianPlane<uint8_t>(data, size);
}
