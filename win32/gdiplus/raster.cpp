// Raster storage and the choice of decoder by the file's signature.
#include "gdiplus/raster.h"

#include "gdiplus/jpeg_codec.h"

#include <cstring>
#include <new>
#include <utility>

namespace gdip {

// Formats and codecs are named by their published identifiers.
const GUID kFormatPng = {
    0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const GUID kFormatBmp = {
    0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const GUID kFormatMemoryBmp = {
    0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const CLSID kJpegEncoderClsid = {
    0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

bool Raster::allocate(UINT w, UINT h) {
    if (!size_allowed(w, h)) return false;
    try {
        pixels.resize(static_cast<size_t>(w) * h);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

bool is_jpeg(const uint8_t* d, size_t n) {
    return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
}

bool is_png(const uint8_t* d, size_t n) {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return n >= 8 && std::memcmp(d, sig, 8) == 0;
}

bool is_bmp(const uint8_t* d, size_t n) { return n >= 2 && d[0] == 'B' && d[1] == 'M'; }

namespace {

// A damaged file answers as GDI+ has always answered for one: out of memory.
Status take_jpeg(bool decoded, jpeg::Pixels& pixels, Raster& out) {
    if (!decoded) return OutOfMemory;
    out.width = pixels.width;
    out.height = pixels.height;
    out.pixels = std::move(pixels.argb);
    out.pending = std::move(pixels.pending);
    out.format = PixelFormat24bppRGB;
    out.raw_format = ImageFormatJPEG;
    return Ok;
}

}  // namespace

Status decode_jpeg(const uint8_t* data, size_t size, Raster& out) {
    jpeg::Pixels pixels;
    return take_jpeg(jpeg::decode(data, size, pixels), pixels, out);
}

bool encode_jpeg(const Raster& in, int quality, std::vector<uint8_t>& out) {
    in.pending.wait_all();
    return jpeg::encode(in.pixels.data(), in.width, in.height, quality, out);
}

Status decode_image(const uint8_t* data, size_t size, Raster& out) {
    if (!data || size == 0) return InvalidParameter;
    if (is_jpeg(data, size)) return decode_jpeg(data, size, out);
    if (is_png(data, size)) return decode_png(data, size, out);
    if (is_bmp(data, size)) return decode_bmp(data, size, out);
    return UnknownImageFormat;
}

Status decode_image(std::vector<uint8_t>&& bytes, Raster& out) {
    if (bytes.empty() || !is_jpeg(bytes.data(), bytes.size()))
        return decode_image(bytes.data(), bytes.size(), out);
    jpeg::Pixels pixels;
    return take_jpeg(jpeg::decode(std::move(bytes), pixels), pixels, out);
}

}  // namespace gdip
