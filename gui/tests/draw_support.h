// Drawing test helpers: a DIB surface filled with a background, and the skin's fonts.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "testing/dib_canvas.h"
#include "testing/skin_font.h"

namespace test {

using testing_support::RealiseSkinFont;

constexpr uint32_t kBackground = 0xFF102030;

// A DIB surface that starts filled with one colour.
class Surface : public testing_support::DibCanvas {
public:
    Surface(int cx, int cy, uint32_t fill_with = kBackground) : DibCanvas(cx, cy) {
        fill(fill_with);
    }
};

}  // namespace test
