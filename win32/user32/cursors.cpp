// Cursors and icons. The system's shared cursors are permanent: DestroyCursor or
// DestroyIcon of one does nothing, and every LoadCursorW of an id answers the same
// handle. Created ones own copies of the bitmaps they were made from, so the
// caller may delete its own bitmaps at once; GetIconInfo hands out new copies.
#include <windows.h>

#include "cursor_art.h"
#include <w32/gdi.h>
#include <w32/icon_pixels.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

using w32::gdi::Bitmap;

constexpr WORD kSharedIds[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642, 32643,
                               32644, 32645, 32646, 32648, 32649, 32650, 32651, 32671, 32672};

struct Icon {
    WORD shared_id = 0;  // non-zero for a shared cursor
    bool is_icon = false;
    DWORD hot_x = 0, hot_y = 0;
    std::shared_ptr<Bitmap> mask;   // twice the height when there is no colour
    std::shared_ptr<Bitmap> color;  // null for a monochrome icon
};

// Handles are their own small numbers, apart from window and GDI handle values.
struct IconTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::unique_ptr<Icon>> icons;
    std::unordered_map<WORD, HICON> shared;
    uintptr_t next = 0x30000;

    HICON add(std::unique_ptr<Icon> icon) {
        auto h = next;
        next += 4;
        icons.emplace(h, std::move(icon));
        return reinterpret_cast<HICON>(h);
    }
    Icon* find(HICON h) {
        auto it = icons.find(reinterpret_cast<uintptr_t>(h));
        return it == icons.end() ? nullptr : it->second.get();
    }
};

IconTable& table() {
    static IconTable t;
    return t;
}

// Expects gdi_mutex() held. The copy is top-down and not a DIB section.
std::shared_ptr<Bitmap> copy_bitmap(const Bitmap& src) {
    auto bm = w32::gdi::make_bitmap(src.width, src.height, src.bpp);
    if (!bm) return nullptr;
    const size_t n = static_cast<size_t>(std::min(bm->stride, src.stride));
    for (int y = 0; y < src.height; ++y) std::memcpy(bm->row(y), src.row(y), n);
    return bm;
}

std::unique_ptr<Icon> make_shared_cursor(WORD id) {
    const w32::user::CursorArt art = w32::user::draw_cursor(id);
    const int size = w32::user::kCursorSize;
    auto icon = std::make_unique<Icon>();
    icon->shared_id = id;
    icon->hot_x = static_cast<DWORD>(art.hot_x);
    icon->hot_y = static_cast<DWORD>(art.hot_y);
    icon->mask = w32::gdi::make_bitmap(size, size, 1);
    icon->color = w32::gdi::make_bitmap(size, size, 32);
    if (!icon->mask || !icon->color) return nullptr;
    for (int y = 0; y < size; ++y) {
        uint8_t* m = icon->mask->row(y);
        for (int x = 0; x < size; ++x) {
            uint32_t p = art.pixels[y * size + x];
            // A set mask bit keeps the screen: the transparent parts.
            if ((p >> 24) == 0) m[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            std::memcpy(icon->color->row(y) + x * 4, &p, 4);
        }
    }
    return icon;
}

bool is_shared_id(WORD id) {
    return std::find(std::begin(kSharedIds), std::end(kSharedIds), id) != std::end(kSharedIds);
}

// Frees a created icon or cursor; shared ones stay.
BOOL destroy(HICON h) {
    IconTable& t = table();
    std::lock_guard lock(t.mutex);
    Icon* icon = t.find(h);
    if (!icon) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (!icon->shared_id) t.icons.erase(reinterpret_cast<uintptr_t>(h));
    return TRUE;
}

}  // namespace

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    // Programs carry no cursor resources here; only the system's own are known.
    const WORD id = IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)) : 0;
    if (instance || !is_shared_id(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    IconTable& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.shared.find(id);
    if (it != t.shared.end()) return it->second;
    auto icon = make_shared_cursor(id);
    if (!icon) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HICON h = t.add(std::move(icon));
    t.shared.emplace(id, h);
    return h;
}

HICON WINAPI CreateIconIndirect(PICONINFO info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto icon = std::make_unique<Icon>();
    int width = 0, height = 0;
    {
        std::lock_guard gdi(w32::gdi::gdi_mutex());
        auto mask = w32::gdi::find_as<Bitmap>(info->hbmMask);
        auto color = info->hbmColor ? w32::gdi::find_as<Bitmap>(info->hbmColor) : nullptr;
        if (!mask || (info->hbmColor && !color)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        icon->mask = copy_bitmap(*mask);
        if (color) icon->color = copy_bitmap(*color);
        if (!icon->mask || (color && !icon->color)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        width = color ? color->width : mask->width;
        height = color ? color->height : mask->height / 2;
    }
    icon->is_icon = info->fIcon != FALSE;
    // An icon's hot spot is always its centre; a cursor keeps the one it is given.
    icon->hot_x = icon->is_icon ? static_cast<DWORD>(width / 2) : info->xHotspot;
    icon->hot_y = icon->is_icon ? static_cast<DWORD>(height / 2) : info->yHotspot;
    IconTable& t = table();
    std::lock_guard lock(t.mutex);
    return t.add(std::move(icon));
}

BOOL WINAPI GetIconInfo(HICON handle, PICONINFO info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    IconTable& t = table();
    std::lock_guard lock(t.mutex);
    Icon* icon = t.find(handle);
    if (!icon) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    std::lock_guard gdi(w32::gdi::gdi_mutex());
    auto mask = copy_bitmap(*icon->mask);
    auto color = icon->color ? copy_bitmap(*icon->color) : nullptr;
    if (!mask || (icon->color && !color)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    info->fIcon = icon->is_icon ? TRUE : FALSE;
    info->xHotspot = icon->hot_x;
    info->yHotspot = icon->hot_y;
    info->hbmMask = static_cast<HBITMAP>(w32::gdi::add_object(std::move(mask)));
    info->hbmColor = color ? static_cast<HBITMAP>(w32::gdi::add_object(std::move(color))) : nullptr;
    return TRUE;
}

BOOL WINAPI DestroyIcon(HICON icon) { return destroy(icon); }

BOOL WINAPI DestroyCursor(HCURSOR cursor) { return destroy(cursor); }

bool w32::user::icon_pixels(HICON handle, int* width, int* height, POINT* hot,
                            std::vector<uint32_t>* argb, bool premultiplied) {
    IconTable& t = table();
    std::lock_guard lock(t.mutex);
    const Icon* icon = t.find(handle);
    if (!icon) return false;
    std::lock_guard gdi(w32::gdi::gdi_mutex());
    const Bitmap& mask = *icon->mask;
    const Bitmap* color = icon->color.get();
    const int w = color ? color->width : mask.width;
    const int h = color ? color->height : mask.height / 2;
    argb->assign(static_cast<size_t>(w) * h, 0);
    bool any_alpha = false;
    if (color && color->bpp == 32)
        for (int y = 0; y < h && !any_alpha; ++y)
            for (int x = 0; x < w && !any_alpha; ++x) any_alpha = (color->pixel(x, y) >> 24) != 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // A set mask bit keeps the screen; without colour the lower half is the
            // picture (a kept pixel that would be inverted shows black).
            const bool clear = y < mask.height && mask.pixel(x, y) != 0;
            uint32_t p;
            if (color) {
                p = color->pixel(x, y);
                if (!any_alpha) p = clear ? 0 : (p | 0xFF000000u);
            } else {
                const bool white = mask.pixel(x, y + h) != 0;
                p = clear ? (white ? 0xFF000000u : 0) : (white ? 0xFFFFFFFFu : 0xFF000000u);
            }
            const uint32_t a = p >> 24;
            auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
            (*argb)[static_cast<size_t>(y) * w + x] =
                premultiplied ? (a << 24) | (mul((p >> 16) & 0xFF) << 16) |
                                    (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF)
                              : p;
        }
    }
    *width = w;
    *height = h;
    *hot = POINT{static_cast<LONG>(icon->hot_x), static_cast<LONG>(icon->hot_y)};
    return true;
}
