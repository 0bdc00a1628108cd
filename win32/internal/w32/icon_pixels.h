// A cursor's or icon's picture, for showing it outside GDI (X cursors, the tray).
#pragma once

#include <windef.h>

#include <cstdint>
#include <vector>

namespace w32::user {

// Premultiplied 0xAARRGGBB words, top row first, and the hot spot; false for a
// handle that names no cursor or icon. A picture without alpha takes it from its mask.
bool icon_pixels(HICON icon, int* width, int* height, POINT* hot, std::vector<uint32_t>* argb);

}  // namespace w32::user
