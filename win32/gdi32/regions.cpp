// Regions: y-x banded rectangle sets over pixman_region32.
#include "w32/gdi.h"

#include <cstring>

using namespace w32::gdi;

namespace {

void set_rect(pixman_region32_t* r, int left, int top, int right, int bottom) {
    // Windows accepts the corners in either order.
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    pixman_region32_fini(r);
    pixman_region32_init_rect(r, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top));
}

RECT box_rect(const pixman_box32_t& b) { return RECT{b.x1, b.y1, b.x2, b.y2}; }

}  // namespace

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto r = std::make_shared<Region>();
    set_rect(&r->rgn, left, top, right, bottom);
    return static_cast<HRGN>(add_object(r));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int WINAPI CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto d = find_as<Region>(dest);
    auto a = find_as<Region>(src1);
    auto b = mode == RGN_COPY ? a : find_as<Region>(src2);
    if (!d || !a || !b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    pixman_region32_t out;
    pixman_region32_init(&out);
    switch (mode) {
        case RGN_AND:
            pixman_region32_intersect(&out, &a->rgn, &b->rgn);
            break;
        case RGN_OR:
            pixman_region32_union(&out, &a->rgn, &b->rgn);
            break;
        case RGN_DIFF:
            pixman_region32_subtract(&out, &a->rgn, &b->rgn);
            break;
        case RGN_COPY:
            pixman_region32_copy(&out, &a->rgn);
            break;
        case RGN_XOR: {
            pixman_region32_t ab, ba;
            pixman_region32_init(&ab);
            pixman_region32_init(&ba);
            pixman_region32_subtract(&ab, &a->rgn, &b->rgn);
            pixman_region32_subtract(&ba, &b->rgn, &a->rgn);
            pixman_region32_union(&out, &ab, &ba);
            pixman_region32_fini(&ab);
            pixman_region32_fini(&ba);
            break;
        }
        default:
            pixman_region32_fini(&out);
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
    }
    pixman_region32_copy(&d->rgn, &out);
    pixman_region32_fini(&out);
    return complexity(&d->rgn);
}

int WINAPI GetRgnBox(HRGN rgn, LPRECT rect) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto r = find_as<Region>(rgn);
    if (!r || !rect) {
        SetLastError(r ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return ERROR;
    }
    int c = complexity(&r->rgn);
    *rect = c == NULLREGION ? RECT{0, 0, 0, 0} : box_rect(*pixman_region32_extents(&r->rgn));
    return c;
}

DWORD WINAPI GetRegionData(HRGN rgn, DWORD size, LPRGNDATA data) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto r = find_as<Region>(rgn);
    if (!r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&r->rgn, &n);
    DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
    if (!data) return needed;
    if (size < needed) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(n);
    data->rdh.nRgnSize = static_cast<DWORD>(n * sizeof(RECT));
    data->rdh.rcBound = n ? box_rect(*pixman_region32_extents(&r->rgn)) : RECT{0, 0, 0, 0};
    for (int i = 0; i < n; ++i) {
        RECT rc = box_rect(boxes[i]);
        std::memcpy(data->Buffer + i * sizeof(RECT), &rc, sizeof(RECT));
    }
    return needed;
}
