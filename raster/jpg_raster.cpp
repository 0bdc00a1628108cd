#include "raster/jpg_raster.h"

#include <gdiplus.h>
#include <objbase.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

#include "base/string_util.h"
#include "raster/pixel_limit.h"

namespace raster {
namespace {

// Owns one GDI+ bitmap and remembers the last failing status.
class Bitmap {
public:
    Bitmap() = default;
    ~Bitmap() {
        if (native_) GdipDisposeImage(native_);
    }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    GpBitmap** Out() { return &native_; }
    GpBitmap* Get() const { return native_; }
    GpStatus Check(GpStatus s) {
        if (s != Ok) last_ = s;
        return s;
    }
    GpStatus GetLastStatus() const { return last_; }

private:
    GpBitmap* native_ = nullptr;
    GpStatus last_ = Ok;
};

// Pixels one at a time, opaque; a failed read repeats the pixel before it.
Gui::Image ToImage(Bitmap& bmp) {
    if (!bmp.Get()) return Gui::Image();
    UINT cx = 0, cy = 0;
    bmp.Check(GdipGetImageWidth(bmp.Get(), &cx));
    bmp.Check(GdipGetImageHeight(bmp.Get(), &cy));
    if (cx != 0 && cy != 0 && !SizeAllowed(cx, cy)) return Gui::Image();
    try {
        Gui::ImageBuffer b(static_cast<int>(cx), static_cast<int>(cy));
        GpBitmap* const native = bmp.Get();
        ARGB value = 0xFF000000;
        for (UINT y = 0; y < cy; ++y) {
            Gui::RGBA* row = b[static_cast<int>(y)];
            for (UINT x = 0; x < cx; ++x) {
                ARGB read = 0;
                const GpStatus s =
                    GdipBitmapGetPixel(native, static_cast<INT>(x), static_cast<INT>(y), &read);
                if (s == Ok)
                    value = read;
                else
                    bmp.Check(s);
                // Blue, green and red from the low bytes and an opaque alpha: the
                // pixel's bytes in memory order, stored at once.
                const uint32_t word = value | 0xFF000000u;
                memcpy(&row[x], &word, sizeof word);
            }
        }
        return cx != 0 && cy != 0 ? Gui::Image(b) : Gui::Image();
    } catch (const std::bad_alloc&) {
        // A size beyond what can be held fails like an unreadable file.
        return Gui::Image();
    }
}

bool HasJpegExtension(const wchar_t* path) {
    const std::wstring ext = base::GetFileExtension(path);
    return base::EqualNoCase(ext, L".jpg") || base::EqualNoCase(ext, L".jpeg");
}

struct GlobalFreer {
    void operator()(void* h) const { GlobalFree(h); }
};

}  // namespace

Gui::Raster* JPGRaster::Create() { return new (std::nothrow) JPGRaster; }

Gui::Image JPGRaster::LoadFile(const wchar_t* path) {
    if (!path || !HasJpegExtension(path)) return Gui::Image();
    Bitmap bmp;
    if (bmp.Check(GdipCreateBitmapFromFile(path, bmp.Out())) != Ok) return Gui::Image();
    return ToImage(bmp);
}

Gui::Image JPGRaster::LoadMemory(const void* data, DWORD length) {
    if (!data) return Gui::Image();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length);
    if (!h) return Gui::Image();
    // Freed after the bitmap, which the block must outlive.
    std::unique_ptr<void, GlobalFreer> block(h);
    void* p = GlobalLock(h);
    if (!p) return Gui::Image();
    memcpy(p, data, length);
    Bitmap bmp;
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(h, FALSE, &stream) == S_OK && stream) {
        bmp.Check(GdipCreateBitmapFromStreamICM(stream, bmp.Out()));
        stream->Release();
    }
    GlobalUnlock(h);
    return ToImage(bmp);
}

Gui::Size JPGRaster::GetSize() { return Gui::Size(); }

Gui::Raster::Line JPGRaster::GetLine(int) { return Line(); }

int GetJpegEncoderClsid(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Ok || count == 0 || size == 0) return -1;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer) return -1;
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.get());
    if (GdipGetImageEncoders(count, size, codecs) != Ok) return -1;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/jpeg") == 0) {
            *clsid = codecs[i].Clsid;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SaveJpeg(const std::wstring& path, HBITMAP bitmap) {
    Bitmap bmp;
    if (GdipCreateBitmapFromHBITMAP(bitmap, nullptr, bmp.Out()) != Ok) return false;
    CLSID clsid{};
    GetJpegEncoderClsid(&clsid);
    return GdipSaveImageToFile(bmp.Get(), path.c_str(), &clsid, nullptr) == Ok;
}

}  // namespace raster
