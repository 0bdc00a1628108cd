// PNG through libpng's simplified reader: every colour type, bit depth, palette,
// transparency chunk and interlace arrives as 8-bit straight BGRA, which on this
// little-endian machine is exactly an ARGB word per pixel.
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "gdiplus/raster.h"

namespace gdip {
namespace {

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

void put_be32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void put_chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
    put_be32(out, static_cast<uint32_t>(size));
    const size_t at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    put_be32(out, static_cast<uint32_t>(crc32(0, out.data() + at, static_cast<uInt>(size + 4))));
}

struct Source {
    const uint8_t* at;
    const uint8_t* end;
};

void read_source(png_structp png, png_bytep out, png_size_t n) {
    auto* src = static_cast<Source*>(png_get_io_ptr(png));
    if (n > static_cast<size_t>(src->end - src->at)) png_error(png, "read past the end");
    std::memcpy(out, src->at, n);
    src->at += n;
}

void silent_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void silent_warning(png_structp, png_const_charp) {}

// The rows of an interlaced file as they are stored, put together from its passes.
// Holds no object with a destructor, so a libpng error may jump back over it.
bool read_stored_rows(png_structp png, png_infop info, Source& src, std::vector<uint8_t>& pixels,
                      size_t& stride) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &src, read_source);
    png_read_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!size_allowed(png_get_image_width(png, info), height)) return false;
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    stride = png_get_rowbytes(png, info);
    pixels.resize(stride * height);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, &pixels[stride * y], nullptr);
    return true;
}

// libpng's simplified reader scales the passes of a 16-bit interlaced file wrongly
// to 8 bits. Such a file is written again without interlacing, its other chunks
// before the image data kept byte for byte, so that the reader decodes it as it
// decodes the file's non-interlaced twin. Answers false when the file is damaged.
bool without_interlace(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silent_error, silent_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> pixels;
    size_t stride = 0;
    Source src{data, data + size};
    bool ok = info && read_stored_rows(png, info, src, pixels, stride);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok || stride == 0) return false;

    // Each row with filter type 0 (none) in front, compressed as one zlib stream.
    const size_t height = pixels.size() / stride;
    std::vector<uint8_t> filtered;
    filtered.reserve(height * (stride + 1));
    for (size_t y = 0; y < height; ++y) {
        filtered.push_back(0);
        filtered.insert(filtered.end(), &pixels[stride * y], &pixels[stride * y] + stride);
    }
    uLongf packed_size = compressBound(static_cast<uLong>(filtered.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, filtered.data(), static_cast<uLong>(filtered.size()),
                  1) != Z_OK)
        return false;

    out.assign(data, data + 8);
    for (size_t at = 8; at + 12 <= size;) {
        const uint32_t length = be32(data + at);
        if (length > size - at - 12) return false;
        const uint8_t* type = data + at + 4;
        const uint8_t* body = data + at + 8;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13) return false;
            uint8_t header[13];
            std::memcpy(header, body, 13);
            header[12] = 0;  // no interlace
            put_chunk(out, "IHDR", header, 13);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            put_chunk(out, "IDAT", packed.data(), packed_size);
            put_chunk(out, "IEND", nullptr, 0);
            return true;
        } else {
            out.insert(out.end(), data + at, body + length + 4);
        }
        at += 12 + size_t(length);
    }
    return false;
}

bool is_16bit_interlaced(const uint8_t* data, size_t size) {
    // The header chunk follows the signature: bit depth at 24, interlace at 28.
    return size >= 33 && std::memcmp(data + 12, "IHDR", 4) == 0 && data[24] == 16 && data[28] != 0;
}

}  // namespace

Status decode_png(const uint8_t* data, size_t size, Raster& out) {
    std::vector<uint8_t> rewritten;
    if (is_16bit_interlaced(data, size)) {
        if (!without_interlace(data, size, rewritten)) return OutOfMemory;
        data = rewritten.data();
        size = rewritten.size();
    }
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
