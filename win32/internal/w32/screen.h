// The layer's screen: the monitors a program sees, each with its work area, and the
// virtual screen around them. With a display they are the X server's, kept current by
// the presenter; without one, or when WIN32_SCREEN names a layout, a fixed layout.
// Layer coordinates are the X screen's, so the primary monitor need not start at (0, 0).
#pragma once

#include <windef.h>

#include <string>
#include <vector>

namespace w32::screen {

struct Monitor {
    RECT rect;
    RECT work;         // what panels leave free
    std::string name;  // the server's (or the setting's) name, which keeps its handle
    HMONITOR handle = nullptr;
};

struct Layout {
    std::vector<Monitor> monitors;  // never empty; the primary first

    const Monitor& primary() const { return monitors.front(); }
    RECT bounds() const;  // the virtual screen
    // The monitor a point or rectangle is on, by Windows' rules; null when none holds
    // it and nearest is false.
    const Monitor* at(POINT p, bool nearest) const;
    const Monitor* at(const RECT& r, bool nearest) const;
    const Monitor* by_handle(HMONITOR h) const;
};

// The layout in force now. Asking may open the display (once, on first need); with
// `open` false the X server's layout counts only once the display is open. Takes a
// lock of its own that nothing else is taken under.
Layout current(bool open = true);

// The presenter's report of the X server's layout, in force while the display lasts.
void publish(Layout layout);

}  // namespace w32::screen
