// Gui::Image is a cheap value handle to shared, reference-counted, read-only pixels;
// Gui::ImageBuffer is the writable pixel array images are made from and taken back
// into. Pixels are Gui::RGBA, premultiplied, rows top to bottom without gaps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "gui/color.h"
#include "gui/geometry.h"
#include "gui/rgba.h"

namespace Gui {

class Image;
HCURSOR ImageToCursor(const Image& img);
Image ImageFromSystemCursor(int id);
class Draw;

class ImageBuffer {
public:
    ImageBuffer() = default;
    ImageBuffer(int cx, int cy) { Create(cx, cy); }
    // Takes the image's pixels (see TakeImage).
    explicit ImageBuffer(Image& img) { TakeImage(img); }
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Pixels are left uninitialised; the spots and the extra pair become 0.
    void Create(int cx, int cy);
    void CopyFrom(const ImageBuffer& other);
    // Takes the other's pixel array, leaving it without one.
    void Pick(ImageBuffer& other);
    // Without copying when img was the only reference; img is left empty either way.
    void TakeImage(Image& img);

    int GetWidth() const { return cx_; }
    int GetHeight() const { return cy_; }
    Size GetSize() const { return Size(cx_, cy_); }
    int GetLength() const { return cx_ * cy_; }
    RGBA* Begin() { return pixels_; }
    const RGBA* Begin() const { return pixels_; }
    RGBA* operator[](int y) { return pixels_ + cx_ * y; }
    const RGBA* operator[](int y) const { return pixels_ + cx_ * y; }

    Point GetHotSpot() const { return hotspot_; }
    void SetHotSpot(Point p) { hotspot_ = p; }
    Point GetSpot2() const { return spot2_; }
    void SetSpot2(Point p) { spot2_ = p; }
    // Carried along by every copy and conversion, used by no operation here.
    Point GetExtraPair() const { return extra_; }
    void SetExtraPair(Point p) { extra_ = p; }

private:
    friend class Image;
    void CopyPairs(const ImageBuffer& other);

    int cx_ = 0, cy_ = 0;
    RGBA* pixels_ = nullptr;
    Point hotspot_, spot2_, extra_;
};

// The ring through the cache of painted images; a lone link points to itself.
struct Link {
    Link* next;
    Link* prev;

    void LinkSelf() { next = prev = this; }
    void Unlink() {
        prev->next = next;
        next->prev = prev;
        LinkSelf();
    }
    void InsertBefore(Link* anchor) {
        next = anchor;
        prev = anchor->prev;
        prev->next = this;
        anchor->prev = this;
    }
    bool InRing() const { return next != this; }
};

class Image {
public:
    class Data;

    Image() = default;
    Image(const Image& other);
    Image& operator=(const Image& other);
    ~Image();
    // Picks the buffer's pixels; a buffer without width or height makes the empty image.
    Image(ImageBuffer& b) { Set(b); }
    Image(ImageBuffer&& b) { Set(b); }
    Image(Image (*fn)()) : Image(fn()) {}
    void Set(ImageBuffer& b);

    bool IsEmpty() const { return data_ == nullptr; }
    Size GetSize() const;
    int GetWidth() const { return GetSize().cx; }
    int GetHeight() const { return GetSize().cy; }
    int GetLength() const;
    const RGBA* GetPixels() const;
    const RGBA* GetRow(int y) const { return GetPixels() + GetWidth() * y; }
    const RGBA* operator[](int y) const { return GetRow(y); }
    Point GetHotSpot() const;
    Point GetSpot2() const;
    Point GetExtraPair() const;
    // Names the pixel data: copies share it, an image made anew gets a new one; 0 if empty.
    uint64_t GetSerialId() const;

    // Composes the source rectangle at x, y of a device context (see Data::Paint);
    // nothing for the empty image.
    bool PaintDC(HDC target, int x, int y, const Rect& src, Color color) const;
    // The same on a draw's device context, at logical x, y of its current level.
    bool Paint(Draw& w, int x, int y, const Rect& src, Color color) const;

    // Same pixel count and the same bytes; the sizes themselves are not compared.
    bool operator==(const Image& other) const;
    bool operator!=(const Image& other) const { return !(*this == other); }

    // The system's standard cursors, each made once and shared until the process ends.
    static Image Arrow();
    static Image Wait();
    static Image IBeam();
    static Image No();
    static Image SizeAll();
    static Image SizeHorz();
    static Image SizeVert();
    static Image SizeTopLeft();
    static Image SizeTop();
    static Image SizeTopRight();
    static Image SizeLeft();
    static Image SizeRight();
    static Image SizeBottomLeft();
    static Image SizeBottom();
    static Image SizeBottomRight();
    static Image Cross();
    static Image Hand();

private:
    friend class ImageBuffer;
    friend HCURSOR ImageToCursor(const Image& img);
    friend Image ImageFromSystemCursor(int id);
    Data* data_ = nullptr;
};

class Image::Data {
public:
    explicit Data(ImageBuffer& b);
    ~Data();
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;

    // Deletes the cached GDI objects.
    void ReleaseSystemObjects();
    // Composes the source rectangle (clipped to the image) at x, y of the target
    // through a cached DIB section and AlphaBlend; draws nothing for a colour other
    // than the null colour. True when AlphaBlend ran and succeeded.
    bool Paint(HDC target, int x, int y, const Rect& src, Color color);

    Link link;  // first, so a ring node is its data
    volatile LONG refcount = 1;
    uint64_t serial = 0;
    DWORD system_cursor = 0;
    HGDIOBJ objects[3] = {};  // the third holds the painted DIB section
    void* section_bits = nullptr;
    ImageBuffer buffer;
};

// A BITMAPINFO with room for 256 colours describing a top-down 32-bit image.
struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
std::unique_ptr<BITMAPINFO, FreeDeleter> MakeBitmapInfo32(int cx, int cy);

// Count of GDI objects held by image data (guarded by the drawing lock).
int GetImageSystemObjectCount();

}  // namespace Gui
