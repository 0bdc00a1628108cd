// The notification-area icons as the X11 presenter docks and draws them.
#pragma once

#include <windef.h>

#include <string>
#include <vector>

namespace w32::tray {

struct IconView {
    HWND owner;
    UINT id;
    HICON icon;
    std::wstring tip;
};

// The icons that should be seen (not hidden), those of destroyed owners dropped.
std::vector<IconView> visible_icons();

// The user pressed or released a button (mouse_msg: WM_LBUTTONDOWN, WM_RBUTTONUP, ...)
// on an icon at screen point p: its callback message goes to its owner.
BOOL click(HWND owner, UINT id, UINT mouse_msg, POINT p);

}  // namespace w32::tray
