// Reading a window's pixels: PrintWindow into a DC, and the layer's PNG dump.
#include <w32/error.h>
#include <w32/gdi.h>
#include <w32/path.h>
#include <w32/window_surface.h>

#include "window.h"

#include <win32_debug.h>
#include <windows.h>

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

using namespace w32;

namespace {

// Writes 8-bit rows of the given colour type; false with the last error set.
bool write_png(FILE* out, png_uint_32 width, png_uint_32 height, int color_type, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, width, height, 8, color_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

BOOL WINAPI PrintWindow(HWND hwnd, HDC hdc, UINT flags) {
    // The window's surface already holds what it painted: copy it as it is.
    HDC src = (flags & PW_CLIENTONLY) ? GetDC(hwnd) : GetWindowDC(hwnd);
    if (!src) return FALSE;
    RECT r;
    if (flags & PW_CLIENTONLY) {
        GetClientRect(hwnd, &r);
    } else {
        GetWindowRect(hwnd, &r);
    }
    BOOL ok = BitBlt(hdc, 0, 0, r.right - r.left, r.bottom - r.top, src, 0, 0, SRCCOPY);
    ReleaseDC(hwnd, src);
    return ok;
}

BOOL WINAPI Win32DumpWindowPng(HWND hwnd, LPCWSTR path) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    paint::DcTarget target;
    if (!paint::window_dc_target(hwnd, true, &target)) return FALSE;
    RECT r;
    if (!GetWindowRect(hwnd, &r)) return FALSE;
    const int width = std::max<LONG>(0, r.right - r.left),
              height = std::max<LONG>(0, r.bottom - r.top);
    if (width == 0 || height == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // GDI leaves alpha 0 everywhere, so only per-pixel-alpha layered content keeps it.
    const bool with_alpha = [&] {
        std::lock_guard lock(user::user_mutex());
        auto w = user::find_window_locked(hwnd);
        return w && (w->ex_style & WS_EX_LAYERED) && w->layered.updated && w->layered.per_pixel;
    }();
    const int channels = with_alpha ? 4 : 3;
    // Rows read under the GDI lock so no drawing tears them.
    std::vector<png_byte> pixels(static_cast<size_t>(width) * height * channels);
    {
        std::lock_guard lock(gdi::gdi_mutex());
        const auto& s = *target.surface;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int sx = x + target.origin.x, sy = y + target.origin.y;
                uint32_t p = (sx < s.width && sy < s.height) ? s.pixel(sx, sy) : 0;
                png_byte* o = &pixels[(static_cast<size_t>(y) * width + x) * channels];
                const unsigned a = p >> 24;
                // The surface is premultiplied; PNG wants straight colour.
                auto channel = [&](unsigned c) {
                    c &= 0xFF;
                    if (!with_alpha) return static_cast<png_byte>(c);
                    return static_cast<png_byte>(a ? std::min(255u, (c * 255 + a / 2) / a) : 0);
                };
                o[0] = channel(p >> 16);
                o[1] = channel(p >> 8);
                o[2] = channel(p);
                if (with_alpha) o[3] = static_cast<png_byte>(a);
            }
    }
    const std::string file = w32::to_unix(path);
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(file.c_str(), "wb"), &std::fclose);
    if (!out) {
        SetLastError(errno_to_win(errno));
        return FALSE;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = &pixels[static_cast<size_t>(y) * width * channels];
    if (!write_png(out.get(), static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                   channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, rows.data()))
        return FALSE;
    if (std::fflush(out.get()) != 0) {
        SetLastError(errno_to_win(errno));
        return FALSE;
    }
    return TRUE;
}
