// Raster operations: pattern fills and copies between surfaces. A brush or pen
// colour has alpha 0; a 32-bpp to 32-bpp copy keeps all four bytes.
#include "w32/gdi.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace w32::gdi {

void fill_region(Dc& dc, pixman_region32_t* shape, uint32_t bgra) {
    if (!dc.surface) return;
    pixman_region32_t vis;
    dc.visible(&vis);
    pixman_region32_intersect(&vis, &vis, shape);
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&vis, &n);
    for (int i = 0; i < n; ++i) dc.surface->fill(boxes[i], bgra);
    pixman_region32_fini(&vis);
}

void order_fill_box(int* x, int* y, int* width, int* height) {
    if (*width < 0) {
        *x += *width + 1;
        *width = -*width;
    }
    if (*height < 0) {
        *y += *height + 1;
        *height = -*height;
    }
}

}  // namespace w32::gdi

using namespace w32::gdi;

namespace {

// The boxes of [x, x + width) x [y, y + height) (logical) that the DC lets through.
std::vector<pixman_box32_t> visible_boxes(Dc& dc, int x, int y, int width, int height) {
    order_fill_box(&x, &y, &width, &height);
    POINT d = dc.to_device(x, y);
    pixman_region32_t area;
    dc.visible(&area);
    pixman_region32_intersect_rect(&area, &area, d.x, d.y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height));
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
    std::vector<pixman_box32_t> out(boxes, boxes + n);
    pixman_region32_fini(&area);
    return out;
}

// The raster operations without a source. They work on every bit of a pixel, so
// WHITENESS sets the alpha byte too and DSTINVERT inverts it; a brush's pixel has
// alpha 0.
bool pattern_fill(Dc& dc, int x, int y, int width, int height, DWORD rop) {
    uint32_t value;
    switch (rop) {
        case PATCOPY:
            if (dc.brush->null) return true;
            value = color_pixel(dc.brush->color);
            break;
        case BLACKNESS:
            value = 0;
            break;
        case WHITENESS:
            value = dc.surface->bpp == 32 ? 0xFFFFFFFF : 0xFFFFFF;
            break;
        case DSTINVERT:
        case PATINVERT: {
            if (rop == PATINVERT && dc.brush->null) return true;
            Bitmap& to = *dc.surface;
            const uint32_t flip = rop == DSTINVERT ? 0xFFFFFFFF : color_pixel(dc.brush->color);
            for (const pixman_box32_t& b : visible_boxes(dc, x, y, width, height))
                for (int yy = b.y1; yy < b.y2; ++yy)
                    for (int xx = b.x1; xx < b.x2; ++xx) {
                        const uint32_t v = to.pixel(xx, yy) ^ flip;
                        to.set_pixel(xx, yy, to.bpp == 32 ? v : (v & 0xFFFFFF) ? 0xFFFFFF : 0);
                    }
            return true;
        }
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
    }
    order_fill_box(&x, &y, &width, &height);
    POINT d = dc.to_device(x, y);
    pixman_box32_t one;
    if (dc.visible_box(&one)) {
        // The usual clip, one rectangle: no region to make.
        one.x1 = std::max(one.x1, d.x);
        one.y1 = std::max(one.y1, d.y);
        one.x2 = static_cast<int32_t>(std::min<int64_t>(one.x2, int64_t{d.x} + width));
        one.y2 = static_cast<int32_t>(std::min<int64_t>(one.y2, int64_t{d.y} + height));
        if (one.x1 < one.x2 && one.y1 < one.y2) dc.surface->fill(one, value);
        return true;
    }
    for (const pixman_box32_t& b : visible_boxes(dc, x, y, width, height))
        dc.surface->fill(b, value);
    return true;
}

// One pixel of src as dst stores it; 1-bpp conversions follow the DCs' colours.
uint32_t convert(uint32_t v, const Dc& src, const Dc& dst) {
    int from = src.surface->bpp, to = dst.surface->bpp;
    if (from == to) return v;
    if (from == 32) return (v & 0xFFFFFF) == color_pixel(src.bk_color) ? 0xFFFFFF : 0;
    return color_pixel(v ? dst.bk_color : dst.text_color);
}

}  // namespace

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return FALSE;
    if (!dc->surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return pattern_fill(*dc, x, y, width, height, rop);
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                   DWORD rop) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dd = find_dc(dest);
    if (!dd) return FALSE;
    if (!dd->surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (rop != SRCCOPY) return pattern_fill(*dd, x, y, width, height, rop);
    auto sd = find_dc(src);
    if (!sd) return FALSE;
    if (!sd->surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (width <= 0 || height <= 0) return TRUE;
    POINT d = dd->to_device(x, y);
    POINT s = sd->to_device(src_x, src_y);
    int off_x = s.x - d.x, off_y = s.y - d.y;

    pixman_region32_t area, src_area;
    dd->visible(&area);
    pixman_region32_intersect_rect(&area, &area, d.x, d.y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height));
    pixman_region32_init_rect(&src_area, -off_x, -off_y, static_cast<unsigned>(sd->surface->width),
                              static_cast<unsigned>(sd->surface->height));
    pixman_region32_intersect(&area, &area, &src_area);
    pixman_region32_fini(&src_area);

    Bitmap& from = *sd->surface;
    Bitmap& to = *dd->surface;
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
    // Within one surface the source may overlap the target: read all first.
    std::vector<std::vector<uint32_t>> saved;
    if (&from == &to) {
        for (int i = 0; i < n; ++i) {
            const pixman_box32_t& b = boxes[i];
            std::vector<uint32_t> px;
            px.reserve(static_cast<size_t>(b.x2 - b.x1) * (b.y2 - b.y1));
            for (int yy = b.y1; yy < b.y2; ++yy)
                for (int xx = b.x1; xx < b.x2; ++xx)
                    px.push_back(from.pixel(xx + off_x, yy + off_y));
            saved.push_back(std::move(px));
        }
    }
    for (int i = 0; i < n; ++i) {
        const pixman_box32_t& b = boxes[i];
        if (!saved.empty()) {
            size_t k = 0;
            for (int yy = b.y1; yy < b.y2; ++yy)
                for (int xx = b.x1; xx < b.x2; ++xx) to.set_pixel(xx, yy, saved[i][k++]);
        } else if (from.bpp == 32 && to.bpp == 32) {
            for (int yy = b.y1; yy < b.y2; ++yy)
                std::memcpy(to.row(yy) + b.x1 * 4, from.row(yy + off_y) + (b.x1 + off_x) * 4,
                            static_cast<size_t>(b.x2 - b.x1) * 4);
        } else {
            for (int yy = b.y1; yy < b.y2; ++yy)
                for (int xx = b.x1; xx < b.x2; ++xx)
                    to.set_pixel(xx, yy, convert(from.pixel(xx + off_x, yy + off_y), *sd, *dd));
        }
    }
    pixman_region32_fini(&area);
    return TRUE;
}
