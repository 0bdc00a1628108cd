// Keyboard input for controls. The toolkit routes only the mouse; a top-level
// window hands its key messages to the focus control when that control takes keys.
#pragma once

#include <windows.h>

namespace ctrls {

class KeyTarget {
public:
    // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP or WM_CHAR with its parameters;
    // true when the control used the key.
    virtual bool Key(UINT message, WPARAM wparam, LPARAM lparam) = 0;

protected:
    ~KeyTarget() = default;
};

}  // namespace ctrls
