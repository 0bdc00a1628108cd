// The pixels behind a GDI+ bitmap, and the codecs that fill and write them.
// Decoders take the whole file in memory and answer a GDI+ status.
#pragma once

#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gdiplus/pixel_store.h"

namespace gdip {

struct Raster {
    UINT width = 0;
    UINT height = 0;
    PixelStore pixels;  // straight ARGB, rows top to bottom
    PixelFormat format = PixelFormat32bppARGB;
    GUID raw_format{};

    // Leaves the pixels unset; false beyond kMaxPixels or when memory runs out.
    bool allocate(UINT w, UINT h);
};

struct Bitmap final : GpBitmap {
    Raster raster;
};

// True between a successful GdiplusStartup and its GdiplusShutdown.
bool started();

Status decode_image(const uint8_t* data, size_t size, Raster& out);
bool is_jpeg(const uint8_t* data, size_t size);
bool is_png(const uint8_t* data, size_t size);
bool is_bmp(const uint8_t* data, size_t size);
Status decode_jpeg(const uint8_t* data, size_t size, Raster& out);
Status decode_png(const uint8_t* data, size_t size, Raster& out);
Status decode_bmp(const uint8_t* data, size_t size, Raster& out);

// Baseline JPEG of the colour channels (alpha is dropped), quality 0 to 100.
bool encode_jpeg(const Raster& in, int quality, std::vector<uint8_t>& out);

extern const GUID kFormatPng;
extern const GUID kFormatBmp;
extern const GUID kFormatMemoryBmp;
extern const CLSID kJpegEncoderClsid;

}  // namespace gdip
