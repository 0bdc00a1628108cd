// The monochrome mask of a cursor for systems without per-pixel cursor alpha.
#pragma once

#include "gui/image.h"

namespace Gui {

// Copies the top-left cx x cy pixels of img into colour and answers a 1-bit mask
// bitmap of that size: pixels with alpha above 128 are copied and clear their mask
// bit; the others become black and keep it set (transparent). Every copied pixel
// gets alpha 0. The caller deletes the bitmap.
HBITMAP CreateCursorMask(const Image& img, RGBA* colour, int cx, int cy);

}  // namespace Gui
