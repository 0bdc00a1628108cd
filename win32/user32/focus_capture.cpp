// The keyboard focus and the mouse capture of a thread: each names one window of the
// calling thread, and a window that has gone no longer holds either. The windows are
// told with WM_KILLFOCUS/WM_SETFOCUS and WM_CAPTURECHANGED. Activation that follows
// the focus, and the input that the capture routes, belong to the input source.
#include <windows.h>

#include "window.h"

namespace {

thread_local HWND t_focus = nullptr;
thread_local HWND t_capture = nullptr;

// hwnd when it still names a window of this thread.
HWND live_own(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto w = w32::user::find_window(hwnd);
    return w && w->tid == GetCurrentThreadId() && !w->destroying ? hwnd : nullptr;
}

bool acceptable(HWND hwnd) {
    auto w = w32::user::get_window(hwnd);
    if (!w) return false;
    if (w->tid != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

}  // namespace

HWND WINAPI GetFocus(void) { return t_focus = live_own(t_focus); }

HWND WINAPI SetFocus(HWND hwnd) {
    HWND old = GetFocus();
    if (hwnd && !acceptable(hwnd)) return nullptr;
    if (hwnd == old) return old;
    t_focus = hwnd;
    if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && GetFocus() == hwnd) {
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND WINAPI GetCapture(void) { return t_capture = live_own(t_capture); }

HWND WINAPI SetCapture(HWND hwnd) {
    HWND old = GetCapture();
    if (!acceptable(hwnd)) return old;
    t_capture = hwnd;
    if (old && old != hwnd) {
        SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    }
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    HWND old = GetCapture();
    t_capture = nullptr;
    if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}
