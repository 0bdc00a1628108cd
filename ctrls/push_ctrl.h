// What a push button and a check box share: the visual state that follows the
// mouse (normal, hot, pressed, disabled) and the click. A left press captures the
// mouse; releasing it over the control is a click, releasing it elsewhere takes
// the press back. A disabled control takes no press.
#pragma once

#include "gui/ctrl.h"

namespace ctrls {

class PushCtrl : public Gui::Ctrl {
public:
    enum Look { NORMAL = 0, HOT = 1, PRESSED = 2, DISABLED = 3 };

    // The look the control shows now.
    Look GetLook() const;

    void MouseEnter(Gui::Point p, DWORD keyflags) override;
    void MouseLeave() override;
    void LeftDown(Gui::Point p, DWORD keyflags) override;
    void LeftUp(Gui::Point p, DWORD keyflags) override;
    void CancelMode() override;

protected:
    // A completed click; runs WhenAction unless overridden.
    virtual void Clicked();

private:
    void SetState(bool hot, bool pressed);

    bool hot_ = false;      // the pointer is over the control
    bool pressed_ = false;  // a left press began here and is still down
};

}  // namespace ctrls
