// The pixels behind a GDI+ bitmap, and the codecs that fill and write them.
// Decoders take the whole file in memory and answer a GDI+ status.
#pragma once

#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gdiplus/pending_rows.h"
#include "gdiplus/pixel_store.h"

namespace gdip {

struct Raster {
    UINT width = 0;
    UINT height = 0;
    PixelStore pixels;  // straight ARGB, rows top to bottom
    PixelFormat format = PixelFormat32bppARGB;
    GUID raw_format{};
    // A large JPEG's rows still being decoded; read a row only after
    // pending.wait_for_row. Last, so the decoder stops before the pixels go.
    RowsInFlight pending;

    Raster() = default;
    Raster(Raster&&) noexcept = default;
    Raster& operator=(Raster&& other) noexcept {
        if (this != &other) {
            pending = std::move(other.pending);  // ours stops before our pixels go
            width = other.width;
            height = other.height;
            pixels = std::move(other.pixels);
            format = other.format;
            raw_format = other.raw_format;
        }
        return *this;
    }

    // Leaves the pixels unset; false beyond kMaxPixels or when memory runs out.
    bool allocate(UINT w, UINT h);
};

struct Bitmap final : GpBitmap {
    Raster raster;
};

// True between a successful GdiplusStartup and its GdiplusShutdown.
bool started();

Status decode_image(const uint8_t* data, size_t size, Raster& out);
// The same for a whole file handed over: a large JPEG may come back while its
// lower rows are still being decoded (out.pending).
Status decode_image(std::vector<uint8_t>&& bytes, Raster& out);
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
