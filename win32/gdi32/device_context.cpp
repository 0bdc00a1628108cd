// Device contexts: memory DCs, the display information context, the screen DC and
// window DCs, their selections and state.
#include "w32/gdi.h"
#include "w32/presenter.h"
#include "w32/screen.h"
#include "w32/window_surface.h"

#include <algorithm>
#include <cwchar>

namespace w32::gdi {
namespace {

// Screen DCs share one surface of the screen's size; one made when the size changes
// leaves the older DCs theirs.
std::shared_ptr<Bitmap> screen_surface(SIZE size) {
    static std::shared_ptr<Bitmap> screen;
    if (!screen || screen->width != size.cx || screen->height != size.cy)
        screen = make_bitmap(size.cx, size.cy, 32);
    return screen;
}

// The virtual screen's size, read before the GDI lock is taken.
SIZE screen_size() {
    const RECT all = w32::screen::current().bounds();
    return SIZE{all.right - all.left, all.bottom - all.top};
}

// Narrows a to its overlap with b; an empty overlap leaves x1 == x2.
void intersect_box(pixman_box32_t* a, const pixman_box32_t& b) {
    a->x1 = std::max(a->x1, b.x1);
    a->y1 = std::max(a->y1, b.y1);
    a->x2 = std::min(a->x2, b.x2);
    a->y2 = std::min(a->y2, b.y2);
    if (a->x1 >= a->x2 || a->y1 >= a->y2) a->x2 = a->x1;
}

void let_go(GdiObject* obj) {
    if (!obj) return;
    if (--obj->selected_count == 0 && obj->delete_pending) remove_object(obj->handle);
}

}  // namespace

Dc::Dc(Type t, SIZE screen) : GdiObject(kKind), type(t) {
    pixman_region32_init(&clip);
    pixman_region32_init(&vis);
    brush = static_cast<Brush*>(stock_object(WHITE_BRUSH));
    pen = static_cast<Pen*>(stock_object(BLACK_PEN));
    font = static_cast<Font*>(stock_object(SYSTEM_FONT));
    ++brush->selected_count;
    ++pen->selected_count;
    ++font->selected_count;
    if (t == Type::Memory) surface = default_bitmap();
    if (t == Type::Screen) {
        own_surface = screen_surface(screen);
        surface = own_surface.get();
    }
    if (t == Type::Info) extent = screen;
}

Dc::~Dc() {
    pixman_region32_fini(&clip);
    pixman_region32_fini(&vis);
}

void Dc::visible(pixman_region32_t* out) const {
    if (has_clip && !has_vis && origin.x == 0 && origin.y == 0) {
        // A memory or screen DC: its clip within its surface, in one step.
        pixman_region32_init(out);
        pixman_region32_intersect_rect(out, const_cast<pixman_region32_t*>(&clip), 0, 0,
                                       static_cast<unsigned>(width()),
                                       static_cast<unsigned>(height()));
        return;
    }
    pixman_region32_init_rect(out, 0, 0, static_cast<unsigned>(width()),
                              static_cast<unsigned>(height()));
    if (has_vis) pixman_region32_intersect(out, out, const_cast<pixman_region32_t*>(&vis));
    if (has_clip) {
        // The clip is in the DC's own units; a window DC starts at its origin.
        pixman_region32_t moved;
        pixman_region32_init(&moved);
        pixman_region32_copy(&moved, const_cast<pixman_region32_t*>(&clip));
        pixman_region32_translate(&moved, origin.x, origin.y);
        pixman_region32_intersect(out, out, &moved);
        pixman_region32_fini(&moved);
    }
}

bool Dc::visible_box(pixman_box32_t* box) const {
    *box = pixman_box32_t{0, 0, width(), height()};
    if (has_vis) {
        if (vis.data) return false;
        intersect_box(box, vis.extents);
    }
    if (has_clip) {
        if (clip.data) {
            // A region's data holds its boxes when it has more than one, or none.
            if (clip.data->numRects != 0) return false;
            box->x2 = box->x1;
            return true;
        }
        pixman_box32_t moved = clip.extents;
        moved.x1 += origin.x;
        moved.x2 += origin.x;
        moved.y1 += origin.y;
        moved.y2 += origin.y;
        intersect_box(box, moved);
    }
    return true;
}

HGDIOBJ Dc::select(GdiObject* obj) {
    GdiObject* prev;
    switch (obj->kind()) {
        case GdiKind::Brush:
            prev = brush;
            brush = static_cast<Brush*>(obj);
            break;
        case GdiKind::Pen:
            prev = pen;
            pen = static_cast<Pen*>(obj);
            break;
        case GdiKind::Font:
            prev = font;
            font = static_cast<Font*>(obj);
            break;
        case GdiKind::Bitmap: {
            prev = surface;
            auto* bm = static_cast<Bitmap*>(obj);
            if (surface && !surface->stock) surface->selected_in = nullptr;
            surface = bm;
            if (!bm->stock) bm->selected_in = this;
            break;
        }
        default:
            return nullptr;
    }
    ++obj->selected_count;
    // Letting go may delete the previous object: its handle first.
    HGDIOBJ previous = prev ? prev->handle : nullptr;
    let_go(prev);
    return previous;
}

void Dc::release_all() {
    let_go(brush);
    let_go(pen);
    let_go(font);
    if (type == Type::Memory && surface) {
        if (!surface->stock) surface->selected_in = nullptr;
        let_go(surface);
    }
    brush = nullptr;
    pen = nullptr;
    font = nullptr;
    surface = nullptr;
    own_surface.reset();
}

HDC add_window_dc(std::shared_ptr<Bitmap> surface, POINT origin, const pixman_region32_t* vis) {
    auto dc = std::make_shared<Dc>(Dc::Type::Window);
    dc->own_surface = std::move(surface);
    dc->surface = dc->own_surface.get();
    dc->origin = origin;
    dc->has_vis = true;
    pixman_region32_copy(&dc->vis, const_cast<pixman_region32_t*>(vis));
    return static_cast<HDC>(add_object(dc));
}

}  // namespace w32::gdi

using namespace w32::gdi;

namespace {

HDC add_dc(Dc::Type type, SIZE screen = {0, 0}) {
    auto dc = std::make_shared<Dc>(type, screen);
    if (type == Dc::Type::Memory) ++dc->surface->selected_count;
    return static_cast<HDC>(add_object(dc));
}

bool delete_dc(HDC hdc, bool from_get_dc) {
    auto dc = find_dc(hdc);
    if (!dc) return false;
    const bool got = dc->type == Dc::Type::Screen || dc->type == Dc::Type::Window;
    if (got != from_get_dc) return false;
    dc->release_all();
    remove_object(hdc);
    return true;
}

}  // namespace

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    if (hdc && !find_dc(hdc)) return nullptr;
    return add_dc(Dc::Type::Memory);
}

HDC WINAPI CreateICW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const void* devmode) {
    (void)device;
    (void)port;
    (void)devmode;
    const SIZE size = screen_size();
    std::lock_guard<std::mutex> lock(gdi_mutex());
    // The display is the one device here.
    if (!driver || wcscasecmp(driver, L"DISPLAY") != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return add_dc(Dc::Type::Info, size);
}

BOOL WINAPI DeleteDC(HDC hdc) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    return delete_dc(hdc, false);
}

HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd) {
        // The window lock comes first, never inside the GDI lock.
        w32::paint::DcTarget target;
        if (!w32::paint::window_dc_target(hwnd, false, &target)) return nullptr;
        std::lock_guard<std::mutex> lock(gdi_mutex());
        return add_window_dc(target.surface, target.origin, &target.vis);
    }
    const SIZE size = screen_size();
    std::lock_guard<std::mutex> lock(gdi_mutex());
    return add_dc(Dc::Type::Screen, size);
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc) {
    bool released;
    {
        std::lock_guard<std::mutex> lock(gdi_mutex());
        released = delete_dc(hdc, true);
    }
    // What was drawn on a window DC goes to the screen now (EndPaint ends here too).
    if (released) w32::present::window_changed(hwnd);
    return released ? 1 : 0;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    const RECT primary = w32::screen::current().primary().rect;
    const int cx = primary.right - primary.left, cy = primary.bottom - primary.top;
    std::lock_guard<std::mutex> lock(gdi_mutex());
    if (!find_dc(hdc)) return 0;
    // Every DC here describes the layer's display, as its primary monitor: 32 bpp at 96 dpi.
    switch (index) {
        case DRIVERVERSION:
            return 0x4000;
        case TECHNOLOGY:
            return DT_RASDISPLAY;
        case HORZSIZE:
            return cx * 254 / 960;
        case VERTSIZE:
            return cy * 254 / 960;
        case HORZRES:
            return cx;
        case VERTRES:
            return cy;
        case BITSPIXEL:
            return 32;
        case PLANES:
            return 1;
        case NUMCOLORS:
            return -1;
        case RASTERCAPS:
            return RC_BITBLT | RC_BITMAP64 | RC_GDI20_OUTPUT | RC_DI_BITMAP | RC_DIBTODEV |
                   RC_BIGFONT | RC_STRETCHBLT | RC_FLOODFILL | RC_STRETCHDIB;
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case SIZEPALETTE:
        case PHYSICALWIDTH:
        case PHYSICALHEIGHT:
        case PHYSICALOFFSETX:
        case PHYSICALOFFSETY:
        default:
            return 0;
    }
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    std::unique_lock<std::mutex> lock(gdi_mutex());
    Dc* dc = find_dc(hdc);
    if (!dc) return nullptr;
    GdiObject* obj = find_object(h);
    if (!obj || obj->delete_pending) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    switch (obj->kind()) {
        case GdiKind::Region: {
            lock.unlock();
            int r = ExtSelectClipRgn(hdc, static_cast<HRGN>(h), RGN_COPY);
            return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(r));
        }
        case GdiKind::Dc:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        case GdiKind::Bitmap: {
            auto* bm = static_cast<Bitmap*>(obj);
            // Only a memory DC holds a bitmap, and a bitmap sits in one DC at a time.
            if (dc->type != Dc::Type::Memory || (bm->selected_in && bm->selected_in != dc)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            break;
        }
        default:
            break;
    }
    return dc->select(obj);
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return nullptr;
    GdiObject* obj = nullptr;
    switch (type) {
        case OBJ_BRUSH:
            obj = dc->brush;
            break;
        case OBJ_PEN:
            obj = dc->pen;
            break;
        case OBJ_FONT:
            obj = dc->font;
            break;
        case OBJ_BITMAP:
            if (dc->type == Dc::Type::Memory) obj = dc->surface;
            break;
        default:
            break;
    }
    if (!obj) SetLastError(ERROR_INVALID_PARAMETER);
    return obj ? obj->handle : nullptr;
}
