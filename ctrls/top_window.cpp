#include "ctrls/top_window.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ctrls {
namespace {

// A template coordinate: dialog units are 2 pixels either way here, and the window
// is placed in pixels after it is made, so this is only its first size.
short TemplateUnits(int pixels) {
    return static_cast<short>(std::clamp((pixels + 1) / 2, 0, 0x7FFF));
}

void AppendUtf16(std::vector<WORD>& out, const std::wstring& text) {
    for (wchar_t c : text) {
        const uint32_t u = static_cast<uint32_t>(c);
        if (u > 0xFFFF && u <= 0x10FFFF) {
            out.push_back(static_cast<WORD>(0xD800 + ((u - 0x10000) >> 10)));
            out.push_back(static_cast<WORD>(0xDC00 + ((u - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<WORD>(u));
        }
    }
    out.push_back(0);
}

// A dialog without items, menu or font, of the standard dialog class.
std::vector<WORD> MakeTemplate(DWORD style, DWORD ex_style, Gui::Size size,
                               const std::wstring& title) {
    DLGTEMPLATE head = {};
    head.style = style;
    head.dwExtendedStyle = ex_style;
    head.cx = TemplateUnits(size.cx);
    head.cy = TemplateUnits(size.cy);
    std::vector<WORD> words(sizeof head / sizeof(WORD));
    std::memcpy(words.data(), &head, sizeof head);
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    AppendUtf16(words, title);
    return words;
}

}  // namespace

TopWindow::TopWindow() { root_.SetHost(this); }

TopWindow::~TopWindow() {
    HWND hwnd = hwnd_;
    if (hwnd && IsWindow(hwnd)) {
        // The object is half gone: its window must not reach it any more.
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        DestroyWindow(hwnd);
    }
    hwnd_ = nullptr;
}

DWORD TopWindow::GetStyle() const {
    return WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
}

DWORD TopWindow::GetExStyle() const { return no_activate_ ? WS_EX_NOACTIVATE : 0; }

HWND TopWindow::Create(HWND parent) {
    if (IsOpen()) return hwnd_;
    const Gui::Rect r = root_.GetRect();
    const DWORD style = GetStyle(), ex_style = GetExStyle();
    std::vector<WORD> tmpl = MakeTemplate(style, ex_style, r.GetSize(), title_);
    HINSTANCE instance = Gui::Ctrl::GetInstance();
    if (!instance) instance = GetModuleHandleW(nullptr);
    HWND hwnd =
        CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()), parent,
                                   &TopWindow::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd || hwnd_ != hwnd) return nullptr;
    // Dialog units round; the window goes exactly where the root says, in pixels.
    RECT frame = *r.AsRECT();
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    SetWindowPos(hwnd, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    root_.SyncWndRect();
    Gui::Ptr<TopWndBase> alive = this;
    OnCreated();
    return alive ? hwnd_ : nullptr;
}

bool TopWindow::IsOpen() const { return hwnd_ && IsWindow(hwnd_); }

void TopWindow::Show() {
    if (hwnd_) ShowWindow(hwnd_, no_activate_ ? SW_SHOWNOACTIVATE : SW_SHOW);
}

void TopWindow::Hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

void TopWindow::Close() {
    Gui::Ptr<TopWndBase> alive = this;
    WhenClose();
    if (!alive) return;
    // The closed notification may delete this object: nothing follows the destroy.
    if (HWND hwnd = hwnd_) DestroyWindow(hwnd);
}

TopWindow& TopWindow::NoActivate(bool on) {
    no_activate_ = on;
    if (hwnd_) {
        LONG ex = GetWindowLongW(hwnd_, GWL_EXSTYLE);
        ex = on ? (ex | WS_EX_NOACTIVATE) : (ex & ~static_cast<LONG>(WS_EX_NOACTIVATE));
        SetWindowLongW(hwnd_, GWL_EXSTYLE, ex);
    }
    return *this;
}

TopWindow& TopWindow::SetTitle(const std::wstring& title) {
    title_ = title;
    if (hwnd_) SetWindowTextW(hwnd_, title_.c_str());
    return *this;
}

TopWindow& TopWindow::SetRect(const Gui::Rect& r) {
    // An open root moves its window; the window's move message places the root.
    root_.SetRect(r);
    return *this;
}

void TopWindow::AddChild(Gui::Ctrl* child) { root_.AddChild(child); }

void TopWindow::OnCreated() {}

void TopWindow::OnKillFocus(HWND) {}

void TopWindow::OnWindowDestroyed() {}

void TopWindow::InvalidateWindowRect(const Gui::Rect& r) {
    if (hwnd_) InvalidateRect(hwnd_, r.AsRECT(), FALSE);
}

LRESULT TopWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
    switch (message) {
        case WM_CLOSE:
            *handled = true;
            Close();
            return 0;
        case WM_SYSCOMMAND:
            // Minimising and the rest stay with the default handling.
            if ((wparam & 0xFFF0) != SC_CLOSE) return 0;
            *handled = true;
            Close();
            return 0;
        case WM_KILLFOCUS: {
            LRESULT ignored;
            Gui::Ptr<TopWndBase> alive = this;
            root_.HandleMessage(message, wparam, lparam, &ignored);
            if (alive) OnKillFocus(reinterpret_cast<HWND>(wparam));
            return 0;
        }
    }
    LRESULT result = 0;
    *handled = root_.HandleMessage(message, wparam, lparam, &result);
    return result;
}

INT_PTR CALLBACK TopWindow::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TopWindow*>(lparam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
        self->hwnd_ = hwnd;
        self->root_.Attach(hwnd);
        return FALSE;  // the focus stays where it is
    }
    auto* self = reinterpret_cast<TopWindow*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        // The toolkit forgets the window as it does for its own classes: the map
        // entry and the root's window record go, and the root is closed.
        Gui::Ctrl::WndProc(hwnd, message, wparam, lparam);
        if (self && self->hwnd_ == hwnd) {
            self->hwnd_ = nullptr;
            self->OnWindowDestroyed();
        }
        return FALSE;
    }
    if (!self) return FALSE;
    bool handled = false;
    const LRESULT result = self->WindowProc(message, wparam, lparam, &handled);
    if (!handled) return FALSE;
    // The window may be gone by now (closed from its own message); then this fails.
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace ctrls
