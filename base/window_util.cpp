#include "base/window_util.h"

#include <vector>

namespace base {

std::wstring GetWindowTextString(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length < 1) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    if (GetWindowTextW(window, buffer.data(), length + 1) != length) return {};
    return std::wstring(buffer.data(), static_cast<size_t>(length));
}

void ActivateWindow(HWND window) {
    if (!window) return;
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
    if (IsIconic(window)) SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    if (HWND popup = GetLastActivePopup(window)) SetForegroundWindow(popup);
    // Through the topmost band and out again: on top of every ordinary window,
    // without staying above the others for good.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

}  // namespace base
