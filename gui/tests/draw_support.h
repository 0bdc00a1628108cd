// Test helpers: fonts realised the way the skin realises them, and a 32-bit
// top-down DIB surface whose pixels tests read back.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <wchar.h>

#include "gui/font.h"
#include "testing/dib_canvas.h"

namespace test {

inline Gui::Font RealiseSkinFont(int height, bool bold = false, bool underline = false) {
    LOGFONTW lf = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    wcscpy(lf.lfFaceName, L"微软雅黑");
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfHeight = -height;
    lf.lfUnderline = underline ? 1 : 0;
    HFONT handle = CreateFontIndirectW(&lf);
    LOGFONTW realised = {};
    GetObjectW(handle, sizeof(realised), &realised);
    Gui::Font font;
    font.Height(static_cast<int16_t>(height)).Bold(bold).Underline(underline);
    font.Realize(handle, realised);
    return font;
}

constexpr uint32_t kBackground = 0xFF102030;

// A DIB surface that starts filled with one colour.
class Surface : public testing_support::DibCanvas {
public:
    Surface(int cx, int cy, uint32_t fill_with = kBackground) : DibCanvas(cx, cy) {
        fill(fill_with);
    }
};

}  // namespace test
