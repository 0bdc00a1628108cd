// Window data (the GWL indexes and extra bytes), text, and family queries.
#include "message_queue.h"
#include "remote_windows.h"
#include "window.h"

#include <w32/screen.h>

#include <algorithm>
#include "window_class.h"

#include <cstring>

namespace w32::user {

namespace {

bool extra_range(const Window& w, int index, size_t size) {
    if (index < 0 || static_cast<size_t>(index) + size > w.extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return false;
    }
    return true;
}

LONG_PTR read_extra(const Window& w, int index, size_t size) {
    if (size == sizeof(LONG)) {
        LONG v;
        std::memcpy(&v, w.extra.data() + index, sizeof(v));
        return v;
    }
    LONG_PTR v;
    std::memcpy(&v, w.extra.data() + index, sizeof(v));
    return v;
}

void write_extra(Window& w, int index, size_t size, LONG_PTR value) {
    if (size == sizeof(LONG)) {
        auto v = static_cast<LONG>(value);
        std::memcpy(w.extra.data() + index, &v, sizeof(v));
    } else {
        std::memcpy(w.extra.data() + index, &value, sizeof(value));
    }
}

bool readable_as_long(int index) {
    // A 32-bit read cannot carry a pointer, so Windows refuses those indexes.
    return index >= 0 || index == GWL_STYLE || index == GWL_EXSTYLE || index == GWL_ID ||
           index == GWL_USERDATA;
}

LONG_PTR get_long(HWND hwnd, int index, size_t size) {
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    if (!w || w->kind == WindowKind::Remote) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (index >= 0) return extra_range(*w, index, size) ? read_extra(*w, index, size) : 0;
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->ex_style);
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT: {
            HWND h = (w->style & WS_CHILD) ? w->parent : w->owner;
            return reinterpret_cast<LONG_PTR>(h);
        }
        case GWLP_ID:
            return w->id;
        case GWLP_USERDATA:
            return w->user_data;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

// Style changes go through WM_STYLECHANGING, which may amend them, and WM_STYLECHANGED.
LONG_PTR set_style(HWND hwnd, int index, DWORD value) {
    STYLESTRUCT ss{};
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return 0;
        ss.styleOld = index == GWL_STYLE ? w->style : w->ex_style;
    }
    ss.styleNew = value;
    SendMessageW(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return 0;
        (index == GWL_STYLE ? w->style : w->ex_style) = ss.styleNew;
    }
    SendMessageW(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    return static_cast<LONG>(ss.styleOld);
}

LONG_PTR set_long(HWND hwnd, int index, LONG_PTR value, size_t size) {
    auto w = get_window(hwnd, true);
    if (!w) return 0;
    if (w->kind != WindowKind::Normal) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (index == GWL_STYLE || index == GWL_EXSTYLE) {
        return set_style(hwnd, index, static_cast<DWORD>(value));
    }
    std::lock_guard lock(user_mutex());
    if (find_window_locked(hwnd) != w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    if (index >= 0) {
        if (!extra_range(*w, index, size)) return 0;
        old = read_extra(*w, index, size);
        write_extra(*w, index, size, value);
        return old;
    }
    switch (index) {
        case GWLP_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            old = reinterpret_cast<LONG_PTR>(w->owner);
            if (!(w->style & WS_CHILD)) w->owner = reinterpret_cast<HWND>(value);
            return old;
        case GWLP_ID:
            old = w->id;
            w->id = value;
            return old;
        case GWLP_USERDATA:
            old = w->user_data;
            w->user_data = value;
            return old;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

}  // namespace

}  // namespace w32::user

using namespace w32::user;

BOOL WINAPI IsWindow(HWND hwnd) {
    auto w = find_window(hwnd);
    if (!w) return FALSE;
    if (w->kind == WindowKind::Remote) return remote::listed(w->pid, w->remote_hwnd) ? TRUE : FALSE;
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) {
    return get_long(hwnd, index, sizeof(LONG_PTR));
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    return set_long(hwnd, index, value, sizeof(LONG_PTR));
}

LONG WINAPI GetWindowLongW(HWND hwnd, int index) {
    if (!readable_as_long(index)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(get_long(hwnd, index, sizeof(LONG)));
}

LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value) {
    if (!readable_as_long(index)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return static_cast<LONG>(set_long(hwnd, index, value, sizeof(LONG)));
}

BOOL WINAPI SetWindowTextW(HWND hwnd, LPCWSTR text) {
    auto w = get_window(hwnd, true);
    if (!w) return FALSE;
    if (w->kind != WindowKind::Normal) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextW(HWND hwnd, LPWSTR text, int max_count) {
    if (!text || max_count <= 0) return 0;
    text[0] = L'\0';
    auto w = get_window(hwnd, true);
    if (!w) return 0;
    if (w->kind == WindowKind::Normal && w->tid == GetCurrentThreadId()) {
        return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(max_count),
                                             reinterpret_cast<LPARAM>(text)));
    }
    // Another thread's window is read directly rather than waiting on its thread.
    std::wstring copy;
    {
        std::lock_guard lock(user_mutex());
        copy = w->text;
    }
    size_t n = std::min(copy.size(), static_cast<size_t>(max_count - 1));
    copy.copy(text, n);
    text[n] = L'\0';
    return static_cast<int>(n);
}

int WINAPI GetWindowTextLengthW(HWND hwnd) {
    auto w = get_window(hwnd, true);
    if (!w) return 0;
    if (w->kind == WindowKind::Normal && w->tid == GetCurrentThreadId()) {
        return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    }
    std::lock_guard lock(user_mutex());
    return static_cast<int>(w->text.size());
}

HWND WINAPI GetParent(HWND hwnd) {
    auto w = get_window(hwnd, true);
    if (!w) return nullptr;
    std::lock_guard lock(user_mutex());
    if (w->kind != WindowKind::Normal) return nullptr;
    if (w->style & WS_CHILD) {
        auto p = find_window_locked(w->parent);
        return p && p->kind == WindowKind::Normal ? p->hwnd : nullptr;
    }
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetDesktopWindow(void) {
    // Its rectangle is the screen's: the display is asked first (it may not be open yet).
    w32::screen::current();
    std::lock_guard lock(user_mutex());
    return desktop_locked()->hwnd;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
    auto w = get_window(hwnd, true);
    if (!w) return nullptr;
    std::lock_guard lock(user_mutex());
    if (cmd == GW_OWNER) return w->owner;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    auto parent = find_window_locked(w->parent);
    if (!parent) return nullptr;
    const auto& list = parent->children;
    auto it = std::find(list.begin(), list.end(), hwnd);
    switch (cmd) {
        case GW_HWNDFIRST:
            return list.empty() ? nullptr : list.front();
        case GW_HWNDLAST:
            return list.empty() ? nullptr : list.back();
        case GW_HWNDNEXT:
            return it == list.end() || it + 1 == list.end() ? nullptr : *(it + 1);
        case GW_HWNDPREV:
            return it == list.end() || it == list.begin() ? nullptr : *(it - 1);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

HWND WINAPI GetTopWindow(HWND hwnd) {
    if (!hwnd) hwnd = GetDesktopWindow();
    return GetWindow(hwnd, GW_CHILD);
}

DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD process_id) {
    auto w = get_window(hwnd, true);
    if (!w) return 0;
    std::lock_guard lock(user_mutex());  // a proxy's thread is refreshed by FindWindowW
    if (process_id) *process_id = w->pid;
    return w->tid;
}
