#include "raster/png_raster.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/string_util.h"
#include "raster/pixel_limit.h"

namespace raster {
namespace {

// The byte block libpng reads from; a request past its end is a libpng error, so a
// truncated stream fails like a corrupt one.
struct Source {
    const BYTE* cursor;
    const BYTE* end;
};

void ReadFromSource(png_structp png, png_bytep out, png_size_t n) {
    auto* src = static_cast<Source*>(png_get_io_ptr(png));
    if (n > static_cast<size_t>(src->end - src->cursor)) png_error(png, "read past the end");
    memcpy(out, src->cursor, n);
    src->cursor += n;
}

// Decoders fail silently: the caller only sees the empty image.
void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// What outlives the error return: the libpng structures and the pixels.
struct Decode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Gui::ImageBuffer buffer;
    bool opaque = false;

    ~Decode() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

// Holds no object with a destructor, so a libpng error may jump back over it.
bool ReadRows(Decode& d, Source& src) {
    if (setjmp(png_jmpbuf(d.png))) return false;
    png_set_read_fn(d.png, &src, ReadFromSource);
    png_read_info(d.png, d.info);
    const png_uint_32 cx = png_get_image_width(d.png, d.info);
    const png_uint_32 cy = png_get_image_height(d.png, d.info);
    if (!SizeAllowed(cx, cy)) return false;

    const int depth = png_get_bit_depth(d.png, d.info);
    const int type = png_get_color_type(d.png, d.info);
    if (depth == 16) png_set_strip_16(d.png);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_expand(d.png);
    if (depth < 8) png_set_expand(d.png);
    if (png_get_valid(d.png, d.info, PNG_INFO_tRNS)) png_set_expand(d.png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(d.png);
    if (type & PNG_COLOR_MASK_COLOR) png_set_bgr(d.png);
    // Pixels without alpha get an opaque one from libpng, so every row arrives in
    // the buffer's own layout.
    png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
    // Asked before the update, which fixes the row layout the passes write into.
    const int passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);

    if (png_get_channels(d.png, d.info) != 4 || png_get_bit_depth(d.png, d.info) != 8) return false;
    d.opaque = !(png_get_color_type(d.png, d.info) & PNG_COLOR_MASK_ALPHA);
    d.buffer.Create(static_cast<int>(cx), static_cast<int>(cy));
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < cy; ++y)
            png_read_row(d.png, reinterpret_cast<png_bytep>(d.buffer[static_cast<int>(y)]),
                         nullptr);
    png_read_end(d.png, nullptr);
    return true;
}

void Premultiply(Gui::ImageBuffer& b) {
    Gui::RGBA* p = b.Begin();
    const size_t n = static_cast<size_t>(b.GetWidth()) * b.GetHeight();
    for (size_t i = 0; i < n; ++i) {
        const int a = p[i].a;
        p[i].b = static_cast<BYTE>(p[i].b * a / 255);
        p[i].g = static_cast<BYTE>(p[i].g * a / 255);
        p[i].r = static_cast<BYTE>(p[i].r * a / 255);
    }
}

Gui::Image DecodePng(const void* data, DWORD length) {
    if (!data || length < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0)
        return Gui::Image();
    try {
        Decode d;
        d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
        if (!d.png) return Gui::Image();
        d.info = png_create_info_struct(d.png);
        if (!d.info) return Gui::Image();
        Source src{static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + length};
        if (!ReadRows(d, src)) return Gui::Image();
        if (!d.opaque) Premultiply(d.buffer);
        return Gui::Image(d.buffer);
    } catch (const std::bad_alloc&) {
        // A header asking for more pixels than can be held is as bad as a corrupt one.
        return Gui::Image();
    }
}

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};

}  // namespace

Gui::Raster* PNGRaster::Create() { return new (std::nothrow) PNGRaster; }

Gui::Image PNGRaster::LoadFile(const wchar_t* path) {
    if (!path || !base::EqualNoCase(base::GetFileExtension(path), L".png")) return Gui::Image();
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Gui::Image();
    FileHandle file(h);
    const DWORD size = GetFileSize(h, nullptr);
    if (size == 0 || size == INVALID_FILE_SIZE) return Gui::Image();
    std::unique_ptr<BYTE, FreeDeleter> bytes(static_cast<BYTE*>(malloc(size)));
    if (!bytes) return Gui::Image();
    DWORD read = 0;
    if (!ReadFile(h, bytes.get(), size, &read, nullptr) || read < size) return Gui::Image();
    return DecodePng(bytes.get(), size);
}

Gui::Image PNGRaster::LoadMemory(const void* data, DWORD length) { return DecodePng(data, length); }

Gui::Size PNGRaster::GetSize() { return Gui::Size(); }

Gui::Raster::Line PNGRaster::GetLine(int) { return Line(); }

}  // namespace raster
