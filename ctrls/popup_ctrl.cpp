#include "ctrls/popup_ctrl.h"

namespace ctrls {

PopupCtrl::~PopupCtrl() { DestroyPopup(); }

HWND PopupCtrl::CreatePopup(HWND owner) {
    if (HWND hwnd = GetHWND()) return hwnd;
    const DWORD style = WS_POPUP, ex_style = 0;
    RECT r = *GetRect().AsRECT();
    AdjustWindowRectEx(&r, style, FALSE, ex_style);
    HINSTANCE instance = GetInstance();
    if (!instance) instance = GetModuleHandleW(nullptr);
    HWND hwnd =
        CreateWindowExW(ex_style, Gui::IsWinNT() ? L"GTK2-W" : L"GTK2-A", L"", style, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, owner, nullptr, instance, nullptr);
    if (!hwnd) return nullptr;
    SetOpen(true);
    SetTopWindow(hwnd);
    ShowWindow(hwnd, SW_HIDE);
    CancelMode();
    return hwnd;
}

void PopupCtrl::DestroyPopup() {
    // WM_NCDESTROY takes the window out of the map and closes the control.
    if (HWND hwnd = GetHWND()) DestroyWindow(hwnd);
}

}  // namespace ctrls
