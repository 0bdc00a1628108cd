#include "ctrls/tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <atomic>

#include "gui/cursor_image.h"

namespace ctrls {
namespace {

constexpr UINT kTimeout = 30;
constexpr UINT kAllFields = NIF_MESSAGE | NIF_ICON | NIF_TIP;

std::atomic<UINT> g_next_id{1};

}  // namespace

TrayIcon::TrayIcon() : id_(g_next_id++) {
    CreatePopup();
    Notify(NIM_ADD, kAllFields);
}

TrayIcon::~TrayIcon() {
    if (added_) Notify(NIM_DELETE, 0);
    if (icon_) DestroyIcon(icon_);
}

bool TrayIcon::Notify(DWORD message, UINT flags) {
    HWND hwnd = GetHWND();
    if (!hwnd) return false;
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = hwnd;
    data.uID = id_;
    data.uFlags = flags;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_;
    const size_t n = std::min(tip_.size(), sizeof data.szTip / sizeof data.szTip[0] - 1);
    tip_.copy(data.szTip, n);
    data.uTimeout = kTimeout;
    const bool ok = Shell_NotifyIconW(message, &data) != FALSE;
    if (message == NIM_ADD && ok) added_ = true;
    if (message == NIM_DELETE) added_ = false;
    return ok;
}

// A hidden icon takes the change when it is added again; a visible one that the
// notification area refused before is offered again whole.
void TrayIcon::Update(UINT flags) {
    if (added_) {
        Notify(NIM_MODIFY, flags);
    } else if (IsShown()) {
        Notify(NIM_ADD, kAllFields);
    }
}

TrayIcon& TrayIcon::SetIcon(const Gui::Image& image) {
    HICON old = icon_;
    icon_ = Gui::ImageToCursor(image);
    Update(NIF_ICON);
    if (old) DestroyIcon(old);
    return *this;
}

TrayIcon& TrayIcon::SetTooltip(const std::wstring& tip) {
    tip_ = tip;
    Update(NIF_TIP);
    return *this;
}

void TrayIcon::Show(bool show) {
    if (show == IsShown()) return;
    if (added_) Notify(NIM_DELETE, 0);
    PopupCtrl::Show(show);
    if (show) Notify(NIM_ADD, kAllFields);
}

LRESULT TrayIcon::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kCallbackMessage || static_cast<UINT>(wparam) != id_) return 0;
    // Copies: a callback may destroy the icon.
    Gui::Callback run;
    switch (LOWORD(lparam)) {
        case WM_LBUTTONUP:
            run = WhenLeftClick;
            break;
        case WM_RBUTTONUP:
            run = WhenRightClick;
            break;
    }
    run();
    return 0;
}

}  // namespace ctrls
