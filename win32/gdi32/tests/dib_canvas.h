// The shared 32-bpp canvas read back as the gdi32 tests want it;
// fonts as the program makes them; the ink a drawing left.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>

#include "testing/dib_canvas.h"
#include "testing/win32_compare.h"

// A 32-bpp picture of the given height (negative: top-down).
inline BITMAPINFO Info32(int width, int height) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    return bmi;
}

// The shared canvas, read as colour letters and as the box of its ink.
class DibCanvas : public testing_support::DibCanvas {
public:
    using testing_support::DibCanvas::DibCanvas;

    // The picture as text, one character per pixel, rows ending in '\n': '.' for
    // the background, '#' 'k' 'r' 'g' 'b' white, black, red, green, blue (alpha 0), 'x' else.
    std::string picture(uint32_t background = 0) const {
        std::string s;
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                const uint32_t p = at(x, y);
                s += p == background ? '.'
                     : p == 0xFFFFFF ? '#'
                     : p == 0xFF0000 ? 'r'
                     : p == 0xFF00   ? 'g'
                     : p == 0xFF     ? 'b'
                     : p == 0        ? 'k'
                                     : 'x';
            }
            s += '\n';
        }
        return s;
    }
    // The smallest box holding every pixel that differs from the background.
    RECT ink(uint32_t background) const {
        RECT r{width(), height(), 0, 0};
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (at(x, y) != background)
                    r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y),
                         std::max<LONG>(r.right, x + 1), std::max<LONG>(r.bottom, y + 1)};
        return r;
    }
};

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
