// GDI objects behind HGDIOBJ values: their own table (not the kernel handle table,
// as on Windows), the bitmaps that hold pixels, and the device context state.
//
// Every GDI entry point holds gdi_mutex() for its whole run; the helpers here
// expect it held. A DC draws on a Bitmap surface: a memory DC on its selected
// bitmap, the screen DC on the layer's screen surface, a window DC on its top-level
// window's backing bitmap at the window's offset, clipped by its visible region.
#pragma once

#include <windows.h>

#include <pixman.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace w32::gdi {

enum class GdiKind { Dc, Bitmap, Brush, Pen, Font, Region };

class GdiObject {
public:
    explicit GdiObject(GdiKind k) : kind_(k) {}
    virtual ~GdiObject() = default;
    GdiKind kind() const { return kind_; }

    HGDIOBJ handle = nullptr;
    bool stock = false;
    // DCs that have this object selected; DeleteObject of a selected pen, brush
    // or font only takes effect when the last of them lets it go.
    int selected_count = 0;
    bool delete_pending = false;

private:
    const GdiKind kind_;
};

using GdiPtr = std::shared_ptr<GdiObject>;

std::mutex& gdi_mutex();
// Null when the table is full (ERROR_NOT_ENOUGH_MEMORY).
HGDIOBJ add_object(GdiPtr obj);

// The table: a handle carries a slot index and the slot's generation, so a lookup
// is one array access and a stale handle misses once its slot holds another object.
// Values start at 0x10000 (well apart from small integers) and stay below 2^31.
struct GdiSlot {
    GdiObject* obj;  // null when free; owned by the table's shared reference
    uint32_t generation;
};
constexpr uintptr_t kFirstSlot = 0x4000;
constexpr uintptr_t kSlotBits = 20;
// The slots as the lookup reads them (zero-initialised, so usable at any time).
extern const GdiSlot* g_slots;
extern size_t g_slot_count;

// The object behind h, or null. The pointer stays valid while the GDI lock is held
// and the object stays in the table.
inline GdiObject* find_object(HGDIOBJ h) {
    const auto v = reinterpret_cast<uintptr_t>(h);
    if ((v & 3) != 0 || v >= (uintptr_t{1} << 31)) return nullptr;
    const uintptr_t index = ((v >> 2) & ((uintptr_t{1} << kSlotBits) - 1)) - kFirstSlot;
    if (index >= g_slot_count) return nullptr;
    const GdiSlot& s = g_slots[index];
    return s.generation == (v >> (kSlotBits + 2)) ? s.obj : nullptr;
}
template <class T>
T* find_as(HGDIOBJ h) {
    GdiObject* obj = find_object(h);
    return obj && obj->kind() == T::kKind ? static_cast<T*>(obj) : nullptr;
}
void remove_object(HGDIOBJ h);

// A region in device pixels, y-x banded.
class Region : public GdiObject {
public:
    static constexpr GdiKind kKind = GdiKind::Region;
    Region();
    ~Region() override;
    pixman_region32_t rgn;
};

// NULLREGION, SIMPLEREGION or COMPLEXREGION.
int complexity(const pixman_region32_t* r);

class Brush : public GdiObject {
public:
    static constexpr GdiKind kKind = GdiKind::Brush;
    Brush() : GdiObject(kKind) {}
    bool null = false;
    COLORREF color = 0;
};

class Pen : public GdiObject {
public:
    static constexpr GdiKind kKind = GdiKind::Pen;
    Pen() : GdiObject(kKind) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

class FontFace;

// A logical font; its face (FreeType, sized) is realised on first use and shared
// by every font of the same description.
class Font : public GdiObject {
public:
    static constexpr GdiKind kKind = GdiKind::Font;
    Font() : GdiObject(kKind) {}
    LOGFONTW logfont{};
    std::shared_ptr<FontFace> face;
};

// The stock font of a stock index (OEM_FIXED_FONT .. DEFAULT_GUI_FONT).
std::shared_ptr<Font> make_stock_font(int index);

// Pixels: 32 bpp (BGRA, byte order of a DIB) or 1 bpp (rows 16-bit aligned, most
// significant bit first, 1 = white).
class Bitmap : public GdiObject {
public:
    static constexpr GdiKind kKind = GdiKind::Bitmap;
    Bitmap() : GdiObject(kKind) {}
    ~Bitmap() override;
    int width = 0;
    int height = 0;
    int bpp = 32;
    int stride = 0;
    bool bottom_up = false;
    bool dib_section = false;
    LONG dib_height = 0;  // biHeight as the DIB section was created
    std::unique_ptr<uint8_t[]> storage;
    uint8_t* bits = nullptr;
    class Dc* selected_in = nullptr;

    // Row y counted from the top of the picture.
    uint8_t* row(int y) const {
        return bits + static_cast<size_t>(bottom_up ? height - 1 - y : y) * stride;
    }
    uint32_t pixel(int x, int y) const;
    void set_pixel(int x, int y, uint32_t bgra);
    // Fills a box (in bounds) with a pixel value (32 bpp) or white/black (1 bpp).
    void fill(const pixman_box32_t& box, uint32_t bgra);
    // pixman's view of a top-down 32-bpp surface, made on first use and kept;
    // null for other surfaces or when it cannot be made.
    pixman_image_t* image();

private:
    pixman_image_t* image_ = nullptr;
};

// A surface of w x h at bpp, zeroed; null when out of memory.
std::shared_ptr<Bitmap> make_bitmap(int width, int height, int bpp, bool bottom_up = false);

// A 32-bit top-down DIB section (what the layer's own pictures are drawn on), its
// pixels in *bits; null when it cannot be made.
inline HBITMAP create_dib32(int width, int height, void** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

// The 32-bit value GDI raster operations write for a colour: alpha byte 0.
inline uint32_t color_pixel(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) |
           (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}
// A colour as a 1-bpp surface stores it: 0xFFFFFF (white) or 0 (black).
uint32_t mono_pixel(uint32_t bgra);

class Dc : public GdiObject {
public:
    static constexpr GdiKind kKind = GdiKind::Dc;
    enum class Type { Memory, Info, Screen, Window };
    // A screen DC draws on a surface of the screen's size; an information context
    // has none and only its extent.
    Dc(Type t, SIZE screen = {0, 0});
    ~Dc() override;

    Type type;
    // The selections. Selected objects stay in the table (deleting one only marks
    // it while a DC holds it; a selected bitmap cannot be deleted), so the table's
    // reference keeps them alive. A window or screen surface is not in the table:
    // the DC holds a reference of its own.
    Bitmap* surface = nullptr;  // null for an information context
    std::shared_ptr<Bitmap> own_surface;
    Brush* brush = nullptr;
    Pen* pen = nullptr;
    Font* font = nullptr;
    POINT window_org{0, 0};
    POINT viewport_org{0, 0};
    POINT position{0, 0};
    bool has_clip = false;
    pixman_region32_t clip;  // device units, valid when has_clip
    COLORREF text_color = RGB(0, 0, 0);
    COLORREF bk_color = RGB(255, 255, 255);
    int bk_mode = OPAQUE;
    UINT text_align = TA_LEFT | TA_TOP;
    // Window DCs: where the DC's (0, 0) lies on the surface, and the part of the
    // surface the window may draw on (surface pixels).
    POINT origin{0, 0};
    bool has_vis = false;
    pixman_region32_t vis;

    SIZE extent{0, 0};  // an information context's
    int width() const { return surface ? surface->width : extent.cx; }
    int height() const { return surface ? surface->height : extent.cy; }
    POINT to_device(int x, int y) const {
        return {x - window_org.x + viewport_org.x + origin.x,
                y - window_org.y + viewport_org.y + origin.y};
    }
    // Where drawing may land: the clip (or the whole surface) within the surface.
    void visible(pixman_region32_t* out) const;
    // The same when it is one box (x1 == x2 when empty), without making a region;
    // false when it takes more than one.
    bool visible_box(pixman_box32_t* box) const;
    // Replaces the selected object of obj's kind, keeping the selection counts;
    // answers the previous one's handle.
    HGDIOBJ select(GdiObject* obj);
    // Lets every selected object go (the DC is being deleted).
    void release_all();
};

// Null with ERROR_INVALID_HANDLE when hdc is no DC.
inline Dc* find_dc(HDC hdc) {
    Dc* dc = find_as<Dc>(hdc);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}
GdiObject* stock_object(int index);  // permanent; null for an unknown index
Bitmap* default_bitmap();

// A DC on a window's surface: origin and visible region as above; vis is copied.
HDC add_window_dc(std::shared_ptr<Bitmap> surface, POINT origin, const pixman_region32_t* vis);

// Fills the device-unit region, limited to what the DC shows, with one colour.
void fill_region(Dc& dc, pixman_region32_t* shape, uint32_t bgra);

// A pattern fill's box from a corner and a size, as Windows takes them: a negative
// size reaches back from the corner, whose own pixel stays in (x = 3, width = -2
// covers 2 and 3).
void order_fill_box(int* x, int* y, int* width, int* height);

}  // namespace w32::gdi
