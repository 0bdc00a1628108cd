// What every top-level window of the program has: its native window handle. The
// object is watched through Gui::Ptr, so callbacks bound to a window do nothing
// once the window object is gone.
#pragma once

#include <windows.h>

#include "gui/core/pte.h"

namespace ctrls {

class TopWndBase : public Gui::Pte<TopWndBase> {
public:
    TopWndBase() = default;
    TopWndBase(const TopWndBase&) = delete;
    TopWndBase& operator=(const TopWndBase&) = delete;
    virtual ~TopWndBase();

    // Null before the window is made and after it is destroyed.
    HWND GetHWND() const { return hwnd_; }

protected:
    HWND hwnd_ = nullptr;
};

}  // namespace ctrls
