// The text of a window, and bringing a window back to the user's attention.
#pragma once

#include <windows.h>

#include <string>

namespace base {

// Empty for a window without text or a text that changed while it was read.
std::wstring GetWindowTextString(HWND window);

// Shows and restores the window, makes it (or its last active pop-up) the
// foreground window and puts it at the top of the ordinary windows without
// leaving it topmost. A null handle does nothing.
void ActivateWindow(HWND window);

}  // namespace base
