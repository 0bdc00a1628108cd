// JPEG to and from straight ARGB words. Kept free of Windows headers because
// libjpeg's own headers define some of the same type names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gdiplus/pending_rows.h"
#include "gdiplus/pixel_store.h"

namespace gdip::jpeg {

struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    PixelStore argb;  // alpha always 0xFF
    // Rows still being written into argb (see decode below); after argb, so the
    // decoder stops before argb goes.
    RowsInFlight pending;
};

bool decode(const uint8_t* data, size_t size, Pixels& out);
// The same for a whole file handed over. A large colour image is decoded on
// another thread while this one checks the rest of the data; it answers once the
// whole file is known to decode, so out.pending's rows follow while the caller
// reads the first ones. The answer is the one decode() gives for the bytes.
bool decode(std::vector<uint8_t>&& bytes, Pixels& out);
// Baseline JPEG of the colour channels (alpha is dropped), quality 0 to 100.
bool encode(const uint32_t* argb, uint32_t width, uint32_t height, int quality,
            std::vector<uint8_t>& out);

}  // namespace gdip::jpeg
