// Placement, z-order, visibility, minimised and maximised states, and the foreground.
#include "paint.h"
#include "window.h"

#include <w32/presenter.h>
#include <w32/screen.h>

#include <algorithm>

namespace w32::user {

namespace {

constexpr RECT kMinimizedRect{-32000, -32000, -32000 + 160, -32000 + 28};

LONG width_of(const RECT& r) { return r.right - r.left; }
LONG height_of(const RECT& r) { return r.bottom - r.top; }

// The windows w owns, and those they own, front first.
void collect_owned_locked(const Window& w, std::vector<WindowPtr>* out) {
    for (HWND h : desktop_locked()->children) {
        auto o = find_window_locked(h);
        if (!o || o->owner != w.hwnd || o.get() == &w) continue;
        if (std::find(out->begin(), out->end(), o) != out->end()) continue;
        out->push_back(o);
        collect_owned_locked(*o, out);
    }
}

// A window made topmost takes its owned windows into the band; one made ordinary
// takes its owners and its owned windows out of it. The windows whose band changed
// keep their order at the band's edge.
void set_topmost_locked(Window& w, bool topmost) {
    std::vector<WindowPtr> group;
    collect_owned_locked(w, &group);
    if (!topmost)
        for (WindowPtr& o : owners_locked(w)) group.push_back(std::move(o));
    w.ex_style = topmost ? (w.ex_style | WS_EX_TOPMOST) : (w.ex_style & ~WS_EX_TOPMOST);
    for (auto& o : group)
        o->ex_style = topmost ? (o->ex_style | WS_EX_TOPMOST) : (o->ex_style & ~WS_EX_TOPMOST);
    auto& list = desktop_locked()->children;
    std::stable_partition(list.begin(), list.end(), [](HWND h) {
        auto o = find_window_locked(h);
        return o && (o->ex_style & WS_EX_TOPMOST);
    });
}

void reorder_locked(Window& w, HWND insert_after, bool top_level, bool owners) {
    if (top_level) {
        if (insert_after == HWND_TOPMOST) {
            set_topmost_locked(w, true);
            insert_after = HWND_TOP;
        } else if (insert_after == HWND_NOTOPMOST) {
            if (!(w.ex_style & WS_EX_TOPMOST)) return;  // already ordinary: stays where it is
            set_topmost_locked(w, false);
            insert_after = HWND_TOP;
        } else if (insert_after == HWND_BOTTOM) {
            w.ex_style &= ~WS_EX_TOPMOST;
        }
    } else if (insert_after == HWND_TOPMOST || insert_after == HWND_NOTOPMOST) {
        insert_after = HWND_TOP;
    }
    place_in_zorder_locked(w, insert_after, owners);
}

// An overlapped window's first showing brings the WM_SIZE and WM_MOVE its
// creation held back.
void send_size_if_needed(HWND hwnd) {
    RECT client;
    DWORD style;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w || !w->need_size) return;
        w->need_size = false;
        client = w->client;
        style = w->style;
    }
    const WPARAM type = (style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                        : (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                : SIZE_RESTORED;
    SendMessageW(hwnd, WM_SIZE, type, MAKELPARAM(width_of(client), height_of(client)));
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
}

}  // namespace

}  // namespace w32::user

using namespace w32::user;

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    WINDOWPOS wp{hwnd,
                 insert_after,
                 x,
                 y,
                 cx < 0 ? 0 : cx,
                 cy < 0 ? 0 : cy,
                 flags & ~(kSwpNoClientSize | kSwpNoClientMove)};
    RECT old_rect, old_client;
    {
        std::lock_guard lock(user_mutex());
        old_rect = w->rect;
        old_client = w->client;
        const bool visible = (w->style & WS_VISIBLE) != 0;
        if (visible)
            wp.flags &= ~SWP_SHOWWINDOW;
        else
            wp.flags &= ~SWP_HIDEWINDOW;
        if (wp.cx == width_of(old_rect) && wp.cy == height_of(old_rect)) wp.flags |= SWP_NOSIZE;
        if (wp.x == old_rect.left && wp.y == old_rect.top) wp.flags |= SWP_NOMOVE;
        if (insert_after == hwnd) wp.flags |= SWP_NOZORDER;
        if (!is_top_level_locked(*w)) wp.flags |= SWP_NOACTIVATE;
    }
    if (!(wp.flags & SWP_NOSENDCHANGING)) {
        SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    }
    RECT rect = old_rect;
    if (!(wp.flags & SWP_NOMOVE)) {
        rect.left = wp.x;
        rect.top = wp.y;
    }
    const LONG width = (wp.flags & SWP_NOSIZE) ? width_of(old_rect) : std::max(wp.cx, 0);
    const LONG height = (wp.flags & SWP_NOSIZE) ? height_of(old_rect) : std::max(wp.cy, 0);
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;

    RECT client;
    if (!(wp.flags & SWP_NOSIZE) || (wp.flags & SWP_FRAMECHANGED)) {
        NCCALCSIZE_PARAMS params{};
        params.rgrc[0] = rect;
        params.rgrc[1] = old_rect;
        params.rgrc[2] = old_client;
        params.lppos = &wp;
        SendMessageW(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
        client = params.rgrc[0];
    } else {
        const LONG dx = rect.left - old_rect.left, dy = rect.top - old_rect.top;
        client = RECT{old_client.left + dx, old_client.top + dy, old_client.right + dx,
                      old_client.bottom + dy};
    }
    std::vector<QueuePtr> wake;
    bool activate = false, hidden = false;
    {
        std::lock_guard lock(user_mutex());
        if (find_window_locked(hwnd) != w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        const bool top_level = is_top_level_locked(*w);
        const bool was_visible = (w->style & WS_VISIBLE) != 0;
        w->rect = rect;
        w->client = client;
        if (!(wp.flags & SWP_NOZORDER))
            reorder_locked(*w, wp.hwndInsertAfter, top_level, !(wp.flags & SWP_NOOWNERZORDER));
        if (wp.flags & SWP_SHOWWINDOW) {
            w->style |= WS_VISIBLE;
            // Shown without a place of its own, an owned window still comes in front
            // of its owner.
            if (top_level) keep_owned_in_front_locked(desktop_locked()->children);
        }
        if (wp.flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
        activate = !(wp.flags & SWP_NOACTIVATE) && top_level && (w->style & WS_VISIBLE);
        hidden = was_visible && !(w->style & WS_VISIBLE);
        if (width_of(client) == width_of(old_client) && height_of(client) == height_of(old_client))
            wp.flags |= kSwpNoClientSize;
        if (client.left == old_client.left && client.top == old_client.top)
            wp.flags |= kSwpNoClientMove;
        after_placement_locked(*w, old_rect, was_visible, wp.flags, &wake);
    }
    for (auto& q : wake) q->mark_paint();
    // Activated before the presenter looks, so a window shown active is mapped as such.
    if (activate) set_active_window(hwnd, WA_ACTIVE);
    w32::present::window_changed(hwnd);
    if (hidden) after_hidden(hwnd);
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    return TRUE;
}

BOOL WINAPI BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW);
    return SetWindowPos(hwnd, nullptr, x, y, width, height, flags);
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd_show) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    bool was_visible, minimized, maximized, top_level, on_screen;
    RECT rect, normal, maximized_rect;
    {
        std::lock_guard lock(user_mutex());
        was_visible = (w->style & WS_VISIBLE) != 0;
        minimized = (w->style & WS_MINIMIZE) != 0;
        maximized = (w->style & WS_MAXIMIZE) != 0;
        top_level = is_top_level_locked(*w);
        rect = w->rect;
        normal = (minimized || maximized) ? w->normal : w->rect;
        auto parent = find_window_locked(w->parent);
        on_screen = top_level || !parent;
        if (!on_screen)
            maximized_rect = RECT{0, 0, width_of(parent->client), height_of(parent->client)};
    }
    UINT flags = SWP_NOSIZE | SWP_NOMOVE;
    RECT target = rect;
    DWORD set_style = 0, clear_style = 0;
    bool show = true;
    switch (cmd_show) {
        case SW_HIDE:
            if (!was_visible) return FALSE;
            show = false;
            flags |= SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE;
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
        case SW_FORCEMINIMIZE:
            if (cmd_show != SW_SHOWMINIMIZED) flags |= SWP_NOZORDER | SWP_NOACTIVATE;
            if (!minimized) {
                flags = (flags & ~(SWP_NOSIZE | SWP_NOMOVE)) | SWP_FRAMECHANGED;
                target = kMinimizedRect;
                set_style = WS_MINIMIZE;
                clear_style = WS_MAXIMIZE;
            }
            break;
        case SW_SHOWMAXIMIZED:
            if (!maximized) {
                flags = SWP_FRAMECHANGED;
                // A top-level window fills the work area of its monitor (read without the
                // window lock: it may ask the display).
                if (on_screen) maximized_rect = w32::screen::current().at(normal, true)->work;
                target = maximized_rect;
                set_style = WS_MAXIMIZE;
                clear_style = WS_MINIMIZE;
            }
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT:
        case SW_SHOWNOACTIVATE:
            if (cmd_show == SW_SHOWNOACTIVATE) flags |= SWP_NOZORDER | SWP_NOACTIVATE;
            if (minimized || maximized) {
                flags = (flags & ~(SWP_NOSIZE | SWP_NOMOVE)) | SWP_FRAMECHANGED;
                target = normal;
                clear_style = WS_MINIMIZE | WS_MAXIMIZE;
            }
            break;
        case SW_SHOW:
            break;
        case SW_SHOWNA:
            flags |= SWP_NOZORDER | SWP_NOACTIVATE;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    if (!top_level) flags |= SWP_NOZORDER | SWP_NOACTIVATE;
    if (show) flags |= SWP_SHOWWINDOW;
    if (show != was_visible) SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (set_style || clear_style) {
        std::lock_guard lock(user_mutex());
        if (!(w->style & (WS_MINIMIZE | WS_MAXIMIZE))) w->normal = w->rect;
        w->style = (w->style & ~clear_style) | set_style;
    }
    SetWindowPos(hwnd, HWND_TOP, target.left, target.top, width_of(target), height_of(target),
                 flags);
    if (show) send_size_if_needed(hwnd);
    // Minimising hands the activation to the next window.
    if (set_style & WS_MINIMIZE && cmd_show != SW_SHOWMINIMIZED) after_hidden(hwnd);
    return was_visible ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    if (!w || w->kind == WindowKind::Remote || w->kind == WindowKind::MessageRoot) return FALSE;
    while (w && w->kind == WindowKind::Normal) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        w = find_window_locked(w->parent);
    }
    return w && w->kind == WindowKind::Desktop ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd) {
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND hwnd) {
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    return w && (w->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    if (!rect) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    auto w = get_window(hwnd, true);
    if (!w) return FALSE;
    std::lock_guard lock(user_mutex());
    *rect = w->rect;
    auto parent = find_window_locked(w->parent);
    if (parent && parent->kind == WindowKind::Normal) {
        POINT origin = client_origin_locked(*parent);
        rect->left += origin.x;
        rect->right += origin.x;
        rect->top += origin.y;
        rect->bottom += origin.y;
    }
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    if (!rect) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    auto w = get_window(hwnd, true);
    if (!w) return FALSE;
    std::lock_guard lock(user_mutex());
    *rect = RECT{0, 0, width_of(w->client), height_of(w->client)};
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
    auto w = get_window(hwnd, true);
    if (!w || !point) return FALSE;
    std::lock_guard lock(user_mutex());
    POINT origin = client_origin_locked(*w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
    auto w = get_window(hwnd, true);
    if (!w || !point) return FALSE;
    std::lock_guard lock(user_mutex());
    POINT origin = client_origin_locked(*w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD ex_style) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECT inset = frame_insets(style, ex_style, menu != FALSE);
    rect->left -= inset.left;
    rect->top -= inset.top;
    rect->right += inset.right;
    rect->bottom += inset.bottom;
    return TRUE;
}

HWND WINAPI GetLastActivePopup(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    std::lock_guard lock(user_mutex());
    auto popup = find_window_locked(w->last_active_popup);
    if (popup && popup->kind == WindowKind::Normal && popup->owner == hwnd &&
        (popup->style & WS_VISIBLE) && !(popup->style & WS_DISABLED))
        return popup->hwnd;
    return hwnd;
}
