// PNG through libpng's simplified reader: every colour type, bit depth, palette,
// transparency chunk and interlace arrives as 8-bit straight BGRA, which on this
// little-endian machine is exactly an ARGB word per pixel.
#include <png.h>

#include <cstring>

#include "gdiplus/raster.h"

namespace gdip {

Status decode_png(const uint8_t* data, size_t size, Raster& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) return OutOfMemory;
    // A transparency chunk counts as alpha too.
    bool has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_BGRA;
    // 16-bit samples scale down as they are, rather than as linear light.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    Raster decoded;
    if (!decoded.allocate(image.width, image.height)) {
        png_image_free(&image);
        return OutOfMemory;
    }
    if (!png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return OutOfMemory;
    }
    decoded.format = has_alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    decoded.raw_format = kFormatPng;
    out = std::move(decoded);
    return Ok;
}

}  // namespace gdip
