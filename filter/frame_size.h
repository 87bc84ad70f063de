#pragma once

#include <cstdint>

// The stream's picture size in pixels, as the host gives it; every image operation reads it by pointer.
struct FrameSize {
    int32_t width;
    int32_t height;
};
