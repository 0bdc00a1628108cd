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
    virtual ~GdiObject() = default;
    virtual GdiKind kind() const = 0;

    HGDIOBJ handle = nullptr;
    bool stock = false;
    // DCs that have this object selected; DeleteObject of a selected pen, brush
    // or font only takes effect when the last of them lets it go.
    int selected_count = 0;
    bool delete_pending = false;
};

using GdiPtr = std::shared_ptr<GdiObject>;

std::mutex& gdi_mutex();
HGDIOBJ add_object(GdiPtr obj);
GdiPtr find_object(HGDIOBJ h);
template <class T>
std::shared_ptr<T> find_as(HGDIOBJ h) {
    return std::dynamic_pointer_cast<T>(find_object(h));
}
void remove_object(HGDIOBJ h);

// A region in device pixels, y-x banded.
class Region : public GdiObject {
public:
    Region();
    ~Region() override;
    GdiKind kind() const override { return GdiKind::Region; }
    pixman_region32_t rgn;
};

// NULLREGION, SIMPLEREGION or COMPLEXREGION.
int complexity(const pixman_region32_t* r);

class Brush : public GdiObject {
public:
    GdiKind kind() const override { return GdiKind::Brush; }
    bool null = false;
    COLORREF color = 0;
};

class Pen : public GdiObject {
public:
    GdiKind kind() const override { return GdiKind::Pen; }
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

class FontFace;

// A logical font; its face (FreeType, sized) is realised on first use and shared
// by every font of the same description.
class Font : public GdiObject {
public:
    GdiKind kind() const override { return GdiKind::Font; }
    LOGFONTW logfont{};
    std::shared_ptr<FontFace> face;
};

// The stock font of a stock index (OEM_FIXED_FONT .. DEFAULT_GUI_FONT).
std::shared_ptr<Font> make_stock_font(int index);

// Pixels: 32 bpp (BGRA, byte order of a DIB) or 1 bpp (rows 16-bit aligned, most
// significant bit first, 1 = white).
class Bitmap : public GdiObject {
public:
    GdiKind kind() const override { return GdiKind::Bitmap; }
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
};

// A surface of w x h at bpp, zeroed; null when out of memory.
std::shared_ptr<Bitmap> make_bitmap(int width, int height, int bpp, bool bottom_up = false);

// The 32-bit value GDI raster operations write for a colour: alpha byte 0.
inline uint32_t color_pixel(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) |
           (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}
// A colour as a 1-bpp surface stores it: 0xFFFFFF (white) or 0 (black).
uint32_t mono_pixel(uint32_t bgra);

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

class Dc : public GdiObject {
public:
    enum class Type { Memory, Info, Screen, Window };
    explicit Dc(Type t);
    ~Dc() override;
    GdiKind kind() const override { return GdiKind::Dc; }

    Type type;
    std::shared_ptr<Bitmap> surface;  // null for an information context
    std::shared_ptr<Brush> brush;
    std::shared_ptr<Pen> pen;
    std::shared_ptr<Font> font;
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

    int width() const { return surface ? surface->width : kScreenWidth; }
    int height() const { return surface ? surface->height : kScreenHeight; }
    POINT to_device(int x, int y) const {
        return {x - window_org.x + viewport_org.x + origin.x,
                y - window_org.y + viewport_org.y + origin.y};
    }
    // Where drawing may land: the clip (or the whole surface) within the surface.
    void visible(pixman_region32_t* out) const;
    // Replaces the selected object of obj's kind, keeping the selection counts;
    // answers the previous one.
    GdiPtr select(const GdiPtr& obj);
    // Lets every selected object go (the DC is being deleted).
    void release_all();
};

std::shared_ptr<Dc> find_dc(HDC hdc);  // null with ERROR_INVALID_HANDLE
GdiPtr stock_object(int index);
std::shared_ptr<Bitmap> default_bitmap();

// A DC on a window's surface: origin and visible region as above; vis is copied.
HDC add_window_dc(std::shared_ptr<Bitmap> surface, POINT origin, const pixman_region32_t* vis);

// Fills the device-unit region, limited to what the DC shows, with one colour.
void fill_region(Dc& dc, pixman_region32_t* shape, uint32_t bgra);

// A pattern fill's box from a corner and a size, as Windows takes them: a negative
// size reaches back from the corner, whose own pixel stays in (x = 3, width = -2
// covers 2 and 3).
void order_fill_box(int* x, int* y, int* width, int* height);

}  // namespace w32::gdi
