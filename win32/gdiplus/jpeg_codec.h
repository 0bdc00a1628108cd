// JPEG to and from straight ARGB words. Kept free of Windows headers because
// libjpeg's own headers define some of the same type names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gdiplus/pixel_store.h"

namespace gdip::jpeg {

struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    PixelStore argb;  // alpha always 0xFF
};

bool decode(const uint8_t* data, size_t size, Pixels& out);
// Baseline JPEG of the colour channels (alpha is dropped), quality 0 to 100.
bool encode(const uint32_t* argb, uint32_t width, uint32_t height, int quality,
            std::vector<uint8_t>& out);

}  // namespace gdip::jpeg
