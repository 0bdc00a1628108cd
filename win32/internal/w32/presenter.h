// The X11 presenter's doorbell: the rest of the layer rings it when a window's
// placement, visibility or pixels change. Cheap and lock-free for the caller; the
// presenter thread reads the windows' state itself. Does nothing without a display.
#pragma once

#include <windef.h>

namespace w32::present {

// hwnd (any window; its top-level window is shown) changed or went away.
void window_changed(HWND hwnd);
// Windows may have gone without a handle to name (a thread's windows dropped), or
// something every window shows changed (the cursor).
void windows_changed();
// Whether windows appear on an X server: DISPLAY names one that answered (the
// connection is opened on first need) and has not gone away since.
bool showing();
// The window's thread has applied a change the desktop made to it (input.h), so the
// presenter may bring the X window in line with the window again.
void system_change_done(HWND top);
// A notification-area icon was added, changed or removed.
void tray_changed();

}  // namespace w32::present
