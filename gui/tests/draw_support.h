// Test helpers: fonts realised the way the skin realises them, and a 32-bit
// top-down DIB section selected into a memory DC whose pixels tests read back.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <wchar.h>

#include "gui/font.h"

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

class Surface {
public:
    Surface(int cx, int cy, uint32_t fill = 0xFF102030) : cx_(cx), cy_(cy) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = cx;
        bi.bmiHeader.biHeight = -cy;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        prior_ = SelectObject(dc_, bitmap_);
        Fill(fill);
    }
    ~Surface() {
        SelectObject(dc_, prior_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return cx_; }
    int height() const { return cy_; }
    void Fill(uint32_t v) {
        for (int i = 0; i < cx_ * cy_; ++i) bits_[i] = v;
    }
    uint32_t At(int x, int y) const { return bits_[y * cx_ + x]; }
    // The pixels' colour without the alpha byte, as 0xRRGGBB.
    uint32_t Rgb(int x, int y) const { return At(x, y) & 0xFFFFFF; }
    // Counts pixels inside [l,r)x[t,b) whose value is v.
    int Count(int l, int t, int r, int b, uint32_t v, uint32_t mask = 0xFFFFFF) const {
        int n = 0;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) n += (At(x, y) & mask) == (v & mask);
        return n;
    }
    int CountAll(uint32_t v, uint32_t mask = 0xFFFFFF) const {
        return Count(0, 0, cx_, cy_, v, mask);
    }
    // Whether exactly the rectangle holds v and every other pixel does not.
    bool OnlyRect(int l, int t, int r, int b, uint32_t v) const {
        return Count(l, t, r, b, v) == (r - l) * (b - t) && CountAll(v) == (r - l) * (b - t);
    }
    bool SameAs(const Surface& other) const {
        for (int i = 0; i < cx_ * cy_; ++i)
            if (bits_[i] != other.bits_[i]) return false;
        return true;
    }

private:
    int cx_, cy_;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ prior_ = nullptr;
};

}  // namespace test
