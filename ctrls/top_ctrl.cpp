#include "ctrls/top_ctrl.h"

#include "ctrls/key_target.h"
#include "ctrls/top_window.h"
#include "gui/draw.h"

namespace ctrls {
namespace {

Gui::Point ClientPoint(LPARAM lparam) {
    return Gui::Point(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
}

}  // namespace

TopCtrl::~TopCtrl() = default;

void TopCtrl::Attach(HWND hwnd) {
    SetTopWindow(hwnd);
    SetOpen(true);
    SyncWndRect();
}

void TopCtrl::SyncWndRect() {
    HWND hwnd = GetHWND();
    if (!hwnd || IsIconic(hwnd)) return;
    RECT client;
    if (!GetClientRect(hwnd, &client)) return;
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    SetWndRect(
        Gui::RectC(origin.x, origin.y, client.right - client.left, client.bottom - client.top));
}

Gui::Rect TopCtrl::GetScreenRect() const {
    HWND hwnd = GetHWND();
    if (!hwnd) return GetRect();
    RECT client = {0, 0, 0, 0};
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    return Gui::RectC(origin.x, origin.y, client.right - client.left, client.bottom - client.top);
}

// Drags that leave the window keep reaching the control that holds the capture.
void TopCtrl::CaptureGained() {
    HWND hwnd = GetHWND();
    if (hwnd && ::GetCapture() != hwnd) ::SetCapture(hwnd);
}

void TopCtrl::CaptureLost() {
    HWND hwnd = GetHWND();
    if (hwnd && ::GetCapture() == hwnd) ::ReleaseCapture();
}

void TopCtrl::WndInvalidateRect(const Gui::Rect& r) {
    // The client area is the control's rectangle, so its frame coordinates are the
    // window's client coordinates.
    if (host_) {
        host_->InvalidateWindowRect(r);
    } else if (HWND hwnd = GetHWND()) {
        InvalidateRect(hwnd, r.AsRECT(), FALSE);
    }
}

bool TopCtrl::HoldsFocus() const {
    Gui::Ctrl* focus = GetFocusCtrl();
    return focus && (focus == this || focus->IsDescendantOf(this));
}

bool TopCtrl::Suppressed() {
    if (!IsMouseSuppressed()) return false;
    // The message is dropped either way; once every button is up the suppression ends.
    EndMouseSuppression();
    return true;
}

void TopCtrl::OnLeftDown(Gui::Point p) {
    if (focus_root_) {
        if (Gui::Ctrl* focus = GetFocusCtrl()) {
            const Gui::Rect screen = GetScreenRect();
            const Gui::Point at(p.x + screen.left, p.y + screen.top);
            if (!focus->GetScreenRect().Contains(at)) {
                ClearFocus();
                HWND hwnd = GetHWND();
                if (hwnd && ::GetFocus() != hwnd) ::SetFocus(hwnd);
            }
        }
    }
    DispatchMouse(this, LEFTDOWN, 0, p);
}

void TopCtrl::OnLeftUp(Gui::Point p) {
    if (Suppressed()) return;
    DispatchMouse(this, LEFTUP, 0, p);
}

void TopCtrl::OnLeftDouble(Gui::Point p) { DispatchMouse(this, LEFTDOUBLE, 0, p); }

void TopCtrl::OnMouseMove(Gui::Point p) {
    if (Suppressed()) return;
    DispatchMouse(this, MOUSEMOVE, 0, p);
    SyncCursor();
}

void TopCtrl::OnMouseWheel(int zdelta, Gui::Point p) {
    if (Suppressed()) return;
    DispatchMouse(this, MOUSEWHEEL, zdelta, p);
}

void TopCtrl::OnPaint() {
    HWND hwnd = GetHWND();
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    if (!hdc) return;
    const Gui::Rect area(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
    if (!area.IsEmpty()) {
        Gui::Draw target(hdc);
        Gui::BackDraw back;
        back.Create(target, area.Width(), area.Height());
        back.Offset(-area.left, -area.top);
        CtrlPaint(back, area);
        back.End();
        back.Put(target, area.left, area.top);
    }
    ClearRefreshPending();
    EndPaint(hwnd, &ps);
}

bool TopCtrl::OnKey(UINT message, WPARAM wparam, LPARAM lparam) {
    if (!HoldsFocus()) return false;
    KeyTarget* target = dynamic_cast<KeyTarget*>(GetFocusCtrl());
    return target && target->Key(message, wparam, lparam);
}

bool TopCtrl::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
    *result = 0;
    switch (message) {
        case WM_LBUTTONDOWN:
            OnLeftDown(ClientPoint(lparam));
            return true;
        case WM_LBUTTONUP:
            OnLeftUp(ClientPoint(lparam));
            return true;
        case WM_LBUTTONDBLCLK:
            OnLeftDouble(ClientPoint(lparam));
            return true;
        case WM_MOUSEMOVE:
            OnMouseMove(ClientPoint(lparam));
            return true;
        case WM_MOUSEWHEEL: {
            // The wheel message carries screen coordinates.
            POINT at = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            if (HWND hwnd = GetHWND()) ScreenToClient(hwnd, &at);
            OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wparam), Gui::Point(at.x, at.y));
            return true;
        }
        case WM_SETCURSOR:
            // The toolkit sets the cursor its control asks for; the class has none.
            if (LOWORD(lparam) != HTCLIENT) return false;
            SyncCursor();
            *result = TRUE;
            return true;
        case WM_PAINT:
            OnPaint();
            return true;
        case WM_ERASEBKGND:
            // The paint covers the whole update area from its back buffer.
            *result = 1;
            return true;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_CHAR:
            return OnKey(message, wparam, lparam);
        case WM_KILLFOCUS:
            // A control of this window that had the focus loses it with the window.
            if (GetFocusWindowCtrl() == this) ClearFocus();
            return false;
        case WM_CAPTURECHANGED:
            // Another window took the capture: no control here holds it any longer.
            if (reinterpret_cast<HWND>(lparam) != GetHWND()) {
                Gui::Ctrl* capture = GetCaptureCtrl();
                if (capture && (capture == this || capture->IsDescendantOf(this)))
                    ReleaseCtrlCapture();
            }
            return false;
        case WM_MOVE:
        case WM_SIZE:
            SyncWndRect();
            return false;
    }
    return false;
}

}  // namespace ctrls
