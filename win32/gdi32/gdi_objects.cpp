// The GDI object table, stock objects and the functions every object kind shares.
#include "w32/gdi.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

namespace w32::gdi {
namespace {

constexpr uintptr_t kGenerations = 1u << 9;
constexpr size_t kMaxSlots = (size_t{1} << kSlotBits) - kFirstSlot;
// Freed slots wait in line this long before reuse, so a handle value comes back
// only after tens of thousands of objects have come and gone (64 x 512
// generations), while the slots in use stay few enough to stay in the cache.
constexpr size_t kReuseDelay = 64;

struct Table {
    std::vector<GdiSlot> slots;
    std::vector<GdiPtr> owners;  // beside slots, index for index
    std::deque<uint32_t> freed;
};

Table& table() {
    static Table* t = new Table;
    return *t;
}

HGDIOBJ encode(size_t index, uint32_t generation) {
    return reinterpret_cast<HGDIOBJ>((static_cast<uintptr_t>(generation) << (kSlotBits + 2)) |
                                     ((index + kFirstSlot) << 2));
}

GdiPtr make_stock(int index) {
    auto brush = [](bool null, COLORREF c) {
        auto b = std::make_shared<Brush>();
        b->null = null;
        b->color = c;
        return b;
    };
    auto pen = [](int style, COLORREF c) {
        auto p = std::make_shared<Pen>();
        p->style = style;
        p->color = c;
        return p;
    };
    switch (index) {
        case WHITE_BRUSH:
            return brush(false, RGB(255, 255, 255));
        case LTGRAY_BRUSH:
            return brush(false, RGB(192, 192, 192));
        case GRAY_BRUSH:
            return brush(false, RGB(128, 128, 128));
        case DKGRAY_BRUSH:
            return brush(false, RGB(64, 64, 64));
        case BLACK_BRUSH:
            return brush(false, RGB(0, 0, 0));
        case NULL_BRUSH:
            return brush(true, 0);
        case WHITE_PEN:
            return pen(PS_SOLID, RGB(255, 255, 255));
        case BLACK_PEN:
            return pen(PS_SOLID, RGB(0, 0, 0));
        case NULL_PEN:
            return pen(PS_NULL, 0);
        case OEM_FIXED_FONT:
        case ANSI_FIXED_FONT:
        case ANSI_VAR_FONT:
        case SYSTEM_FONT:
        case DEVICE_DEFAULT_FONT:
        case SYSTEM_FIXED_FONT:
        case DEFAULT_GUI_FONT:
            return make_stock_font(index);
        default:
            return nullptr;
    }
}

}  // namespace

const GdiSlot* g_slots;
size_t g_slot_count;

std::mutex& gdi_mutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

HGDIOBJ add_object(GdiPtr obj) {
    Table& t = table();
    size_t index;
    if (t.freed.size() > kReuseDelay) {
        index = t.freed.front();
        t.freed.pop_front();
    } else if (t.slots.size() < kMaxSlots) {
        index = t.slots.size();
        t.slots.push_back(GdiSlot{nullptr, 0});
        t.owners.emplace_back();
        g_slots = t.slots.data();
        g_slot_count = t.slots.size();
    } else if (!t.freed.empty()) {
        index = t.freed.front();
        t.freed.pop_front();
    } else {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    GdiSlot& s = t.slots[index];
    HGDIOBJ h = encode(index, s.generation);
    obj->handle = h;
    s.obj = obj.get();
    t.owners[index] = std::move(obj);
    return h;
}

void remove_object(HGDIOBJ h) {
    GdiObject* obj = find_object(h);
    if (!obj) return;
    Table& t = table();
    const size_t index = ((reinterpret_cast<uintptr_t>(h) >> 2) & ((1u << kSlotBits) - 1)) -
                         kFirstSlot;
    GdiSlot& s = t.slots[index];
    s.obj = nullptr;
    s.generation = (s.generation + 1) % kGenerations;
    t.freed.push_back(static_cast<uint32_t>(index));
    // The object may let others go as it dies: out of the table first.
    GdiPtr dying = std::move(t.owners[index]);
}

// Stock objects stay in the table for good; the table's reference keeps them.
GdiObject* stock_object(int index) {
    static GdiObject* stock[DEFAULT_GUI_FONT + 1];
    if (index < 0 || index > DEFAULT_GUI_FONT) return nullptr;
    if (!stock[index]) {
        GdiPtr obj = make_stock(index);
        if (!obj) return nullptr;
        obj->stock = true;
        stock[index] = obj.get();
        add_object(std::move(obj));
    }
    return stock[index];
}

Bitmap* default_bitmap() {
    static Bitmap* bm;
    if (!bm) {
        std::shared_ptr<Bitmap> made = make_bitmap(1, 1, 1);
        made->stock = true;
        bm = made.get();
        add_object(std::move(made));
    }
    return bm;
}

Region::Region() : GdiObject(kKind) { pixman_region32_init(&rgn); }
Region::~Region() { pixman_region32_fini(&rgn); }

int complexity(const pixman_region32_t* r) {
    int n = pixman_region32_n_rects(const_cast<pixman_region32_t*>(r));
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace w32::gdi

using namespace w32::gdi;

HGDIOBJ WINAPI GetStockObject(int index) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    GdiObject* obj = stock_object(index);
    return obj ? obj->handle : nullptr;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto b = std::make_shared<Brush>();
    b->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(add_object(b));
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    style &= PS_STYLE_MASK;
    if (style > PS_INSIDEFRAME) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = std::make_shared<Pen>();
    p->style = style;
    p->width = width < 0 ? -width : width;
    p->color = color & 0xFFFFFF;
    return static_cast<HPEN>(add_object(p));
}

BOOL WINAPI DeleteObject(HGDIOBJ h) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    GdiObject* obj = find_object(h);
    if (!obj || obj->kind() == GdiKind::Dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (obj->stock) return TRUE;
    if (obj->kind() == GdiKind::Bitmap && static_cast<Bitmap*>(obj)->selected_in) return FALSE;
    if (obj->selected_count > 0) {
        obj->delete_pending = true;
        return TRUE;
    }
    remove_object(h);
    return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    GdiObject* obj = find_object(h);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (obj->kind()) {
        case GdiKind::Pen:
            return OBJ_PEN;
        case GdiKind::Brush:
            return OBJ_BRUSH;
        case GdiKind::Font:
            return OBJ_FONT;
        case GdiKind::Bitmap:
            return OBJ_BITMAP;
        case GdiKind::Region:
            return OBJ_REGION;
        case GdiKind::Dc:
            return static_cast<Dc&>(*obj).type == Dc::Type::Memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

namespace {

template <class T>
int copy_out(const T& value, int size, LPVOID buffer) {
    if (!buffer) return sizeof(T);
    if (size < static_cast<int>(sizeof(T))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memcpy(buffer, &value, sizeof(T));
    return sizeof(T);
}

}  // namespace

int WINAPI GetObjectW(HGDIOBJ h, int size, LPVOID buffer) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    GdiObject* obj = find_object(h);
    if (!obj) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (obj->kind()) {
        case GdiKind::Pen: {
            auto& p = static_cast<Pen&>(*obj);
            LOGPEN lp{static_cast<UINT>(p.style), {p.width, 0}, p.color};
            return copy_out(lp, size, buffer);
        }
        case GdiKind::Brush: {
            auto& b = static_cast<Brush&>(*obj);
            LOGBRUSH lb{static_cast<UINT>(b.null ? BS_NULL : BS_SOLID), b.color, 0};
            return copy_out(lb, size, buffer);
        }
        case GdiKind::Bitmap: {
            auto& b = static_cast<Bitmap&>(*obj);
            BITMAP bm{};
            bm.bmWidth = b.width;
            bm.bmHeight = b.height;
            bm.bmWidthBytes = b.dib_section ? b.stride : (b.width * b.bpp + 15) / 16 * 2;
            bm.bmPlanes = 1;
            bm.bmBitsPixel = static_cast<WORD>(b.bpp);
            bm.bmBits = b.dib_section ? b.bits : nullptr;
            if (!b.dib_section || (buffer && size < static_cast<int>(sizeof(DIBSECTION))))
                return copy_out(bm, size, buffer);
            DIBSECTION ds{};
            ds.dsBm = bm;
            ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
            ds.dsBmih.biWidth = b.width;
            ds.dsBmih.biHeight = b.dib_height;
            ds.dsBmih.biPlanes = 1;
            ds.dsBmih.biBitCount = static_cast<WORD>(b.bpp);
            ds.dsBmih.biCompression = BI_RGB;
            ds.dsBmih.biSizeImage = static_cast<DWORD>(b.stride * b.height);
            return copy_out(ds, size, buffer);
        }
        case GdiKind::Font: {
            // A short buffer takes the start of the LOGFONTW, as Windows allows.
            auto& f = static_cast<Font&>(*obj);
            if (!buffer) return sizeof(LOGFONTW);
            int n = std::min(size, static_cast<int>(sizeof(LOGFONTW)));
            if (n <= 0) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            std::memcpy(buffer, &f.logfont, static_cast<size_t>(n));
            return n;
        }
        default:
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
    }
}
