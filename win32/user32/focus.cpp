// Activation, keyboard focus and mouse capture, with their messages in Windows'
// order: the window losing activation hears WM_NCACTIVATE and WM_ACTIVATE first, a
// change of thread brings WM_ACTIVATEAPP, then the window gaining it hears
// WM_NCACTIVATE and WM_ACTIVATE, whose default handling gives it the focus
// (WM_KILLFOCUS to the old focus, then WM_SETFOCUS).
#include "message_queue.h"
#include "window.h"

#include <w32/presenter.h>

namespace w32::user {

namespace {

// The calling thread's windows hear it at once; another thread's get it queued
// without waiting, so a busy thread never stalls the one moving the focus.
void notify(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto w = find_window(hwnd);
    if (!w || w->kind != WindowKind::Normal) return;
    if (w->tid == GetCurrentThreadId())
        call_window_proc(hwnd, msg, wparam, lparam);
    else
        SendNotifyMessageW(hwnd, msg, wparam, lparam);
}

DWORD thread_of(HWND hwnd) {
    std::lock_guard lock(user_mutex());
    auto w = find_window_locked(hwnd);
    return w ? w->tid : 0;
}

void tell_thread(DWORD tid, BOOL active, DWORD other_tid) {
    std::vector<HWND> tops;
    {
        std::lock_guard lock(user_mutex());
        for (HWND h : desktop_locked()->children) {
            auto w = find_window_locked(h);
            if (w && w->tid == tid && !w->destroying) tops.push_back(h);
        }
    }
    for (HWND h : tops) notify(h, WM_ACTIVATEAPP, active, static_cast<LPARAM>(other_tid));
}

bool activatable_locked(const Window& w) {
    return w.kind == WindowKind::Normal && is_top_level_locked(w) && !w.destroying &&
           (w.style & WS_VISIBLE) && !(w.style & (WS_DISABLED | WS_MINIMIZE)) &&
           !(w.ex_style & WS_EX_NOACTIVATE);
}

// What takes over from a window that goes away: its owner, else the frontmost
// window that can be active.
HWND successor_locked(const Window& leaving) {
    auto owner = find_window_locked(leaving.owner);
    if (owner && activatable_locked(*owner)) return owner->hwnd;
    for (HWND h : desktop_locked()->children) {
        auto w = find_window_locked(h);
        if (w && h != leaving.hwnd && activatable_locked(*w)) return h;
    }
    return nullptr;
}

}  // namespace

HWND modal_popup_locked(HWND top) {
    auto w = find_window_locked(top);
    for (int depth = 0; w && (w->style & WS_DISABLED) && depth < 64; ++depth) {
        auto popup = find_window_locked(w->last_active_popup);
        if (!popup || popup == w || popup->owner != w->hwnd || popup->destroying ||
            !(popup->style & WS_VISIBLE))
            break;
        w = popup;
    }
    return w ? w->hwnd : top;
}

namespace {

// Moves the focus to hwnd (null: nowhere) with WM_KILLFOCUS and WM_SETFOCUS.
void move_focus(HWND hwnd) {
    HWND old;
    {
        std::lock_guard lock(user_mutex());
        old = focus_locked();
        if (old == hwnd) return;
    }
    if (old) notify(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    {
        std::lock_guard lock(user_mutex());
        focus_locked() = find_window_locked(hwnd) ? hwnd : nullptr;
    }
    if (hwnd) notify(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
}

HWND own_thread_only(HWND hwnd) {
    auto w = find_window_locked(hwnd);
    return w && w->tid == GetCurrentThreadId() ? hwnd : nullptr;
}

}  // namespace

HWND set_active_window(HWND top, WORD how) {
    HWND old;
    {
        std::lock_guard lock(user_mutex());
        old = foreground_locked();
        if (!find_window_locked(old)) old = nullptr;
        top = modal_popup_locked(top);
        auto w = find_window_locked(top);
        if (top && (!w || !is_top_level_locked(*w) || w->destroying)) return old;
        if (top == old) return old;
    }
    const DWORD old_tid = thread_of(old), new_tid = thread_of(top);
    if (old) {
        notify(old, WM_NCACTIVATE, FALSE, 0);
        notify(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0),
               reinterpret_cast<LPARAM>(top));
    }
    if (old_tid && old_tid != new_tid) tell_thread(old_tid, FALSE, new_tid);
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(top);
        foreground_locked() = w ? top : nullptr;
        if (w) {
            place_in_zorder_locked(*w, HWND_TOP);
            if (auto owner = find_window_locked(w->owner)) owner->last_active_popup = top;
        }
    }
    w32::present::window_changed(top ? top : old);
    if (new_tid && old_tid != new_tid) tell_thread(new_tid, TRUE, old_tid);
    if (top) {
        notify(top, WM_NCACTIVATE, TRUE, 0);
        notify(top, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(top) ? 1 : 0),
               reinterpret_cast<LPARAM>(old));
    }
    // A focus left behind in the window that lost the activation goes with it.
    HWND stale = nullptr;
    {
        std::lock_guard lock(user_mutex());
        HWND f = focus_locked();
        if (f && (!top || (f != top && !is_descendant_locked(f, top)))) stale = f;
    }
    if (stale) move_focus(nullptr);
    return old;
}

void after_hidden(HWND hwnd) {
    HWND next = nullptr, parent = nullptr;
    bool reactivate = false;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (!w) return;
        if (is_top_level_locked(*w)) {
            reactivate = foreground_locked() == hwnd;
            if (reactivate) next = successor_locked(*w);
        } else {
            HWND f = focus_locked();
            if (f && (f == hwnd || is_descendant_locked(f, hwnd))) parent = w->parent;
        }
    }
    if (reactivate) set_active_window(next, WA_ACTIVE);
    if (parent) move_focus(parent);
}

void before_destroy(HWND hwnd) {
    bool holds;
    {
        std::lock_guard lock(user_mutex());
        HWND c = capture_locked();
        holds = c && (c == hwnd || is_descendant_locked(c, hwnd));
    }
    if (holds) ReleaseCapture();
}

}  // namespace w32::user

using namespace w32::user;

HWND WINAPI SetActiveWindow(HWND hwnd) {
    HWND previous;
    {
        std::lock_guard lock(user_mutex());
        previous = own_thread_only(foreground_locked());
    }
    if (!hwnd) {
        set_active_window(nullptr, WA_ACTIVE);
        return previous;
    }
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    HWND top;
    {
        std::lock_guard lock(user_mutex());
        auto t = top_level_of_locked(w);
        if (!t || !is_top_level_locked(*t) || t->tid != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        top = t->hwnd;
    }
    set_active_window(top, WA_ACTIVE);
    return previous;
}

HWND WINAPI GetActiveWindow(void) {
    std::lock_guard lock(user_mutex());
    return own_thread_only(foreground_locked());
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    HWND top;
    {
        std::lock_guard lock(user_mutex());
        auto t = top_level_of_locked(w);
        if (!t || !is_top_level_locked(*t)) return FALSE;
        top = t->hwnd;
    }
    set_active_window(top, WA_ACTIVE);
    {
        // Asked again, it still comes to the front.
        std::lock_guard lock(user_mutex());
        if (auto t = find_window_locked(top)) place_in_zorder_locked(*t, HWND_TOP);
    }
    w32::present::window_changed(top);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    std::lock_guard lock(user_mutex());
    HWND h = foreground_locked();
    return find_window_locked(h) ? h : nullptr;
}

HWND WINAPI SetFocus(HWND hwnd) {
    HWND previous;
    {
        std::lock_guard lock(user_mutex());
        previous = own_thread_only(focus_locked());
    }
    if (!hwnd) {
        move_focus(nullptr);
        return previous;
    }
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    HWND top = nullptr;
    {
        std::lock_guard lock(user_mutex());
        if (w->tid != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        auto t = top_level_of_locked(w);
        if (t && is_top_level_locked(*t) && foreground_locked() != t->hwnd) top = t->hwnd;
    }
    // The focus lives in the active window: its top-level window is activated first.
    if (top) set_active_window(top, WA_ACTIVE);
    if (IsWindow(hwnd)) move_focus(hwnd);
    return previous;
}

HWND WINAPI GetFocus(void) {
    std::lock_guard lock(user_mutex());
    return own_thread_only(focus_locked());
}

HWND WINAPI SetCapture(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return nullptr;
    HWND old;
    {
        std::lock_guard lock(user_mutex());
        old = capture_locked();
        capture_locked() = hwnd;
    }
    if (old && old != hwnd) notify(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    std::lock_guard lock(user_mutex());
    return own_thread_only(old);
}

BOOL WINAPI ReleaseCapture(void) {
    HWND old;
    {
        std::lock_guard lock(user_mutex());
        old = capture_locked();
        capture_locked() = nullptr;
    }
    if (old) notify(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    std::lock_guard lock(user_mutex());
    return own_thread_only(capture_locked());
}
