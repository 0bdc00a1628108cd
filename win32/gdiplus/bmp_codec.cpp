// Uncompressed BMP files: 1, 4 and 8 bits with a palette, 16 (5-5-5), 24 and 32
// bits, bottom-up or top-down. Compressed and bit-field forms answer
// UnknownImageFormat.
#include <cstring>

#include "gdiplus/raster.h"

namespace gdip {
namespace {

uint32_t u32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint32_t kRgb = 0;

}  // namespace

Status decode_bmp(const uint8_t* d, size_t n, Raster& out) {
    if (n < 14 + 40) return OutOfMemory;
    uint32_t bits_offset = u32(d + 10);
    uint32_t header_size = u32(d + 14);
    if (header_size < 40 || 14 + size_t(header_size) > n) return OutOfMemory;
    int32_t width = static_cast<int32_t>(u32(d + 18));
    int32_t height = static_cast<int32_t>(u32(d + 22));
    uint16_t bpp = u16(d + 28);
    uint32_t compression = u32(d + 30);
    uint32_t colours = u32(d + 46);
    bool top_down = height < 0;
    if (width <= 0 || height == 0 || height == INT32_MIN) return OutOfMemory;
    UINT h = static_cast<UINT>(top_down ? -height : height);
    UINT w = static_cast<UINT>(width);
    if (compression != kRgb) return UnknownImageFormat;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return OutOfMemory;

    const uint8_t* palette = d + 14 + header_size;
    uint32_t palette_size = bpp <= 8 ? (colours ? colours : 1u << bpp) : 0;
    if (palette_size > 256 || palette + size_t(palette_size) * 4 > d + n) return OutOfMemory;

    size_t stride = (size_t(w) * bpp + 31) / 32 * 4;
    if (bits_offset > n || stride * h > n - bits_offset) return OutOfMemory;
    Raster decoded;
    if (!decoded.allocate(w, h)) return OutOfMemory;
    const uint8_t* bits = d + bits_offset;
    for (UINT y = 0; y < h; ++y) {
        const uint8_t* row = bits + stride * (top_down ? y : h - 1 - y);
        ARGB* dst = &decoded.pixels[size_t(y) * w];
        for (UINT x = 0; x < w; ++x) {
            uint32_t b, g, r;
            if (bpp <= 8) {
                uint32_t per_byte = 8 / bpp;
                uint32_t shift = 8 - bpp * (x % per_byte + 1);
                uint32_t index = (row[x / per_byte] >> shift) & ((1u << bpp) - 1);
                if (index >= palette_size) index = 0;
                const uint8_t* c = palette + index * 4;
                b = c[0], g = c[1], r = c[2];
            } else if (bpp == 16) {
                uint32_t v = u16(row + x * 2);
                r = (v >> 10 & 31) * 255 / 31, g = (v >> 5 & 31) * 255 / 31,
                b = (v & 31) * 255 / 31;
            } else {
                const uint8_t* c = row + x * (bpp / 8);
                b = c[0], g = c[1], r = c[2];
            }
            dst[x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
    decoded.format = bpp == 32 ? PixelFormat32bppRGB : PixelFormat24bppRGB;
    decoded.raw_format = kFormatBmp;
    out = std::move(decoded);
    return Ok;
}

}  // namespace gdip
