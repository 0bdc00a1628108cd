// A font realised the way the skin realises its fonts: the default GUI font's record
// with the skin's face, height and flags.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <wchar.h>

#include "gui/font.h"

namespace testing_support {

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

}  // namespace testing_support
