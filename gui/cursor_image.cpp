#include "gui/cursor_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gui/cursor_mask.h"
#include "gui/draw_lock.h"
#include "gui/win_version.h"

namespace Gui {
namespace {

// The system cursor size, read once (under the drawing lock).
Size g_cursor_size;
bool g_cursor_size_read;

Size SystemCursorSize() {
    if (!g_cursor_size_read) {
        g_cursor_size = Size(GetSystemMetrics(SM_CXCURSOR), GetSystemMetrics(SM_CYCURSOR));
        g_cursor_size_read = true;
    }
    return g_cursor_size;
}

// Reads a bitmap's top rows as top-down 32-bit pixels into out.
void ReadPixels(HDC dc, HBITMAP bm, int cx, int cy, void* out) {
    auto info = MakeBitmapInfo32(cx, cy);
    GetDIBits(dc, bm, 0, cy, out, info.get(), DIB_RGB_COLORS);
}

bool IsSet(DWORD mask_pixel) { return ((mask_pixel >> 16) & 0xFF) != 0; }

}  // namespace

HCURSOR ImageToCursor(const Image& img) {
    DrawLock lock;
    Size size = img.GetSize();
    if (size.cx == 0 || size.cy == 0) return nullptr;
    if (img.data_->system_cursor)
        return LoadCursorW(nullptr, MAKEINTRESOURCEW(img.data_->system_cursor));
    const Size limit = SystemCursorSize();
    if (!IsWin2K()) {
        size.cx = std::min(size.cx, limit.cx);
        size.cy = std::min(size.cy, limit.cy);
    }
    HBITMAP mask = nullptr, colour = nullptr;
    if (IsWinXP()) {
        // The alpha channel itself shapes the cursor. The mask still marks the fully
        // transparent pixels: an all-clear mask would read back as an opaque block.
        HDC dc = CreateCompatibleDC(nullptr);
        auto info = MakeBitmapInfo32(size.cx, size.cy);
        void* bits = nullptr;
        colour = CreateDIBSection(dc, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
        if (colour && bits) {
            auto* out = static_cast<RGBA*>(bits);
            std::memset(out, 0, static_cast<size_t>(size.cx) * size.cy * sizeof(RGBA));
            const int w = std::min(size.cx, img.GetWidth()), h = std::min(size.cy, img.GetHeight());
            for (int y = 0; y < h; ++y)
                std::memcpy(out + static_cast<size_t>(size.cx) * y, img.GetRow(y),
                            w * sizeof(RGBA));
            const int row_bytes = ((size.cx + 15) >> 3) & ~1;
            std::vector<BYTE> m(static_cast<size_t>(row_bytes) * size.cy, 0);
            for (int y = 0; y < size.cy; ++y) {
                for (int x = 0; x < size.cx; ++x) {
                    if (out[static_cast<size_t>(size.cx) * y + x].a == 0)
                        m[static_cast<size_t>(row_bytes) * y + (x >> 3)] |=
                            static_cast<BYTE>(0x80 >> (x & 7));
                }
            }
            mask = CreateBitmap(size.cx, size.cy, 1, 1, m.data());
        }
        DeleteDC(dc);
    } else {
        std::vector<RGBA> pixels(static_cast<size_t>(size.cx) * size.cy);
        HDC screen = GetDC(nullptr);
        mask = CreateCursorMask(img, pixels.data(), size.cx, size.cy);
        auto info = MakeBitmapInfo32(size.cx, size.cy);
        colour = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, pixels.data(), info.get(),
                                DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
    }
    const Point hot = img.GetHotSpot();
    ICONINFO ii{FALSE, static_cast<DWORD>(hot.x), static_cast<DWORD>(hot.y), mask, colour};
    HCURSOR cursor = mask && colour ? CreateIconIndirect(&ii) : nullptr;
    if (mask) DeleteObject(mask);
    if (colour) DeleteObject(colour);
    return cursor;
}

Image ImageFromIcon(HICON icon) {
    DrawLock lock;
    ICONINFO ii{};
    if (!icon || !GetIconInfo(icon, &ii)) return Image();
    BITMAP bm{};
    GetObjectW(ii.hbmMask, sizeof(bm), &bm);
    const int cx = bm.bmWidth, mask_cy = bm.bmHeight;
    HDC dc = CreateCompatibleDC(nullptr);
    std::vector<DWORD> mask(static_cast<size_t>(cx) * std::max(mask_cy, 0));
    ReadPixels(dc, ii.hbmMask, cx, mask_cy, mask.data());
    // A monochrome icon's mask holds its AND rows above its XOR rows.
    const int cy = ii.hbmColor ? mask_cy : mask_cy / 2;
    ImageBuffer b(cx, cy);
    b.SetHotSpot(Point(static_cast<int>(ii.xHotspot), static_cast<int>(ii.yHotspot)));
    const int n = b.GetLength();
    RGBA* px = b.Begin();
    if (ii.hbmColor) {
        std::fill(px, px + n, RGBA{0, 0, 0, 0});
        ReadPixels(dc, ii.hbmColor, cx, cy, px);
        const bool own_alpha =
            std::any_of(px, px + n, [](RGBA p) { return p.a != 0 && p.a != 255; });
        if (!own_alpha) {
            for (int i = 0; i < n; ++i) {
                // Transparent pixels lose their colour too, keeping the pixels
                // premultiplied; left as they were, they would brighten what lies below.
                if (IsSet(mask[i]))
                    px[i] = RGBA{0, 0, 0, 0};
                else
                    px[i].a = 255;
            }
        }
    } else {
        const DWORD* and_rows = mask.data();
        const DWORD* xor_rows = mask.data() + static_cast<size_t>(cx) * cy;
        for (int i = 0; i < n; ++i) {
            const bool a = IsSet(and_rows[i]), x = IsSet(xor_rows[i]);
            const uint8_t c = x && !a ? 255 : 0;
            px[i] = RGBA{c, c, c, static_cast<uint8_t>(a && !x ? 0 : 255)};
        }
    }
    DeleteDC(dc);
    DeleteObject(ii.hbmMask);
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    Image img(b);
    DestroyIcon(icon);
    return img;
}

Image ImageFromSystemCursor(int id) {
    Image img = ImageFromIcon(LoadCursorW(nullptr, MAKEINTRESOURCEW(id)));
    if (img.data_) img.data_->system_cursor = static_cast<DWORD>(id);
    return img;
}

}  // namespace Gui
