// Creating and destroying windows, with the messages Windows sends on the way.
#include "message_queue.h"
#include "window.h"
#include "window_class.h"

#include <w32/presenter.h>

#include <algorithm>

namespace w32::user {

namespace {

// Where CW_USEDEFAULT puts an overlapped window, and how large it makes it.
constexpr POINT kDefaultPos{26, 26};

WindowPtr resolve_parent(HWND parent, DWORD style, HWND* owner) {
    *owner = nullptr;
    std::lock_guard lock(user_mutex());
    if (parent == HWND_MESSAGE) return message_root_locked();
    if (style & WS_CHILD) {
        if (!parent) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        auto p = find_window_locked(parent);
        if (!p || p->kind == WindowKind::Remote || p->kind == WindowKind::MessageRoot) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        return p;
    }
    if (parent) {
        // The owner of a top-level window is always a top-level window.
        auto o = find_window_locked(parent);
        if (!o || o->kind != WindowKind::Normal) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        while (o && !is_top_level_locked(*o) && o->kind == WindowKind::Normal &&
               (o->style & WS_CHILD))
            o = find_window_locked(o->parent);
        if (o && o->kind == WindowKind::Normal) *owner = o->hwnd;
    }
    return desktop_locked();
}

void free_window(HWND hwnd);

// The limits a resizable or overlapped window is given before anything else
// (WM_GETMINMAXINFO); the window may narrow them, and the size is kept within.
void apply_min_max(HWND hwnd, DWORD style, DWORD ex_style, int* width, int* height) {
    const RECT inset = frame_insets(style, ex_style, false);
    const RECT screen = screen_rect();
    MINMAXINFO mmi{};
    mmi.ptMaxSize = POINT{screen.right - screen.left + inset.left + inset.right,
                          screen.bottom - screen.top + inset.left + inset.right};
    mmi.ptMaxPosition = POINT{-inset.left, -inset.left};
    mmi.ptMaxTrackSize = mmi.ptMaxSize;
    call_window_proc(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    *width = std::min<int>(*width, mmi.ptMaxTrackSize.x);
    *height = std::min<int>(*height, mmi.ptMaxTrackSize.y);
    *width = std::max<int>(*width, mmi.ptMinTrackSize.x);
    *height = std::max<int>(*height, mmi.ptMinTrackSize.y);
}

// WM_DESTROY goes to the window, then to its children.
void send_destroy(HWND hwnd) {
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard lock(user_mutex());
        if (auto w = find_window_locked(hwnd)) children = w->children;
    }
    for (HWND child : children) {
        {
            std::lock_guard lock(user_mutex());
            auto c = find_window_locked(child);
            if (!c || c->destroying) continue;
            c->destroying = true;
        }
        send_destroy(child);
    }
}

// Children are freed first; WM_NCDESTROY is a window's last message.
void free_window(HWND hwnd) {
    std::vector<HWND> children;
    {
        std::lock_guard lock(user_mutex());
        if (auto w = find_window_locked(hwnd)) children = w->children;
    }
    for (HWND child : children) free_window(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    QueuePtr queue;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return;
        unlink_from_parent_locked(*w);
        for (HWND child : w->children) {
            if (auto c = find_window_locked(child)) c->parent = nullptr;
        }
        --w->cls->windows;
        queue = w->queue;
        remove_window_locked(hwnd);
    }
    if (queue) queue->forget_window(hwnd);
}

}  // namespace

void send_parent_notify(HWND child, WORD event, POINT point) {
    const bool mouse = event != WM_CREATE && event != WM_DESTROY;
    WPARAM wparam = event;
    HWND target = nullptr;
    {
        std::lock_guard lock(user_mutex());
        auto c = find_window_locked(child);
        if (!c) return;
        if (!mouse) wparam = MAKEWPARAM(event, static_cast<WORD>(c->id));
    }
    HWND from = child;
    for (;;) {
        POINT at{};
        {
            std::lock_guard lock(user_mutex());
            auto c = find_window_locked(from);
            if (!c || !(c->style & WS_CHILD) || (c->ex_style & WS_EX_NOPARENTNOTIFY)) return;
            auto parent = find_window_locked(c->parent);
            if (!parent || parent->kind != WindowKind::Normal) return;
            target = parent->hwnd;
            const POINT origin = client_origin_locked(*parent);
            at = POINT{point.x - origin.x, point.y - origin.y};
        }
        const LPARAM lparam = mouse ? MAKELPARAM(at.x, at.y) : reinterpret_cast<LPARAM>(child);
        SendMessageW(target, WM_PARENTNOTIFY, wparam, lparam);
        from = target;
    }
}

}  // namespace w32::user

using namespace w32::user;

HWND WINAPI CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    HWND owner = nullptr;
    auto parent_window = resolve_parent(parent, style, &owner);
    if (!parent_window) return nullptr;
    const bool top_level = parent_window->kind == WindowKind::Desktop;

    auto queue = current_queue();
    auto w = std::make_shared<Window>();
    const DWORD shown = style & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    style &= ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    if (!(style & (WS_CHILD | WS_POPUP))) {
        // Overlapped windows always have a caption.
        style |= WS_CLIPSIBLINGS | WS_CAPTION;
        ex_style |= WS_EX_WINDOWEDGE;
    }
    // Every top-level window clips its siblings.
    if (top_level) style |= WS_CLIPSIBLINGS;
    const bool overlapped = top_level && !(style & WS_POPUP);
    if (x == CW_USEDEFAULT) {
        x = overlapped ? kDefaultPos.x : 0;
        y = overlapped ? kDefaultPos.y : 0;
    }
    if (width == CW_USEDEFAULT) {
        RECT screen = screen_rect();
        width = overlapped ? (screen.right - screen.left) * 3 / 4 : 0;
        height = overlapped ? (screen.bottom - screen.top) * 3 / 4 : 0;
    }
    if (width < 0) width = 0;
    if (height < 0) height = 0;

    w->queue = queue;
    w->tid = GetCurrentThreadId();
    w->pid = GetCurrentProcessId();
    w->owner = owner;
    w->style = style;
    w->ex_style = ex_style;
    w->instance = instance;
    w->id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
    w->rect = RECT{x, y, x + width, y + height};
    w->client = w->rect;
    w->normal = w->rect;
    w->need_size = overlapped;
    HWND hwnd;
    {
        std::lock_guard lock(user_mutex());
        auto cls = find_class_locked(class_name);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        w->cls = cls;
        w->proc = cls->proc;
        w->extra.assign(static_cast<size_t>(cls->wnd_extra), 0);
        w->parent = parent_window->hwnd;
        hwnd = add_window_locked(w);
        if (!hwnd) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        ++cls->windows;
        place_in_zorder_locked(*w, HWND_TOP, false);
    }

    CREATESTRUCTW cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent_window->kind == WindowKind::Normal ? parent_window->hwnd : owner;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = window_name;
    cs.lpszClass = class_name;
    cs.dwExStyle = ex_style;
    auto lparam = reinterpret_cast<LPARAM>(&cs);

    if (overlapped || (top_level && (style & WS_THICKFRAME))) {
        int cx = width, cy = height;
        apply_min_max(hwnd, style, ex_style, &cx, &cy);
        if (cx != width || cy != height) {
            std::lock_guard lock(user_mutex());
            w->rect.right = w->rect.left + cx;
            w->rect.bottom = w->rect.top + cy;
            w->client = w->normal = w->rect;
            cs.cx = cx;
            cs.cy = cy;
        }
    }
    if (!call_window_proc(hwnd, WM_NCCREATE, 0, lparam)) {
        free_window(hwnd);
        return nullptr;
    }
    RECT client = w->rect;
    call_window_proc(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&client));
    {
        std::lock_guard lock(user_mutex());
        if (find_window_locked(hwnd) == w) w->client = client;
    }
    if (call_window_proc(hwnd, WM_CREATE, 0, lparam) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;  // destroyed by its own creation messages

    if (!overlapped) {
        RECT c;
        {
            std::lock_guard lock(user_mutex());
            c = w->client;
        }
        call_window_proc(hwnd, WM_SIZE, SIZE_RESTORED,
                         MAKELPARAM(c.right - c.left, c.bottom - c.top));
        call_window_proc(hwnd, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
    }
    if (top_level) publish_windows();
    if ((style & WS_CHILD) && IsWindow(hwnd)) send_parent_notify(hwnd, WM_CREATE);

    if (shown & WS_VISIBLE) {
        int cmd = SW_SHOW;
        if (shown & WS_MINIMIZE)
            cmd = SW_SHOWMINIMIZED;
        else if (shown & WS_MAXIMIZE)
            cmd = SW_SHOWMAXIMIZED;
        ShowWindow(hwnd, cmd);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    if (w->tid != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    bool top_level;
    std::vector<HWND> owned;
    {
        std::lock_guard lock(user_mutex());
        if (w->destroying) return TRUE;
    }
    // The ancestors hear of it before anything is taken down.
    if (w->style & WS_CHILD) send_parent_notify(hwnd, WM_DESTROY);
    {
        std::lock_guard lock(user_mutex());
        if (w->destroying) return TRUE;
        w->destroying = true;
        top_level = is_top_level_locked(*w);
        for (HWND h : desktop_locked()->children) {
            auto o = find_window_locked(h);
            if (o && o->owner == hwnd && o->tid == w->tid) owned.push_back(h);
        }
    }
    for (HWND h : owned) DestroyWindow(h);

    if (IsWindowVisible(hwnd)) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (top_level) publish_windows();  // gone for other processes from here on
    before_destroy(hwnd);
    send_destroy(hwnd);
    free_window(hwnd);
    if (top_level) w32::present::window_changed(hwnd);
    return TRUE;
}
