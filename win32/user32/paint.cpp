// Window surfaces, update regions, BeginPaint/EndPaint and window DCs.
//
// Lock order: user_mutex() before gdi_mutex(), never the other way round.
#include "paint.h"

#include "window_class.h"

#include <w32/gdi.h>
#include <w32/path.h>
#include <w32/text.h>
#include <w32/window_surface.h>

#include <win32_debug.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace w32::user {

namespace {

LONG width_of(const RECT& r) { return r.right - r.left; }
LONG height_of(const RECT& r) { return r.bottom - r.top; }

PaintState& paint_of(Window& w) {
    if (!w.paint) w.paint = std::make_shared<PaintState>();
    return *w.paint;
}

WindowPtr normal_parent_locked(const Window& w) {
    auto p = find_window_locked(w.parent);
    return p && p->kind == WindowKind::Normal ? p : nullptr;
}

WindowPtr top_of_locked(WindowPtr w) {
    while (auto p = normal_parent_locked(*w)) w = p;
    return w;
}

POINT client_offset_locked(const Window& w);

// Where the parent's client (0, 0) lies on the top-level surface, whose (0, 0) is
// the top-level window's corner.
POINT parent_offset_locked(const Window& w) {
    if (auto p = normal_parent_locked(w)) return client_offset_locked(*p);
    return POINT{-w.rect.left, -w.rect.top};
}

POINT client_offset_locked(const Window& w) {
    POINT p = parent_offset_locked(w);
    return POINT{p.x + w.client.left, p.y + w.client.top};
}

POINT window_offset_locked(const Window& w) {
    POINT p = parent_offset_locked(w);
    return POINT{p.x + w.rect.left, p.y + w.rect.top};
}

void add_rect(pixman_region32_t* r, POINT at, LONG w, LONG h) {
    pixman_region32_union_rect(r, r, at.x, at.y, static_cast<unsigned>(std::max<LONG>(w, 0)),
                               static_cast<unsigned>(std::max<LONG>(h, 0)));
}

void clip_rect(pixman_region32_t* r, POINT at, LONG w, LONG h) {
    pixman_region32_intersect_rect(r, r, at.x, at.y, static_cast<unsigned>(std::max<LONG>(w, 0)),
                                   static_cast<unsigned>(std::max<LONG>(h, 0)));
}

void cut_rect(pixman_region32_t* r, POINT at, LONG w, LONG h) {
    pixman_region32_t cut;
    pixman_region32_init_rect(&cut, at.x, at.y, static_cast<unsigned>(std::max<LONG>(w, 0)),
                              static_cast<unsigned>(std::max<LONG>(h, 0)));
    pixman_region32_subtract(r, r, &cut);
    pixman_region32_fini(&cut);
}

// Makes the top-level surface match the window's size, keeping the pixels that
// still fit.
void ensure_surface_locked(Window& top) {
    const int w = std::max<LONG>(1, width_of(top.rect)), h = std::max<LONG>(1, height_of(top.rect));
    std::lock_guard gdi_lock(gdi::gdi_mutex());
    auto& old = top.surface;
    if (old && old->width == w && old->height == h) return;
    auto fresh = gdi::make_bitmap(w, h, 32);
    if (!fresh) return;
    if (old) {
        const int cw = std::min(w, old->width), ch = std::min(h, old->height);
        for (int y = 0; y < ch; ++y)
            std::memcpy(fresh->row(y), old->row(y), static_cast<size_t>(cw) * 4);
    }
    top.surface = std::move(fresh);
}

bool visible_chain_locked(const Window& w) {
    const Window* cur = &w;
    WindowPtr hold;
    for (;;) {
        if (!(cur->style & WS_VISIBLE)) return false;
        hold = find_window_locked(cur->parent);
        if (!hold) return false;
        if (hold->kind == WindowKind::Desktop) return true;
        if (hold->kind != WindowKind::Normal) return false;
        cur = hold.get();
    }
}

void wake_locked(const Window& w, std::vector<QueuePtr>* wake) {
    if (w.queue && std::find(wake->begin(), wake->end(), w.queue) == wake->end())
        wake->push_back(w.queue);
}

// Adds rgn (client coordinates; null = all of it) to w's update region, and to the
// children it covers unless w clips them out.
// A layered window whose pixels come from UpdateLayeredWindow has nothing to repaint.
bool content_supplied_locked(const Window& w) {
    const Window* cur = &w;
    WindowPtr hold;
    while (auto p = normal_parent_locked(*cur)) {
        hold = p;
        cur = hold.get();
    }
    return cur->layered.updated;
}

void invalidate_locked(Window& w, const pixman_region32_t* rgn, bool erase,
                       std::vector<QueuePtr>* wake) {
    if (content_supplied_locked(w)) return;
    pixman_region32_t area;
    pixman_region32_init_rect(&area, 0, 0,
                              static_cast<unsigned>(std::max<LONG>(width_of(w.client), 0)),
                              static_cast<unsigned>(std::max<LONG>(height_of(w.client), 0)));
    if (rgn) pixman_region32_intersect(&area, &area, const_cast<pixman_region32_t*>(rgn));
    if (pixman_region32_not_empty(&area)) {
        auto& ps = paint_of(w);
        pixman_region32_union(&ps.update, &ps.update, &area);
        if (erase) ps.erase = true;
        wake_locked(w, wake);
        if (!(w.style & WS_CLIPCHILDREN)) {
            for (HWND h : w.children) {
                auto c = find_window_locked(h);
                if (!c || !(c->style & WS_VISIBLE)) continue;
                pixman_region32_t mine;
                pixman_region32_init(&mine);
                pixman_region32_copy(&mine, &area);
                pixman_region32_translate(&mine, -c->client.left, -c->client.top);
                invalidate_locked(*c, &mine, erase, wake);
                pixman_region32_fini(&mine);
            }
        }
    }
    pixman_region32_fini(&area);
}

// The whole window and every descendant.
void invalidate_tree_locked(Window& w, std::vector<QueuePtr>* wake) {
    invalidate_locked(w, nullptr, true, wake);
    for (HWND h : w.children) {
        if (auto c = find_window_locked(h)) invalidate_tree_locked(*c, wake);
    }
}

void validate_locked(Window& w, const pixman_region32_t* rgn) {
    if (!w.paint) return;
    if (rgn)
        pixman_region32_subtract(&w.paint->update, &w.paint->update,
                                 const_cast<pixman_region32_t*>(rgn));
    else
        pixman_region32_clear(&w.paint->update);
    if (!pixman_region32_not_empty(&w.paint->update)) w.paint->erase = false;
}

bool has_update_locked(const Window& w) {
    return w.paint && pixman_region32_not_empty(&w.paint->update);
}

void wake_all(const std::vector<QueuePtr>& wake) {
    for (auto& q : wake) q->mark_paint();
}

// A copy of a GDI region; false (ERROR_INVALID_HANDLE) when rgn is not one.
bool copy_region(HRGN rgn, pixman_region32_t* out) {
    std::lock_guard lock(gdi::gdi_mutex());
    auto r = gdi::find_as<gdi::Region>(rgn);
    if (!r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    pixman_region32_copy(out, &r->rgn);
    return true;
}

BOOL invalidate(HWND hwnd, const pixman_region32_t* rgn, bool erase) {
    std::vector<QueuePtr> wake;
    if (!hwnd) {
        // No window: every top-level window of the process.
        std::lock_guard lock(user_mutex());
        for (HWND h : desktop_locked()->children) {
            auto w = find_window_locked(h);
            if (w && w->kind == WindowKind::Normal) invalidate_tree_locked(*w, &wake);
        }
    } else {
        auto w = get_window(hwnd);
        if (!w) return FALSE;
        std::lock_guard lock(user_mutex());
        invalidate_locked(*w, rgn, erase, &wake);
    }
    wake_all(wake);
    return TRUE;
}

BOOL validate(HWND hwnd, const pixman_region32_t* rgn) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    std::lock_guard lock(user_mutex());
    validate_locked(*w, rgn);
    return TRUE;
}

bool find_paint_locked(const Window& w, const MessageFilter& filter, DWORD tid, HWND* out) {
    if (w.kind != WindowKind::Normal || !(w.style & WS_VISIBLE)) return false;
    if (w.tid == tid && filter.accepts_window(w.hwnd) && has_update_locked(w)) {
        *out = w.hwnd;
        return true;
    }
    for (HWND h : w.children) {
        auto c = find_window_locked(h);
        if (c && find_paint_locked(*c, filter, tid, out)) return true;
    }
    return false;
}

// A DC on hwnd's client area clipped to update (client coordinates).
HDC update_dc(HWND hwnd, const pixman_region32_t* update) {
    paint::DcTarget target;
    if (!paint::window_dc_target(hwnd, false, &target)) return nullptr;
    pixman_region32_t clip;
    pixman_region32_init(&clip);
    pixman_region32_copy(&clip, const_cast<pixman_region32_t*>(update));
    pixman_region32_translate(&clip, target.origin.x, target.origin.y);
    pixman_region32_intersect(&clip, &clip, &target.vis);
    HDC hdc;
    {
        std::lock_guard lock(gdi::gdi_mutex());
        hdc = gdi::add_window_dc(target.surface, target.origin, &clip);
    }
    pixman_region32_fini(&clip);
    return hdc;
}

// Takes the window's update region (and whether it wants erasing); validates it
// when asked, else only clears the erase request.
bool take_update(const WindowPtr& w, bool validate_too, pixman_region32_t* out) {
    std::lock_guard lock(user_mutex());
    if (!w->paint) return false;
    pixman_region32_copy(out, &w->paint->update);
    const bool erase = w->paint->erase && pixman_region32_not_empty(out);
    if (validate_too)
        validate_locked(*w, nullptr);
    else
        w->paint->erase = false;
    return erase;
}

// GetUpdateRect/GetUpdateRgn with erase: a pending erase happens now.
void erase_now(HWND hwnd, const WindowPtr& w) {
    pixman_region32_t update;
    pixman_region32_init(&update);
    bool pending;
    {
        std::lock_guard lock(user_mutex());
        pending = w->paint && w->paint->erase;
    }
    if (pending && take_update(w, false, &update)) {
        if (HDC hdc = update_dc(hwnd, &update)) {
            SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
            ReleaseDC(hwnd, hdc);
        }
    }
    pixman_region32_fini(&update);
}

// WIN32_PAINT_DUMP_DIR: every EndPaint writes the top-level window to a PNG there.
void dump_after_paint(HWND hwnd) {
    const char* dir = getenv("WIN32_PAINT_DUMP_DIR");
    if (!dir || !*dir) return;
    HWND top = hwnd;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return;
        top = top_of_locked(w)->hwnd;
    }
    char name[64];
    snprintf(name, sizeof name, "/window-%08lx.png",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(top)));
    // The folder is a Linux one, wherever the current folder is.
    Win32DumpWindowPng(top, to_windows(std::string(dir) + name).c_str());
}

}  // namespace

bool next_paint_message(const MessageFilter& filter, MSG* out) {
    if (!filter.accepts_message(WM_PAINT)) return false;
    const DWORD tid = GetCurrentThreadId();
    HWND found = nullptr;
    {
        std::lock_guard lock(user_mutex());
        for (HWND h : desktop_locked()->children) {
            auto w = find_window_locked(h);
            if (w && find_paint_locked(*w, filter, tid, &found)) break;
        }
    }
    if (!found) return false;
    *out = MSG{};
    out->hwnd = found;
    out->message = WM_PAINT;
    out->time = GetTickCount();
    return true;
}

void after_placement_locked(Window& w, const RECT& old_rect, bool was_visible, UINT flags,
                            std::vector<QueuePtr>* wake) {
    if (flags & SWP_NOREDRAW) return;
    const bool visible = (w.style & WS_VISIBLE) != 0;
    const bool moved = std::memcmp(&old_rect, &w.rect, sizeof(RECT)) != 0;
    const bool resized =
        width_of(old_rect) != width_of(w.rect) || height_of(old_rect) != height_of(w.rect);
    auto parent = normal_parent_locked(w);
    if (visible && (!was_visible || resized || (parent && moved))) invalidate_tree_locked(w, wake);
    if (parent && was_visible && (!visible || moved)) {
        // What the child covered shows the parent again.
        pixman_region32_t uncovered;
        // A child's rectangle is in its parent's client coordinates already.
        pixman_region32_init_rect(&uncovered, old_rect.left, old_rect.top,
                                  static_cast<unsigned>(std::max<LONG>(width_of(old_rect), 0)),
                                  static_cast<unsigned>(std::max<LONG>(height_of(old_rect), 0)));
        invalidate_locked(*parent, &uncovered, true, wake);
        pixman_region32_fini(&uncovered);
    }
}

}  // namespace w32::user

namespace w32::paint {

bool window_dc_target(HWND hwnd, bool whole_window, DcTarget* t) {
    using namespace w32::user;
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    if (!w || w->kind != WindowKind::Normal) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    auto top = top_of_locked(w);
    ensure_surface_locked(*top);
    t->surface = top->surface;
    const RECT& own = whole_window ? w->rect : w->client;
    t->origin = whole_window ? window_offset_locked(*w) : client_offset_locked(*w);
    pixman_region32_clear(&t->vis);
    add_rect(&t->vis, t->origin, width_of(own), height_of(own));
    // Inside every ancestor's client area, outside siblings in front when asked.
    for (WindowPtr cur = w, parent = normal_parent_locked(*w); parent;
         cur = parent, parent = normal_parent_locked(*cur)) {
        clip_rect(&t->vis, client_offset_locked(*parent), width_of(parent->client),
                  height_of(parent->client));
        if (cur->style & WS_CLIPSIBLINGS) {
            for (HWND h : parent->children) {
                if (h == cur->hwnd) break;
                auto s = find_window_locked(h);
                if (s && (s->style & WS_VISIBLE))
                    cut_rect(&t->vis, window_offset_locked(*s), width_of(s->rect),
                             height_of(s->rect));
            }
        }
    }
    if (w->style & WS_CLIPCHILDREN) {
        for (HWND h : w->children) {
            auto c = find_window_locked(h);
            if (c && (c->style & WS_VISIBLE))
                cut_rect(&t->vis, window_offset_locked(*c), width_of(c->rect), height_of(c->rect));
        }
    }
    return true;
}

}  // namespace w32::paint

using namespace w32;
using namespace w32::user;

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (!rect) return invalidate(hwnd, nullptr, erase != FALSE);
    pixman_region32_t r;
    pixman_region32_init(&r);
    if (rect->right > rect->left && rect->bottom > rect->top)
        add_rect(&r, POINT{rect->left, rect->top}, width_of(*rect), height_of(*rect));
    BOOL ok = invalidate(hwnd, &r, erase != FALSE);
    pixman_region32_fini(&r);
    return ok;
}

BOOL WINAPI InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (!rgn) return invalidate(hwnd, nullptr, erase != FALSE);
    pixman_region32_t r;
    pixman_region32_init(&r);
    BOOL ok = copy_region(rgn, &r) ? invalidate(hwnd, &r, erase != FALSE) : FALSE;
    pixman_region32_fini(&r);
    return ok;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect) {
    if (!rect) return validate(hwnd, nullptr);
    pixman_region32_t r;
    pixman_region32_init(&r);
    if (rect->right > rect->left && rect->bottom > rect->top)
        add_rect(&r, POINT{rect->left, rect->top}, width_of(*rect), height_of(*rect));
    BOOL ok = validate(hwnd, &r);
    pixman_region32_fini(&r);
    return ok;
}

BOOL WINAPI ValidateRgn(HWND hwnd, HRGN rgn) {
    if (!rgn) return validate(hwnd, nullptr);
    pixman_region32_t r;
    pixman_region32_init(&r);
    BOOL ok = copy_region(rgn, &r) ? validate(hwnd, &r) : FALSE;
    pixman_region32_fini(&r);
    return ok;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    if (erase) erase_now(hwnd, w);
    std::lock_guard lock(user_mutex());
    const bool any = has_update_locked(*w);
    if (rect) {
        if (any) {
            const pixman_box32_t* e = pixman_region32_extents(&w->paint->update);
            *rect = RECT{e->x1, e->y1, e->x2, e->y2};
        } else {
            *rect = RECT{0, 0, 0, 0};
        }
    }
    return any ? TRUE : FALSE;
}

int WINAPI GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    auto w = get_window(hwnd);
    if (!w) return ERROR;
    if (erase) erase_now(hwnd, w);
    pixman_region32_t copy;
    pixman_region32_init(&copy);
    {
        std::lock_guard lock(user_mutex());
        if (w->paint) pixman_region32_copy(&copy, &w->paint->update);
    }
    int result = ERROR;
    {
        std::lock_guard lock(gdi::gdi_mutex());
        if (auto r = gdi::find_as<gdi::Region>(rgn)) {
            pixman_region32_copy(&r->rgn, &copy);
            result = gdi::complexity(&r->rgn);
        } else {
            SetLastError(ERROR_INVALID_HANDLE);
        }
    }
    pixman_region32_fini(&copy);
    return result;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    bool due;
    std::vector<HWND> children;
    {
        std::lock_guard lock(user_mutex());
        due = visible_chain_locked(*w) && has_update_locked(*w);
        children = w->children;
    }
    if (due) SendMessageW(hwnd, WM_PAINT, 0, 0);
    for (HWND c : children) {
        if (IsWindow(c)) UpdateWindow(c);
    }
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    pixman_region32_t update;
    pixman_region32_init(&update);
    const bool erase = take_update(w, true, &update);
    HDC hdc = update_dc(hwnd, &update);
    *ps = PAINTSTRUCT{};
    ps->hdc = hdc;
    if (pixman_region32_not_empty(&update)) {
        const pixman_box32_t* e = pixman_region32_extents(&update);
        ps->rcPaint = RECT{e->x1, e->y1, e->x2, e->y2};
    }
    pixman_region32_fini(&update);
    // fErase tells the program the background is still to be erased.
    if (hdc && erase)
        ps->fErase =
            SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    return hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps) return FALSE;
    if (ps->hdc) ReleaseDC(hwnd, ps->hdc);
    dump_after_paint(hwnd);
    return TRUE;
}

HDC WINAPI GetWindowDC(HWND hwnd) {
    paint::DcTarget target;
    if (!paint::window_dc_target(hwnd, true, &target)) return nullptr;
    std::lock_guard lock(gdi::gdi_mutex());
    return gdi::add_window_dc(target.surface, target.origin, &target.vis);
}

int WINAPI FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return 0;
    std::lock_guard lock(gdi::gdi_mutex());
    auto dc = gdi::find_dc(hdc);
    auto b = gdi::find_as<gdi::Brush>(brush);
    if (!dc || !b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // A pattern fill of the rectangle's corner and size: an unordered one reaches back.
    int x = rect->left, y = rect->top, w = width_of(*rect), h = height_of(*rect);
    gdi::order_fill_box(&x, &y, &w, &h);
    if (b->null || w == 0 || h == 0) return 1;
    POINT d = dc->to_device(x, y);
    pixman_region32_t shape;
    pixman_region32_init_rect(&shape, d.x, d.y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    gdi::fill_region(*dc, &shape, gdi::color_pixel(b->color));
    pixman_region32_fini(&shape);
    return 1;
}
