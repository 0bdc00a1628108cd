// The "Button" class: push buttons (BS_PUSHBUTTON, BS_DEFPUSHBUTTON). A press by the
// pointer (which captures it) or the space bar shows the pushed look; releasing it over
// the button, or BM_CLICK, tells the parent BN_CLICKED. Other button kinds are drawn as
// push buttons.
#include "system_controls.h"

#include <string>

namespace w32::user {
namespace {

struct Button {
    HFONT font = nullptr;
    bool pushed = false;    // the pressed look
    bool tracking = false;  // the left button went down on us and is still down
    bool focused = false;
};

bool is_default(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

void paint(HWND hwnd, const Button& b) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    look::parent_colours(hwnd, hdc, WM_CTLCOLORBTN, look::kFace);
    const bool enabled = IsWindowEnabled(hwnd);
    look::fill(hdc, r, b.pushed ? look::kButtonPressed : look::kButtonFace);
    look::outline(hdc, r,
                  b.pushed || is_default(hwnd) ? look::kDefaultBorder : look::kButtonBorder);
    if (is_default(hwnd)) {
        // The default button wears a second ring inside the first.
        RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        look::outline(hdc, inner, look::kDefaultBorder);
    }
    const int len = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), len + 1);
    text.resize(static_cast<size_t>(len));
    HGDIOBJ old_font = SelectObject(hdc, look::font_or_default(b.font));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, enabled ? look::kText : look::kGrayText);
    RECT text_rect = r;
    if (b.pushed) {
        ++text_rect.left, ++text_rect.right;
        ++text_rect.top, ++text_rect.bottom;
    }
    DrawTextW(hdc, text.c_str(), len, &text_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(hdc, old_font);
    if (b.focused) {
        RECT f{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
        look::focus_rect(hdc, f);
    }
    EndPaint(hwnd, &ps);
}

void set_pushed(HWND hwnd, Button* b, bool pushed) {
    if (b->pushed == pushed) return;
    b->pushed = pushed;
    InvalidateRect(hwnd, nullptr, FALSE);
}

void click(HWND hwnd) { look::notify_parent(hwnd, BN_CLICKED); }

bool inside(HWND hwnd, LPARAM lparam) {
    RECT r;
    GetClientRect(hwnd, &r);
    const POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

}  // namespace

LRESULT CALLBACK button_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Button* b = control_state<Button>(hwnd);
    if (!b && msg != WM_NCCREATE) return DefWindowProcW(hwnd, msg, wparam, lparam);
    switch (msg) {
        case WM_NCCREATE:
            attach_state<Button>(hwnd);
            break;
        case WM_NCDESTROY:
            detach_state<Button>(hwnd);
            break;
        case WM_PAINT:
            paint(hwnd, *b);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETFONT:
            b->font = reinterpret_cast<HFONT>(wparam);
            if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(b->font);
        case WM_SETTEXT:
        case WM_ENABLE: {
            const LRESULT r = DefWindowProcW(hwnd, msg, wparam, lparam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return r;
        }
        case WM_GETDLGCODE:
            return DLGC_BUTTON | (is_default(hwnd) ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            b->focused = msg == WM_SETFOCUS;
            if (!b->focused) {
                b->tracking = false;
                set_pushed(hwnd, b, false);
                if (GetCapture() == hwnd) ReleaseCapture();
            }
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            focus_control(hwnd);
            SetCapture(hwnd);  // the release comes here wherever the pointer is then
            b->tracking = true;
            set_pushed(hwnd, b, true);
            return 0;
        case WM_MOUSEMOVE:
            if (b->tracking) set_pushed(hwnd, b, (wparam & MK_LBUTTON) && inside(hwnd, lparam));
            if (!(wparam & MK_LBUTTON)) b->tracking = false;
            return 0;
        case WM_LBUTTONUP: {
            const bool was_pushed = b->tracking && b->pushed;
            b->tracking = false;
            set_pushed(hwnd, b, false);
            if (GetCapture() == hwnd) ReleaseCapture();
            if (was_pushed && inside(hwnd, lparam)) click(hwnd);
            return 0;
        }
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE:
            b->tracking = false;
            set_pushed(hwnd, b, false);
            return 0;
        case WM_KEYDOWN:
            if (wparam == VK_SPACE) set_pushed(hwnd, b, true);
            return 0;
        case WM_KEYUP:
            if (wparam == VK_SPACE && b->pushed) {
                set_pushed(hwnd, b, false);
                click(hwnd);
            }
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lparam) != HTCLIENT) break;
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        case BM_CLICK:
            if (IsWindowEnabled(hwnd)) click(hwnd);
            return 0;
        case BM_GETSTATE:
            return (b->pushed ? BST_PUSHED : 0) | (b->focused ? BST_FOCUS : 0);
        case BM_SETSTATE:
            set_pushed(hwnd, b, wparam != 0);
            return 0;
        case BM_SETSTYLE: {
            const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
            SetWindowLongW(hwnd, GWL_STYLE, (style & ~0xFFFFL) | LOWORD(wparam));
            if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace w32::user
