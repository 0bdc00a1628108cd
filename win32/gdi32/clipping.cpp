// The DC clip region (device units; none means the whole surface).
#include "w32/gdi.h"

using namespace w32::gdi;

namespace {

// Complexity of what the DC now shows.
int visible_complexity(const Dc& dc) {
    pixman_box32_t one;
    if (dc.visible_box(&one))
        return one.x1 < one.x2 && one.y1 < one.y2 ? SIMPLEREGION : NULLREGION;
    pixman_region32_t vis;
    dc.visible(&vis);
    int c = complexity(&vis);
    pixman_region32_fini(&vis);
    return c;
}

}  // namespace

int WINAPI GetClipRgn(HDC hdc, HRGN rgn) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    auto r = find_as<Region>(rgn);
    if (!dc || !r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    if (!dc->has_clip) return 0;
    pixman_region32_copy(&r->rgn, &dc->clip);
    return 1;
}

int WINAPI ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return ERROR;
    auto r = rgn ? find_as<Region>(rgn) : nullptr;
    if (rgn && !r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    if (!r) {
        // Only RGN_COPY takes no region: it removes clipping.
        if (mode != RGN_COPY) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
        }
        dc->has_clip = false;
        pixman_region32_clear(&dc->clip);
        return visible_complexity(*dc);
    }
    pixman_region32_t current;
    if (dc->has_clip) {
        pixman_region32_init(&current);
        pixman_region32_copy(&current, &dc->clip);
    } else {
        pixman_region32_init_rect(&current, 0, 0, static_cast<unsigned>(dc->width()),
                                  static_cast<unsigned>(dc->height()));
    }
    switch (mode) {
        case RGN_AND:
            pixman_region32_intersect(&current, &current, &r->rgn);
            break;
        case RGN_OR:
            pixman_region32_union(&current, &current, &r->rgn);
            break;
        case RGN_DIFF:
            pixman_region32_subtract(&current, &current, &r->rgn);
            break;
        case RGN_COPY:
            pixman_region32_copy(&current, &r->rgn);
            break;
        case RGN_XOR: {
            pixman_region32_t both;
            pixman_region32_init(&both);
            pixman_region32_intersect(&both, &current, &r->rgn);
            pixman_region32_union(&current, &current, &r->rgn);
            pixman_region32_subtract(&current, &current, &both);
            pixman_region32_fini(&both);
            break;
        }
        default:
            pixman_region32_fini(&current);
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
    }
    pixman_region32_copy(&dc->clip, &current);
    pixman_region32_fini(&current);
    dc->has_clip = true;
    return visible_complexity(*dc);
}

int WINAPI SelectClipRgn(HDC hdc, HRGN rgn) { return ExtSelectClipRgn(hdc, rgn, RGN_COPY); }

int WINAPI GetClipBox(HDC hdc, LPRECT rect) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return ERROR;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERROR;
    }
    pixman_region32_t vis;
    dc->visible(&vis);
    int c = complexity(&vis);
    if (c == NULLREGION) {
        *rect = RECT{0, 0, 0, 0};
    } else {
        const pixman_box32_t* e = pixman_region32_extents(&vis);
        // Device to logical.
        LONG dx = dc->window_org.x - dc->viewport_org.x - dc->origin.x;
        LONG dy = dc->window_org.y - dc->viewport_org.y - dc->origin.y;
        *rect = RECT{e->x1 + dx, e->y1 + dy, e->x2 + dx, e->y2 + dy};
    }
    pixman_region32_fini(&vis);
    return c;
}

BOOL WINAPI RectVisible(HDC hdc, const RECT* rect) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc || !rect) return FALSE;
    POINT a = dc->to_device(rect->left, rect->top), b = dc->to_device(rect->right, rect->bottom);
    pixman_box32_t box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                       std::max(a.y, b.y)};
    if (box.x1 == box.x2 || box.y1 == box.y2) return FALSE;
    pixman_region32_t vis;
    dc->visible(&vis);
    bool seen = pixman_region32_contains_rectangle(&vis, &box) != PIXMAN_REGION_OUT;
    pixman_region32_fini(&vis);
    return seen;
}
