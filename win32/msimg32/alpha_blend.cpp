// AlphaBlend: premultiplied source OVER destination, with a constant alpha that
// scales the whole source; without AC_SRC_ALPHA every channel, alpha included, is
// mixed by the constant alone. Sizes must match (no stretching).
#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "w32/builtin.h"
#include "w32/gdi.h"

using namespace w32::gdi;

namespace {

// Every byte of x times a / 255, rounded to nearest, two bytes at a time: each
// 16-bit lane holds x * a + 128 plus its high byte without carrying over.
inline uint32_t mul_bytes(uint32_t x, uint32_t a) {
    uint32_t rb = (x & 0xFF00FF) * a + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    uint32_t ag = ((x >> 8) & 0xFF00FF) * a + 0x800080;
    ag = (ag + ((ag >> 8) & 0xFF00FF)) & 0xFF00FF00;
    return rb | ag;
}

// Bytewise sum, each byte saturated at 255.
inline uint32_t add_bytes(uint32_t x, uint32_t y) {
    uint32_t rb = (x & 0xFF00FF) + (y & 0xFF00FF);
    rb = (rb | (0x1000100 - ((rb >> 8) & 0xFF00FF))) & 0xFF00FF;
    uint32_t ag = ((x >> 8) & 0xFF00FF) + ((y >> 8) & 0xFF00FF);
    ag = (ag | (0x1000100 - ((ag >> 8) & 0xFF00FF))) & 0xFF00FF;
    return rb | (ag << 8);
}

// Every channel, alpha included: source * constant + destination * (1 - alpha),
// where alpha is the source's own scaled by the constant, or the constant alone.
inline uint32_t over(uint32_t src, uint32_t dst, uint32_t constant, bool per_pixel) {
    const uint32_t sa = per_pixel ? src >> 24 : 255;
    const uint32_t a = mul_bytes(sa, constant) & 0xFF;
    return add_bytes(mul_bytes(src, constant), mul_bytes(dst, 255 - a));
}

// Boxes this narrow are blended here: pixman's set-up for a call costs more than
// the pixels of a skin image's corner or edge; wider ones go to pixman, which also
// passes over runs of opaque or clear pixels.
constexpr int kNarrowBox = 128;

#if defined(__SSE2__)
// Premultiplied OVER of the pixels in s onto d, four per 128-bit lane group: the
// arithmetic of mul_bytes and add_bytes, as (t * 257) >> 16 equals
// (t + (t >> 8)) >> 8 for every t = x * a + 128.
inline __m128i over4(__m128i s, __m128i d) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ff = _mm_set1_epi16(0xFF);
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i scale = _mm_set1_epi16(0x101);
    const __m128i slo = _mm_unpacklo_epi8(s, zero);
    const __m128i shi = _mm_unpackhi_epi8(s, zero);
    constexpr int kAlpha = _MM_SHUFFLE(3, 3, 3, 3);
    const __m128i alo =
        _mm_xor_si128(_mm_shufflehi_epi16(_mm_shufflelo_epi16(slo, kAlpha), kAlpha), ff);
    const __m128i ahi =
        _mm_xor_si128(_mm_shufflehi_epi16(_mm_shufflelo_epi16(shi, kAlpha), kAlpha), ff);
    __m128i dlo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), alo), half);
    __m128i dhi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), ahi), half);
    dlo = _mm_mulhi_epu16(dlo, scale);
    dhi = _mm_mulhi_epu16(dhi, scale);
    return _mm_adds_epu8(s, _mm_packus_epi16(dlo, dhi));
}

void over_row(const uint8_t* s, uint8_t* d, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4));
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4), over4(sv, dv));
    }
    for (; i < n; ++i) {
        int32_t sv, dv;
        std::memcpy(&sv, s + i * 4, 4);
        std::memcpy(&dv, d + i * 4, 4);
        const int32_t out = _mm_cvtsi128_si32(over4(_mm_cvtsi32_si128(sv), _mm_cvtsi32_si128(dv)));
        std::memcpy(d + i * 4, &out, 4);
    }
}
#else
void over_row(const uint8_t* s, uint8_t* d, int n) {
    for (int i = 0; i < n; ++i) {
        uint32_t sv, dv;
        std::memcpy(&sv, s + i * 4, 4);
        std::memcpy(&dv, d + i * 4, 4);
        dv = add_bytes(sv, mul_bytes(dv, 255 - (sv >> 24)));
        std::memcpy(d + i * 4, &dv, 4);
    }
}
#endif

// Both surfaces 32-bit: straight along the rows. The usual case, per-pixel alpha at
// full constant, needs no branch: an opaque pixel replaces the destination and an
// all-zero one leaves it.
void blend_box32(Bitmap& from, Bitmap& to, const pixman_box32_t& b, int dx, int dy,
                 uint32_t constant, bool per_pixel) {
    const int n = b.x2 - b.x1;
    const bool plain = constant == 255 && per_pixel;
    if (plain && n > kNarrowBox) {
        // pixman's OVER rounds and saturates every byte exactly as over() does.
        pixman_image_t* src = from.image();
        pixman_image_t* dst = to.image();
        if (src && dst) {
            pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, b.x1 + dx, b.y1 + dy, 0, 0,
                                     b.x1, b.y1, n, b.y2 - b.y1);
            return;
        }
    }
    for (int yy = b.y1; yy < b.y2; ++yy) {
        const uint8_t* sp = from.row(yy + dy) + static_cast<size_t>(b.x1 + dx) * 4;
        uint8_t* dp = to.row(yy) + static_cast<size_t>(b.x1) * 4;
        if (plain) {
            over_row(sp, dp, n);
            continue;
        }
        for (int i = 0; i < n; ++i) {
            uint32_t sv, dv;
            std::memcpy(&sv, sp + i * 4, 4);
            std::memcpy(&dv, dp + i * 4, 4);
            dv = over(sv, dv, constant, per_pixel);
            std::memcpy(dp + i * 4, &dv, 4);
        }
    }
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
    const bool per_pixel = (blend.AlphaFormat & AC_SRC_ALPHA) && from.bpp == 32;
    auto blend_box = [&](const pixman_box32_t& b) {
        if (from.bpp == 32 && to.bpp == 32) {
            blend_box32(from, to, b, s.x - d.x, s.y - d.y, blend.SourceConstantAlpha, per_pixel);
            return;
        }
        for (int yy = b.y1; yy < b.y2; ++yy)
            for (int xx = b.x1; xx < b.x2; ++xx) {
                uint32_t sp = from.pixel(xx - d.x + s.x, yy - d.y + s.y);
                to.set_pixel(xx, yy,
                             over(sp, to.pixel(xx, yy), blend.SourceConstantAlpha, per_pixel));
            }
    };
    pixman_box32_t one;
    if (dd->visible_box(&one)) {
        // The usual clip, one rectangle: no region to make.
        const int64_t right = std::min<int64_t>(one.x2, int64_t{d.x} + width);
        const int64_t bottom = std::min<int64_t>(one.y2, int64_t{d.y} + height);
        one.x1 = std::max(one.x1, d.x);
        one.y1 = std::max(one.y1, d.y);
        one.x2 = static_cast<int32_t>(right);
        one.y2 = static_cast<int32_t>(bottom);
        if (one.x1 < one.x2 && one.y1 < one.y2) blend_box(one);
        return TRUE;
    }
    pixman_region32_t area;
    dd->visible(&area);
    pixman_region32_intersect_rect(&area, &area, d.x, d.y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height));
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&area, &n);
    for (int i = 0; i < n; ++i) blend_box(boxes[i]);
    pixman_region32_fini(&area);
    return TRUE;
}

W32_BUILTIN_EXPORT("msimg32.dll", AlphaBlend);
