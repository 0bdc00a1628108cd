// DefWindowProcW: what a window does with a message its procedure leaves alone.
#include "window.h"

#include <w32/presenter.h>

#include <algorithm>
#include "window_class.h"

namespace w32::user {

namespace {

LRESULT hit_test(HWND hwnd, LPARAM lparam) {
    POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    RECT window;
    if (!GetWindowRect(hwnd, &window)) return HTNOWHERE;
    POINT client_origin{0, 0};
    ClientToScreen(hwnd, &client_origin);
    RECT client;
    GetClientRect(hwnd, &client);
    auto inside = [&p](const RECT& r) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    };
    if (!inside(window)) return HTNOWHERE;
    RECT screen_client{client_origin.x, client_origin.y, client_origin.x + client.right,
                       client_origin.y + client.bottom};
    if (inside(screen_client)) return HTCLIENT;
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if ((style & WS_CAPTION) == WS_CAPTION && p.y < screen_client.top &&
        p.x >= screen_client.left && p.x < screen_client.right)
        return HTCAPTION;
    return HTBORDER;
}

void client_from_window(HWND hwnd, RECT* r) {
    DWORD style, ex_style;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return;
        style = w->style;
        ex_style = w->ex_style;
    }
    if (style & WS_MINIMIZE) {
        r->right = r->left;
        r->bottom = r->top;
        return;
    }
    RECT inset = frame_insets(style, ex_style, false);
    r->left += inset.left;
    r->top += inset.top;
    r->right = std::max(r->left, r->right - inset.right);
    r->bottom = std::max(r->top, r->bottom - inset.bottom);
}

bool set_text(HWND hwnd, LPCWSTR text) {
    bool top_level;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return false;
        w->text = text && !IS_INTRESOURCE(text) ? text : L"";
        top_level = is_top_level_locked(*w) && !w->destroying;
    }
    if (top_level) publish_windows();
    return true;
}

}  // namespace

}  // namespace w32::user

using namespace w32::user;

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_NCCREATE: {
            auto cs = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            if (cs && cs->lpszName) set_text(hwnd, cs->lpszName);
            return TRUE;
        }
        case WM_NCCALCSIZE: {
            RECT* r = wparam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lparam)->rgrc[0]
                             : reinterpret_cast<RECT*>(lparam);
            if (r) client_from_window(hwnd, r);
            return 0;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_SYSCOMMAND:
            switch (wparam & 0xFFF0) {
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_MAXIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    break;
                case SC_CLOSE:
                    SendMessageW(hwnd, WM_CLOSE, 0, 0);
                    break;
            }
            return 0;
        case WM_NCHITTEST:
            return hit_test(hwnd, lparam);
        case WM_SETCURSOR: {
            // A child's parent may choose first.
            if (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) {
                HWND parent = GetParent(hwnd);
                if (parent && SendMessageW(parent, WM_SETCURSOR, wparam, lparam)) return TRUE;
            }
            if (LOWORD(lparam) != HTCLIENT) return FALSE;
            HCURSOR cursor = nullptr;
            {
                std::lock_guard lock(user_mutex());
                auto w = find_window_locked(hwnd);
                if (w && w->cls) cursor = w->cls->cursor;
            }
            if (!cursor) return FALSE;
            SetCursor(cursor);
            return TRUE;
        }
        case WM_SETTEXT:
            return set_text(hwnd, reinterpret_cast<LPCWSTR>(lparam)) ? TRUE : FALSE;
        case WM_SETICON:
        case WM_GETICON: {
            HICON previous = nullptr;
            {
                std::lock_guard lock(user_mutex());
                auto w = find_window_locked(hwnd);
                if (!w) return 0;
                HICON& slot = wparam == ICON_BIG ? w->icon_big : w->icon_small;
                previous = slot;
                if (msg == WM_SETICON) slot = reinterpret_cast<HICON>(lparam);
            }
            // The desktop shows a top-level window by its icon.
            if (msg == WM_SETICON) w32::present::window_changed(hwnd);
            return reinterpret_cast<LRESULT>(previous);
        }
        case WM_GETTEXT: {
            auto buffer = reinterpret_cast<LPWSTR>(lparam);
            if (!buffer || wparam == 0) return 0;
            std::lock_guard lock(user_mutex());
            auto w = find_window_locked(hwnd);
            if (!w) return 0;
            size_t n = std::min(w->text.size(), static_cast<size_t>(wparam - 1));
            w->text.copy(buffer, n);
            buffer[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH: {
            std::lock_guard lock(user_mutex());
            auto w = find_window_locked(hwnd);
            return w ? static_cast<LRESULT>(w->text.size()) : 0;
        }
        case WM_WINDOWPOSCHANGED: {
            auto wp = reinterpret_cast<const WINDOWPOS*>(lparam);
            if (!wp) return 0;
            RECT client;
            DWORD style;
            {
                std::lock_guard lock(user_mutex());
                auto w = find_window_locked(hwnd);
                if (!w) return 0;
                client = w->client;
                style = w->style;
            }
            if (!(wp->flags & kSwpNoClientMove)) {
                SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(client.left, client.top));
            }
            if (!(wp->flags & kSwpNoClientSize)) {
                WPARAM type = (style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                              : (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                      : SIZE_RESTORED;
                SendMessageW(hwnd, WM_SIZE, type,
                             MAKELPARAM(client.right - client.left, client.bottom - client.top));
            }
            return 0;
        }
        case WM_NCACTIVATE:
            return TRUE;
        case WM_ACTIVATE:
            // An activated window that is not minimised takes the focus.
            if (LOWORD(wparam) != WA_INACTIVE && !HIWORD(wparam)) SetFocus(hwnd);
            return 0;
        case WM_MOUSEACTIVATE:
        case WM_MOUSEWHEEL: {
            // A child's parent answers first (and a wheel nobody takes climbs up).
            if (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) {
                HWND parent = GetParent(hwnd);
                LRESULT r = parent ? SendMessageW(parent, msg, wparam, lparam) : 0;
                if (r || msg == WM_MOUSEWHEEL) return r;
            }
            return msg == WM_MOUSEACTIVATE ? MA_ACTIVATE : 0;
        }
        case WM_CANCELMODE:
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            // The class brush, if any, fills what the DC may paint.
            HBRUSH brush = nullptr;
            {
                std::lock_guard lock(user_mutex());
                auto w = find_window_locked(hwnd);
                if (w && w->cls) brush = w->cls->background;
            }
            RECT box;
            auto hdc = reinterpret_cast<HDC>(wparam);
            if (!brush || GetClipBox(hdc, &box) == ERROR) return 0;
            return FillRect(hdc, &box, brush) ? 1 : 0;
        }
    }
    return 0;
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    return proc ? proc(hwnd, msg, wparam, lparam) : 0;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR previous;
    {
        std::lock_guard lock(user_mutex());
        previous = cursor_locked();
        cursor_locked() = cursor;
    }
    if (previous != cursor) w32::present::windows_changed();
    return previous;
}

HCURSOR WINAPI GetCursor(void) {
    std::lock_guard lock(user_mutex());
    return cursor_locked();
}
