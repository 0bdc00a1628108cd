// The per-DC drawing state: colours, modes, origins and the current position.
#include "w32/gdi.h"

using namespace w32::gdi;

namespace {

// Runs f on the DC under the GDI lock; answers fail for an unknown handle.
template <class R, class F>
R with_dc(HDC hdc, R fail, F f) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return fail;
    return f(*dc);
}

template <class T>
T exchange(T& field, T value) {
    T old = field;
    field = value;
    return old;
}

BOOL set_point(HDC hdc, POINT Dc::*field, int x, int y, LPPOINT old) {
    return with_dc(hdc, FALSE, [&](Dc& dc) {
        if (old) *old = dc.*field;
        dc.*field = POINT{x, y};
        return TRUE;
    });
}

BOOL get_point(HDC hdc, POINT Dc::*field, LPPOINT out) {
    return with_dc(hdc, FALSE, [&](Dc& dc) {
        if (!out) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *out = dc.*field;
        return TRUE;
    });
}

}  // namespace

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    return with_dc(hdc, static_cast<COLORREF>(CLR_INVALID),
                   [&](Dc& dc) { return exchange(dc.text_color, color & 0xFFFFFF); });
}

COLORREF WINAPI GetTextColor(HDC hdc) {
    return with_dc(hdc, static_cast<COLORREF>(CLR_INVALID), [](Dc& dc) { return dc.text_color; });
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    return with_dc(hdc, static_cast<COLORREF>(CLR_INVALID),
                   [&](Dc& dc) { return exchange(dc.bk_color, color & 0xFFFFFF); });
}

COLORREF WINAPI GetBkColor(HDC hdc) {
    return with_dc(hdc, static_cast<COLORREF>(CLR_INVALID), [](Dc& dc) { return dc.bk_color; });
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    return with_dc(hdc, 0, [&](Dc& dc) {
        if (mode != TRANSPARENT && mode != OPAQUE) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        return exchange(dc.bk_mode, mode);
    });
}

int WINAPI GetBkMode(HDC hdc) {
    return with_dc(hdc, 0, [](Dc& dc) { return dc.bk_mode; });
}

UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
    return with_dc(hdc, static_cast<UINT>(GDI_ERROR),
                   [&](Dc& dc) { return exchange(dc.text_align, align); });
}

UINT WINAPI GetTextAlign(HDC hdc) {
    return with_dc(hdc, static_cast<UINT>(GDI_ERROR), [](Dc& dc) { return dc.text_align; });
}

BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return set_point(hdc, &Dc::window_org, x, y, old);
}

BOOL WINAPI GetWindowOrgEx(HDC hdc, LPPOINT org) { return get_point(hdc, &Dc::window_org, org); }

BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    return set_point(hdc, &Dc::viewport_org, x, y, old);
}

BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT org) {
    return get_point(hdc, &Dc::viewport_org, org);
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    return set_point(hdc, &Dc::position, x, y, old);
}

BOOL WINAPI GetCurrentPositionEx(HDC hdc, LPPOINT pos) {
    return get_point(hdc, &Dc::position, pos);
}

BOOL WINAPI LPtoDP(HDC hdc, LPPOINT points, int count) {
    return with_dc(hdc, FALSE, [&](Dc& dc) {
        if (count < 0 || (count > 0 && !points)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        // Device units of a window DC count from the window, not its surface.
        for (int i = 0; i < count; ++i) {
            points[i] = dc.to_device(points[i].x, points[i].y);
            points[i].x -= dc.origin.x;
            points[i].y -= dc.origin.y;
        }
        return TRUE;
    });
}

BOOL WINAPI DPtoLP(HDC hdc, LPPOINT points, int count) {
    return with_dc(hdc, FALSE, [&](Dc& dc) {
        if (count < 0 || (count > 0 && !points)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        for (int i = 0; i < count; ++i) {
            points[i].x += dc.window_org.x - dc.viewport_org.x;
            points[i].y += dc.window_org.y - dc.viewport_org.y;
        }
        return TRUE;
    });
}
