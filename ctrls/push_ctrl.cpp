#include "ctrls/push_ctrl.h"

namespace ctrls {

PushCtrl::Look PushCtrl::GetLook() const {
    if (!IsEnabled()) return DISABLED;
    // A press dragged off the control shows it raised until the pointer comes back.
    if (hot_) return pressed_ ? PRESSED : HOT;
    return NORMAL;
}

void PushCtrl::SetState(bool hot, bool pressed) {
    const Look was = GetLook();
    hot_ = hot;
    pressed_ = pressed;
    if (GetLook() != was) Refresh();
}

void PushCtrl::MouseEnter(Gui::Point, DWORD) { SetState(true, pressed_); }

void PushCtrl::MouseLeave() { SetState(false, pressed_); }

void PushCtrl::LeftDown(Gui::Point, DWORD) {
    if (!IsEnabled()) return;
    SetState(true, true);
    SetCapture();
}

void PushCtrl::LeftUp(Gui::Point p, DWORD) {
    if (!pressed_) return;
    const bool inside = Gui::Rect(GetSize()).Contains(p);
    SetState(inside, false);
    ReleaseCapture();
    // Capture goes past the toolkit's check for disabled controls.
    if (inside && IsEnabled()) Clicked();
}

void PushCtrl::CancelMode() { SetState(hot_, false); }

void PushCtrl::Clicked() { Action(); }

}  // namespace ctrls
