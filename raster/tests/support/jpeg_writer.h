// JPEG files made by the tests with libjpeg. Free of Windows headers, since libjpeg's
// own headers define some of the same names.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace testjpeg {

// Pixels are asked for as 0xRRGGBB.
std::vector<unsigned char> Write(int cx, int cy, const std::function<uint32_t(int, int)>& pixel,
                                 int quality = 95);

}  // namespace testjpeg
