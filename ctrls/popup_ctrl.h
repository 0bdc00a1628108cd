// A control that becomes an outermost window of its own: a plain pop-up of the
// toolkit's class, hidden, whose messages the toolkit's window procedure routes to
// the control's WindowProc through the window map.
#pragma once

#include <windows.h>

#include "gui/ctrl.h"

namespace ctrls {

class PopupCtrl : public Gui::Ctrl {
public:
    PopupCtrl() = default;
    // Destroys the window; its map entry goes with it.
    ~PopupCtrl() override;

    // Makes the window at the control's rectangle (screen coordinates of the client
    // area), owned by owner; the control is open, recorded as the window's control
    // and its mode cancelled. The window stays hidden. Null on failure; a control
    // that has its window answers it as it is.
    HWND CreatePopup(HWND owner = nullptr);
    void DestroyPopup();
};

}  // namespace ctrls
