// The shared 32-bpp canvas for the gdi32 tests, the ink a drawing left on it, and
// fonts as the program makes them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>

#include "testing/dib_canvas.h"
#include "testing/win32_compare.h"

using testing_support::DibCanvas;
using testing_support::Info32;

// The smallest box holding every pixel of the canvas that differs from the background.
inline RECT Ink(const DibCanvas& c, uint32_t background) {
    RECT r{c.width(), c.height(), 0, 0};
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.at(x, y) != background)
                r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y),
                     std::max<LONG>(r.right, x + 1), std::max<LONG>(r.bottom, y + 1)};
    return r;
}

// RAII for a created GDI object.
template <class H>
class GdiObject {
public:
    explicit GdiObject(H h) : h_(h) {}
    ~GdiObject() {
        if (h_) DeleteObject(h_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    H get() const { return h_; }
    operator H() const { return h_; }

private:
    H h_;
};

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
