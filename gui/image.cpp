#include "gui/image.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "gui/core/mutex.h"
#include "gui/draw.h"
#include "gui/draw_lock.h"

namespace Gui {
namespace {

StaticMutex g_serial_lock;
uint64_t g_serial;

int g_object_count;  // guarded by the drawing lock

// The anchor of the cache ring of painted images, least recently painted first;
// constant-initialised, so it is ready before any constructor runs.
Link g_cache{&g_cache, &g_cache};
static_assert(std::is_standard_layout_v<Image::Data>, "a ring node converts to its data");

// A photo-sized array is asked for in huge pages: filling it then costs a few dozen
// page faults rather than thousands (a 4000 x 3000 image: 23 instead of 11719).
// Either way the block is one that free() takes back.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargePixels = size_t{8} << 20;

// count x 4 bytes; a size beyond 32 bits is as good as out of memory.
RGBA* AllocPixels(int cx, int cy) {
    const int64_t n = static_cast<int64_t>(cx) * cy * 4;
    if (n < 0 || n > 0xFFFFFFFFll) throw std::bad_alloc();
    void* p;
    if (static_cast<size_t>(n) >= kLargePixels) {
        const size_t rounded = (static_cast<size_t>(n) + kHugePage - 1) / kHugePage * kHugePage;
        p = aligned_alloc(kHugePage, rounded);
        if (p) madvise(p, rounded, MADV_HUGEPAGE);  // advice only: small pages otherwise
    } else {
        p = malloc(n ? static_cast<size_t>(n) : 1);
    }
    if (!p) throw std::bad_alloc();
    return static_cast<RGBA*>(p);
}

}  // namespace

ImageBuffer::~ImageBuffer() { free(pixels_); }

void ImageBuffer::Create(int cx, int cy) {
    cx_ = cx;
    cy_ = cy;
    free(pixels_);
    pixels_ = nullptr;
    pixels_ = AllocPixels(cx, cy);
    hotspot_ = spot2_ = extra_ = Point(0, 0);
}

void ImageBuffer::CopyPairs(const ImageBuffer& other) {
    hotspot_ = other.hotspot_;
    spot2_ = other.spot2_;
    extra_ = other.extra_;
}

void ImageBuffer::CopyFrom(const ImageBuffer& other) {
    if (&other == this) return;
    Create(other.cx_, other.cy_);
    CopyPairs(other);
    if (other.pixels_) memcpy(pixels_, other.pixels_, static_cast<size_t>(GetLength()) * 4);
}

void ImageBuffer::Pick(ImageBuffer& other) {
    if (&other == this) return;
    free(pixels_);
    pixels_ = other.pixels_;
    other.pixels_ = nullptr;
    cx_ = other.cx_;
    cy_ = other.cy_;
    // Without pixels the other must not claim a size: an image made from it again
    // would read rows that are not there.
    other.cx_ = other.cy_ = 0;
    CopyPairs(other);
}

void ImageBuffer::TakeImage(Image& img) {
    Image::Data* d = img.data_;
    if (!d) {
        Create(0, 0);
        return;
    }
    if (__atomic_load_n(&d->refcount, __ATOMIC_ACQUIRE) == 1)
        Pick(d->buffer);
    else
        CopyFrom(d->buffer);
    img = Image();
}

Image::Data::Data(ImageBuffer& b) {
    link.LinkSelf();
    buffer.Pick(b);
    StaticMutex::Lock lock(g_serial_lock);
    serial = ++g_serial;
}

Image::Data::~Data() {
    {
        DrawLock lock;
        ReleaseSystemObjects();
        link.Unlink();
    }
}

void Image::Data::ReleaseSystemObjects() {
    for (HGDIOBJ& h : objects) {
        if (!h) continue;
        DrawLock lock;
        DeleteObject(h);
        --g_object_count;
        h = nullptr;
    }
    section_bits = nullptr;
}

Image::Image(const Image& other) : data_(other.data_) {
    if (data_) InterlockedIncrement(&data_->refcount);
}

Image& Image::operator=(const Image& other) {
    Data* old = data_;
    if (other.data_) InterlockedIncrement(&other.data_->refcount);
    data_ = other.data_;
    if (old && InterlockedDecrement(&old->refcount) == 0) delete old;
    return *this;
}

Image::~Image() {
    if (data_ && InterlockedDecrement(&data_->refcount) == 0) delete data_;
}

void Image::Set(ImageBuffer& b) {
    *this = Image();
    if (b.GetWidth() != 0 && b.GetHeight() != 0) data_ = new Data(b);
}

Size Image::GetSize() const { return data_ ? data_->buffer.GetSize() : Size(0, 0); }

int Image::GetLength() const { return data_ ? data_->buffer.GetLength() : 0; }

const RGBA* Image::GetPixels() const { return data_ ? data_->buffer.Begin() : nullptr; }

Point Image::GetHotSpot() const { return data_ ? data_->buffer.GetHotSpot() : Point(0, 0); }

Point Image::GetSpot2() const { return data_ ? data_->buffer.GetSpot2() : Point(0, 0); }

Point Image::GetExtraPair() const { return data_ ? data_->buffer.GetExtraPair() : Point(0, 0); }

bool Image::Paint(Draw& w, int x, int y, const Rect& src, Color color) const {
    DrawLock lock;
    return PaintDC(w.GetHandle(), x, y, src, color);
}

bool Image::PaintDC(HDC target, int x, int y, const Rect& src, Color color) const {
    return data_ && data_->Paint(target, x, y, src, color);
}

uint64_t Image::GetSerialId() const { return data_ ? data_->serial : 0; }

bool Image::operator==(const Image& other) const {
    const int n = GetLength();
    if (n != other.GetLength()) return false;
    return n == 0 || memcmp(GetPixels(), other.GetPixels(), static_cast<size_t>(n) * 4) == 0;
}

std::unique_ptr<BITMAPINFO, FreeDeleter> MakeBitmapInfo32(int cx, int cy) {
    auto* bi = static_cast<BITMAPINFO*>(calloc(1, sizeof(BITMAPINFOHEADER) + 256 * 4));
    if (!bi) throw std::bad_alloc();
    bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi->bmiHeader.biWidth = cx;
    bi->bmiHeader.biHeight = -cy;
    bi->bmiHeader.biPlanes = 1;
    bi->bmiHeader.biBitCount = 32;
    bi->bmiHeader.biCompression = BI_RGB;
    return std::unique_ptr<BITMAPINFO, FreeDeleter>(bi);
}

bool Image::Data::Paint(HDC target, int x, int y, const Rect& src, Color color) {
    DrawLock lock;
    const int limit = GetVersion() < 0x80000000u ? 250 : 100;
    while (g_object_count > limit && g_cache.next != &g_cache) {
        Data* oldest = reinterpret_cast<Data*>(g_cache.next);  // link is the first field
        oldest->ReleaseSystemObjects();
        oldest->link.Unlink();
    }
    const Rect r = src.Intersection(Rect(0, 0, buffer.GetWidth(), buffer.GetHeight()));
    if (r.IsEmpty()) return false;
    link.Unlink();
    link.InsertBefore(&g_cache);
    const AlphaBlendProc alpha_blend = GetAlphaBlend();
    if (!alpha_blend || !color.IsNull()) return false;
    if (!objects[2]) {
        auto info = MakeBitmapInfo32(buffer.GetWidth(), buffer.GetHeight());
        HDC screen = GetDC(nullptr);
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(screen, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
        ReleaseDC(nullptr, screen);
        if (!dib || !bits) {
            // Nothing is kept, so the next painting tries again.
            if (dib) DeleteObject(dib);
            return false;
        }
        objects[2] = dib;
        section_bits = bits;
        ++g_object_count;
        memcpy(bits, buffer.Begin(), static_cast<size_t>(buffer.GetLength()) * 4);
    }
    HDC memory = CreateCompatibleDC(target);
    if (!memory) return false;
    HGDIOBJ previous = SelectObject(memory, objects[2]);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const BOOL ok = alpha_blend(target, x, y, r.Width(), r.Height(), memory, r.left, r.top,
                                r.Width(), r.Height(), blend);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return ok != FALSE;
}

int GetImageSystemObjectCount() {
    DrawLock lock;
    return g_object_count;
}

}  // namespace Gui
