// EnableWindow and IsWindowEnabled: the WS_DISABLED bit, which the input code and the
// controls read, and WM_ENABLE to the window when it changes.
#include "window.h"

using namespace w32::user;

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    bool was_disabled;
    {
        std::lock_guard lock(user_mutex());
        was_disabled = (w->style & WS_DISABLED) != 0;
    }
    if (was_disabled == !enable) return was_disabled;
    // A window about to be disabled gives up whatever mode (a press, a drag) it is in.
    if (!enable) SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
    {
        std::lock_guard lock(user_mutex());
        if (find_window_locked(hwnd) != w) return was_disabled;
        if (enable)
            w->style &= ~static_cast<DWORD>(WS_DISABLED);
        else
            w->style |= WS_DISABLED;
    }
    SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return was_disabled;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    auto w = get_window(hwnd);
    if (!w) return FALSE;
    std::lock_guard lock(user_mutex());
    return (w->style & WS_DISABLED) ? FALSE : TRUE;
}
