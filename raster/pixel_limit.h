// The largest image the decoders make: 64 megapixels, far beyond any skin. A header
// that claims more is refused before anything is allocated for it, since a file of
// a few bytes can claim gigabytes.
#pragma once

#include <cstdint>

namespace raster {

constexpr int64_t kMaxPixels = int64_t{64} << 20;

inline bool SizeAllowed(int64_t cx, int64_t cy) {
    return cx > 0 && cy > 0 && cx <= kMaxPixels / cy;
}

}  // namespace raster
