// Fonts as the program realises them, and the ink a drawing left on a canvas.
#pragma once

#include "dib_canvas.h"

#include <cwchar>

// The program's way: the stock GUI font's LOGFONTW with the CJK UI face, a
// character height, a weight and the underline flag.
inline HFONT MakeUiFont(int height, bool bold = false, bool underline = false,
                        const wchar_t* face = L"微软雅黑") {
    LOGFONTW lf{};
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf) != sizeof(lf)) return nullptr;
    std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfHeight = -height;
    lf.lfUnderline = underline ? 1 : 0;
    return CreateFontIndirectW(&lf);
}

// The smallest box holding every pixel that differs from the background;
// empty (right <= left) when there is none.
inline RECT InkBox(DibCanvas& canvas, int width, int height, uint32_t background) {
    RECT r{width, height, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (canvas.at(x, y) != background) {
                r.left = std::min<LONG>(r.left, x);
                r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1);
                r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    return r;
}

inline bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
