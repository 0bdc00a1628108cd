// AlphaBlend: premultiplied source OVER destination, with a constant alpha that
// scales the whole source; without AC_SRC_ALPHA every channel, alpha included, is
// mixed by the constant alone. Sizes must match (no stretching).
#include "w32/builtin.h"
#include "w32/gdi.h"

using namespace w32::gdi;

namespace {

// x / 255, rounded to nearest.
inline uint32_t div255(uint32_t x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

uint32_t over(uint32_t src, uint32_t dst, uint32_t constant, bool per_pixel) {
    uint32_t sa = per_pixel ? src >> 24 : 255;
    uint32_t a = div255(sa * constant);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t s = shift == 24 && per_pixel ? sa : (src >> shift) & 0xFF;
        uint32_t d = (dst >> shift) & 0xFF;
        uint32_t v = div255(s * constant) + div255(d * (255 - a));
        out |= (v > 255 ? 255 : v) << shift;
    }
    return out;
}

}  // namespace

BOOL WINAPI AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                       int src_width, int src_height, BLENDFUNCTION blend) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dd = find_dc(dest);
    auto sd = find_dc(src);
    if (!dd || !sd) return FALSE;
    if (!dd->surface || !sd->surface || blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0 ||
        width != src_width || height != src_height) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    POINT d = dd->to_device(x, y);
    POINT s = sd->to_device(src_x, src_y);
    Bitmap& from = *sd->surface;
    Bitmap& to = *dd->surface;
    // The source rectangle must lie within the source surface.
    if (s.x < 0 || s.y < 0 || s.x + width > from.width || s.y + height > from.height) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pixman_region32_t area;
    dd->visible(&area);
    pixman_region32_intersect_rect(&area, &area, d.x, d.y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height));
    bool per_pixel = (blend.AlphaFormat & AC_SRC_ALPHA) && from.bpp == 32;
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
    for (int i = 0; i < n; ++i) {
        const pixman_box32_t& b = boxes[i];
        for (int yy = b.y1; yy < b.y2; ++yy)
            for (int xx = b.x1; xx < b.x2; ++xx) {
                uint32_t sp = from.pixel(xx - d.x + s.x, yy - d.y + s.y);
                to.set_pixel(xx, yy,
                             over(sp, to.pixel(xx, yy), blend.SourceConstantAlpha, per_pixel));
            }
    }
    pixman_region32_fini(&area);
    return TRUE;
}

W32_BUILTIN_EXPORT("msimg32.dll", AlphaBlend);
