// Layered windows: pixels and alpha handed over whole by UpdateLayeredWindow, or a
// constant alpha and colour key set with SetLayeredWindowAttributes.
#include "paint.h"
#include "window.h"

#include <w32/gdi.h>
#include <w32/window_surface.h>

#include <windows.h>

#include <cstring>
#include <vector>

using namespace w32;
using namespace w32::user;

namespace {

// The window if it is a layered window, else null with ERROR_INVALID_PARAMETER.
WindowPtr layered_window(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    std::lock_guard lock(user_mutex());
    if (!(w->ex_style & WS_EX_LAYERED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return w;
}

// Copies width x height pixels, all four bytes, from the source DC at its logical
// point src onto the window's surface. False with ERROR_INVALID_PARAMETER when the
// source does not hold the whole rectangle.
bool copy_from_dc(HWND hwnd, HDC hdc_src, POINT src, int width, int height) {
    paint::DcTarget target;
    if (!paint::window_dc_target(hwnd, true, &target)) return false;
    std::lock_guard lock(gdi::gdi_mutex());
    auto dc = gdi::find_dc(hdc_src);
    if (!dc) return false;
    if (!dc->surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const gdi::Bitmap& from = *dc->surface;
    gdi::Bitmap& to = *target.surface;
    const POINT at = dc->to_device(src.x, src.y);
    if (at.x < 0 || at.y < 0 || at.x + width > from.width || at.y + height > from.height) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const int cw = std::min(width, to.width - static_cast<int>(target.origin.x)),
              ch = std::min(height, to.height - static_cast<int>(target.origin.y));
    for (int y = 0; y < ch; ++y) {
        uint8_t* out = to.row(y + target.origin.y) + static_cast<size_t>(target.origin.x) * 4;
        if (from.bpp == 32) {
            std::memmove(out, from.row(y + at.y) + static_cast<size_t>(at.x) * 4,
                         static_cast<size_t>(cw) * 4);
        } else {
            for (int x = 0; x < cw; ++x) {
                const uint32_t p = from.pixel(x + at.x, y + at.y);
                std::memcpy(out + static_cast<size_t>(x) * 4, &p, 4);
            }
        }
    }
    return true;
}

// Every window in hwnd's tree forgets what it was asked to repaint.
void drop_updates_locked(Window& w) {
    std::vector<HWND> tree{w.hwnd};
    collect_descendants_locked(w.hwnd, &tree);
    for (HWND h : tree) {
        auto c = find_window_locked(h);
        if (!c || !c->paint) continue;
        pixman_region32_clear(&c->paint->update);
        c->paint->erase = false;
    }
}

}  // namespace

BOOL WINAPI UpdateLayeredWindow(HWND hwnd, HDC /*hdc_dst*/, POINT* pt_dst, SIZE* size, HDC hdc_src,
                                POINT* pt_src, COLORREF key, const BLENDFUNCTION* blend,
                                DWORD flags) {
    auto w = layered_window(hwnd);
    if (!w) return FALSE;
    if ((flags & ~static_cast<DWORD>(ULW_COLORKEY | ULW_ALPHA | ULW_OPAQUE)) ||
        ((flags & ULW_ALPHA) && !blend) || (size && (size->cx <= 0 || size->cy <= 0))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT before;
    {
        std::lock_guard lock(user_mutex());
        // Once the program chose SetLayeredWindowAttributes, the window paints itself.
        if (w->layered.attributes) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        before = w->rect;
    }
    const int width = size ? size->cx : before.right - before.left;
    const int height = size ? size->cy : before.bottom - before.top;
    if (hdc_src) {
        // Refuse a short source before the window moves.
        std::lock_guard lock(gdi::gdi_mutex());
        auto dc = gdi::find_dc(hdc_src);
        if (!dc) return FALSE;
        const POINT at = dc->to_device(pt_src ? pt_src->x : 0, pt_src ? pt_src->y : 0);
        if (!dc->surface || at.x < 0 || at.y < 0 || at.x + width > dc->surface->width ||
            at.y + height > dc->surface->height) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
    }
    {
        std::lock_guard lock(user_mutex());
        auto& l = w->layered;
        l.updated = true;
        if (flags & ULW_COLORKEY) l.key = key;
        // What is in force for the screen, in the attributes' terms.
        l.flags =
            ((flags & ULW_COLORKEY) ? LWA_COLORKEY : 0) | ((flags & ULW_ALPHA) ? LWA_ALPHA : 0);
        if (flags & ULW_OPAQUE) {
            l.alpha = 255;
            l.per_pixel = false;
        } else if (flags & ULW_ALPHA) {
            l.alpha = blend->SourceConstantAlpha;
            l.per_pixel = (blend->AlphaFormat & AC_SRC_ALPHA) != 0;
        }
        drop_updates_locked(*w);
    }
    if (pt_dst || size) {
        UINT swp = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!pt_dst) swp |= SWP_NOMOVE;
        if (!size) swp |= SWP_NOSIZE;
        if (!SetWindowPos(hwnd, nullptr, pt_dst ? pt_dst->x : 0, pt_dst ? pt_dst->y : 0, width,
                          height, swp))
            return FALSE;
    }
    if (hdc_src && !copy_from_dc(hwnd, hdc_src, pt_src ? *pt_src : POINT{0, 0}, width, height))
        return FALSE;
    return TRUE;
}

BOOL WINAPI SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
    auto w = layered_window(hwnd);
    if (!w) return FALSE;
    if (flags & ~static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool repaint;
    {
        std::lock_guard lock(user_mutex());
        auto& l = w->layered;
        repaint = l.updated;
        l.attributes = true;
        l.updated = false;
        l.per_pixel = false;
        l.flags = flags;
        l.key = key;
        l.alpha = alpha;
    }
    // The window draws its own pixels again from now on.
    if (repaint) InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

BOOL WINAPI GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags) {
    auto w = layered_window(hwnd);
    if (!w) return FALSE;
    std::lock_guard lock(user_mutex());
    const auto& l = w->layered;
    if (!l.attributes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (key) *key = l.key;
    if (alpha) *alpha = l.alpha;
    if (flags) *flags = l.flags;
    return TRUE;
}
