// A 32-bpp DIB section selected into its own memory DC, for reading back pixels;
// fonts as the program makes them; the ink a drawing left.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <ostream>
#include <string>

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

class DibCanvas {
public:
    // bottom_up: a positive biHeight, rows stored from the bottom of the picture.
    DibCanvas(int width, int height, bool bottom_up = false)
        : width_(width), height_(height), bottom_up_(bottom_up) {
        BITMAPINFO bmi = Info32(width, bottom_up ? height : -height);
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~DibCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    uint32_t* bits() const { return bits_; }
    bool valid() const { return dc_ && bitmap_ && bits_ && old_; }

    // Pixel at (x, y) counted from the top, as 0xAARRGGBB.
    uint32_t& at(int x, int y) { return bits_[(bottom_up_ ? height_ - 1 - y : y) * width_ + x]; }
    void fill(uint32_t value) { std::fill(bits_, bits_ + width_ * height_, value); }
    // The picture as text, one character per pixel, rows ending in '\n': '.' for
    // the background, '#' 'k' 'r' 'g' 'b' white, black, red, green, blue (alpha 0), 'x' else.
    std::string picture(uint32_t background = 0) {
        std::string s;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
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
    RECT ink(uint32_t background) {
        RECT r{width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (at(x, y) != background)
                    r = {std::min<LONG>(r.left, x), std::min<LONG>(r.top, y),
                         std::max<LONG>(r.right, x + 1), std::max<LONG>(r.bottom, y + 1)};
        return r;
    }

private:
    int width_;
    int height_;
    bool bottom_up_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
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

inline bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }
inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& os, const RECT& r) {
    return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
