// A window's pixels as PrintWindow copies them, for the window and desktop tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "testing/dib_canvas.h"

namespace testing_support {

// width x height pixels from the window's top-left corner (its client area's with
// PW_CLIENTONLY), top row first, under the mask (by default 0x00RRGGBB); empty when
// PrintWindow fails.
inline std::vector<uint32_t> WindowPixels(HWND hwnd, int width, int height, UINT flags = 0,
                                          uint32_t mask = 0xFFFFFF) {
    DibCanvas copy(width, height);
    if (!PrintWindow(hwnd, copy.dc(), flags)) return {};
    std::vector<uint32_t> out(copy.bits(), copy.bits() + width * height);
    for (auto& p : out) p &= mask;
    return out;
}

}  // namespace testing_support
