// Bitmap objects of the flat API: made from files, streams, GDI bitmaps or raw
// pixels, read and written a pixel at a time, and disposed.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "gdiplus/file_bytes.h"
#include "gdiplus/raster.h"

namespace {

gdip::Bitmap* as_bitmap(GpImage* image) { return static_cast<gdip::Bitmap*>(image); }

GpStatus hand_out(gdip::Raster&& raster, GpBitmap** bitmap) {
    auto* made = new (std::nothrow) gdip::Bitmap;
    if (!made) return OutOfMemory;
    made->raster = std::move(raster);
    *bitmap = made;
    return Ok;
}

GpStatus decode_into(std::vector<uint8_t>&& bytes, GpBitmap** bitmap) {
    gdip::Raster raster;
    GpStatus status;
    try {
        status = gdip::decode_image(std::move(bytes), raster);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    if (status != Ok) return status;
    return hand_out(std::move(raster), bitmap);
}

[[gnu::noinline]] GpStatus pixel_after_wait(const gdip::Raster& r, INT x, INT y, ARGB* color) {
    r.pending.wait_for_row(static_cast<UINT>(y));
    *color = r.pixels[static_cast<size_t>(y) * r.width + x];
    return Ok;
}

}  // namespace

GpStatus WINAPI GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!filename || !bitmap) return InvalidParameter;
    *bitmap = nullptr;
    std::vector<uint8_t> bytes;
    try {
        if (!gdip::read_whole_file(filename, bytes)) return Win32Error;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    return decode_into(std::move(bytes), bitmap);
}

GpStatus WINAPI GdipCreateBitmapFromFileICM(const WCHAR* filename, GpBitmap** bitmap) {
    return GdipCreateBitmapFromFile(filename, bitmap);
}

GpStatus WINAPI GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!stream || !bitmap) return InvalidParameter;
    *bitmap = nullptr;
    std::vector<uint8_t> bytes;
    try {
        // Read in place, into room for what the stream says is left (when it says).
        STATSTG stat{};
        LARGE_INTEGER zero{};
        ULARGE_INTEGER at{};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) &&
            SUCCEEDED(stream->Seek(zero, STREAM_SEEK_CUR, &at)) &&
            stat.cbSize.QuadPart > at.QuadPart && stat.cbSize.QuadPart - at.QuadPart < (1u << 30))
            bytes.reserve(static_cast<size_t>(stat.cbSize.QuadPart - at.QuadPart) + 1);
        for (;;) {
            const size_t used = bytes.size();
            if (bytes.capacity() - used < 4096) bytes.reserve(std::max<size_t>(used * 2, 65536));
            // At most 1 MiB a read: room reserved for an overstated size stays untouched.
            const ULONG room =
                static_cast<ULONG>(std::min<size_t>(bytes.capacity() - used, 1 << 20));
            bytes.resize(used + room);
            ULONG got = 0;
            const HRESULT hr = stream->Read(bytes.data() + used, room, &got);
            bytes.resize(used + (SUCCEEDED(hr) ? std::min<ULONG>(got, room) : 0));
            if (FAILED(hr)) return Win32Error;
            if (got == 0) break;
        }
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    return decode_into(std::move(bytes), bitmap);
}

GpStatus WINAPI GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap) {
    return GdipCreateBitmapFromStream(stream, bitmap);
}

GpStatus WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE, GpBitmap** bitmap) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!hbm || !bitmap) return InvalidParameter;
    *bitmap = nullptr;
    BITMAP info{};
    if (!GetObjectW(hbm, sizeof info, &info)) return InvalidParameter;
    gdip::Raster raster;
    if (!raster.allocate(static_cast<UINT>(info.bmWidth), static_cast<UINT>(info.bmHeight)))
        return OutOfMemory;
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = info.bmWidth;
    bmi.bmiHeader.biHeight = -info.bmHeight;  // top-down, as the raster stores rows
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return Win32Error;
    int lines = GetDIBits(dc, hbm, 0, raster.height, raster.pixels.data(), &bmi, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (lines != static_cast<int>(raster.height)) return Win32Error;
    for (ARGB& p : raster.pixels) p |= 0xFF000000u;
    raster.format = PixelFormat32bppRGB;
    raster.raw_format = gdip::kFormatMemoryBmp;
    return hand_out(std::move(raster), bitmap);
}

GpStatus WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format,
                                          BYTE* scan0, GpBitmap** bitmap) {
    if (!gdip::started()) return GdiplusNotInitialized;
    if (!bitmap || width <= 0 || height <= 0) return InvalidParameter;
    *bitmap = nullptr;
    int bytes_per_pixel = format == PixelFormat24bppRGB ? 3 : 4;
    if (format != PixelFormat24bppRGB && format != PixelFormat32bppRGB &&
        format != PixelFormat32bppARGB)
        return InvalidParameter;
    if (scan0 && (stride == 0 || stride % 4 || std::abs(stride) < width * bytes_per_pixel))
        return InvalidParameter;
    gdip::Raster raster;
    if (!raster.allocate(static_cast<UINT>(width), static_cast<UINT>(height))) return OutOfMemory;
    raster.format = format;
    raster.raw_format = gdip::kFormatMemoryBmp;
    // Without caller memory the pixels start as zero, transparent where alpha counts.
    for (int y = 0; y < height; ++y) {
        ARGB* dst = &raster.pixels[static_cast<size_t>(y) * width];
        const BYTE* row = scan0 ? scan0 + static_cast<ptrdiff_t>(y) * stride : nullptr;
        for (int x = 0; x < width; ++x) {
            if (!row) {
                dst[x] = format == PixelFormat32bppARGB ? 0 : 0xFF000000u;
                continue;
            }
            const BYTE* p = row + x * bytes_per_pixel;
            ARGB alpha = format == PixelFormat32bppARGB ? ARGB(p[3]) << 24 : 0xFF000000u;
            dst[x] = alpha | ARGB(p[2]) << 16 | ARGB(p[1]) << 8 | p[0];
        }
    }
    return hand_out(std::move(raster), bitmap);
}

GpStatus WINAPI GdipDisposeImage(GpImage* image) {
    if (!image) return InvalidParameter;
    delete as_bitmap(image);
    return Ok;
}

GpStatus WINAPI GdipGetImageWidth(GpImage* image, UINT* width) {
    if (!image || !width) return InvalidParameter;
    *width = as_bitmap(image)->raster.width;
    return Ok;
}

GpStatus WINAPI GdipGetImageHeight(GpImage* image, UINT* height) {
    if (!image || !height) return InvalidParameter;
    *height = as_bitmap(image)->raster.height;
    return Ok;
}

GpStatus WINAPI GdipGetImagePixelFormat(GpImage* image, PixelFormat* format) {
    if (!image || !format) return InvalidParameter;
    *format = as_bitmap(image)->raster.format;
    return Ok;
}

GpStatus WINAPI GdipGetImageRawFormat(GpImage* image, GUID* format) {
    if (!image || !format) return InvalidParameter;
    *format = as_bitmap(image)->raster.raw_format;
    return Ok;
}

GpStatus WINAPI GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* color) {
    if (!bitmap || !color) return InvalidParameter;
    const gdip::Raster& r = static_cast<gdip::Bitmap*>(bitmap)->raster;
    if (x < 0 || y < 0 || static_cast<UINT>(x) >= r.width || static_cast<UINT>(y) >= r.height)
        return InvalidParameter;
    // Rows still being decoded are waited for out of line: a call a pixel stays short.
    if (!r.pending.row_ready(static_cast<UINT>(y))) return pixel_after_wait(r, x, y, color);
    *color = r.pixels[static_cast<size_t>(y) * r.width + x];
    return Ok;
}

GpStatus WINAPI GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB color) {
    if (!bitmap) return InvalidParameter;
    gdip::Raster& r = static_cast<gdip::Bitmap*>(bitmap)->raster;
    if (x < 0 || y < 0 || static_cast<UINT>(x) >= r.width || static_cast<UINT>(y) >= r.height)
        return InvalidParameter;
    // Formats without alpha keep their pixels opaque.
    if (r.format != PixelFormat32bppARGB) color |= 0xFF000000u;
    r.pending.wait_for_row(static_cast<UINT>(y));
    r.pixels[static_cast<size_t>(y) * r.width + x] = color;
    return Ok;
}
