// The yardsticks of the image benchmark, kept free of Windows headers: libjpeg-turbo
// decoding into a new BGRA buffer, and pixman's bilinear scaling into a new image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// Answers the pixel count, 0 on failure.
size_t DecodeWithLibjpeg(const std::vector<unsigned char>& jpeg);
// Answers the first pixel of the result.
uint32_t ScaleWithPixman(const uint32_t* pixels, int cx, int cy, int tcx, int tcy);

}  // namespace bench
