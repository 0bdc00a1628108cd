// Display monitors: which monitor holds a point, a rectangle or a window, and what a
// monitor covers, from the layer's screen layout.
#include "window.h"

#include <w32/screen.h>

#include <cwchar>

using namespace w32::user;

namespace {

HMONITOR answer(const w32::screen::Layout& layout, const w32::screen::Monitor* m, DWORD flags) {
    if (m) return m->handle;
    return flags & (MONITOR_DEFAULTTOPRIMARY | MONITOR_DEFAULTTONEAREST) ? layout.primary().handle
                                                                         : nullptr;
}

}  // namespace

HMONITOR WINAPI MonitorFromPoint(POINT point, DWORD flags) {
    const w32::screen::Layout layout = w32::screen::current();
    return answer(layout, layout.at(point, flags & MONITOR_DEFAULTTONEAREST), flags);
}

HMONITOR WINAPI MonitorFromRect(LPCRECT rect, DWORD flags) {
    const w32::screen::Layout layout = w32::screen::current();
    return answer(layout, rect ? layout.at(*rect, flags & MONITOR_DEFAULTTONEAREST) : nullptr,
                  flags);
}

// A minimised window counts where it will be restored.
HMONITOR WINAPI MonitorFromWindow(HWND hwnd, DWORD flags) {
    RECT r{};
    bool found = false;
    if (auto w = find_window(hwnd); w && w->kind == WindowKind::Normal) {
        bool minimized;
        {
            std::lock_guard lock(user_mutex());
            minimized = (w->style & WS_MINIMIZE) && is_top_level_locked(*w);
            r = w->normal;
        }
        found = minimized || GetWindowRect(hwnd, &r);
    }
    const w32::screen::Layout layout = w32::screen::current();
    return answer(layout, found ? layout.at(r, flags & MONITOR_DEFAULTTONEAREST) : nullptr, flags);
}

BOOL WINAPI GetMonitorInfoW(HMONITOR monitor, LPMONITORINFO info) {
    const w32::screen::Layout layout = w32::screen::current();
    const w32::screen::Monitor* m = layout.by_handle(monitor);
    if (!m) {
        SetLastError(ERROR_INVALID_MONITOR_HANDLE);
        return FALSE;
    }
    if (!info || (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXW))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->rcMonitor = m->rect;
    info->rcWork = m->work;
    info->dwFlags = m == &layout.primary() ? MONITORINFOF_PRIMARY : 0;
    if (info->cbSize == sizeof(MONITORINFOEXW))
        swprintf(static_cast<MONITORINFOEXW*>(info)->szDevice, CCHDEVICENAME, L"\\\\.\\DISPLAY%d",
                 static_cast<int>(m - layout.monitors.data()) + 1);
    return TRUE;
}
