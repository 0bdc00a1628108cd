// The PNG file decoder of the toolkit's raster list: a whole file or byte block
// becomes one image of premultiplied 32-bit pixels; anything unreadable gives the
// empty image. It has no row interface.
#pragma once

#include "gui/raster.h"

namespace raster {

class PNGRaster : public Gui::Raster {
public:
    // A new heap raster, or null when it cannot be allocated.
    static Gui::Raster* Create();

    // Only paths ending in ".png" (any case).
    Gui::Image LoadFile(const wchar_t* path) override;
    Gui::Image LoadMemory(const void* data, DWORD length) override;
    Gui::Size GetSize() override;
    Line GetLine(int row) override;
};

}  // namespace raster
