// The X screen as the layer's screen layout: the monitors RandR reports (else the
// Xinerama screens, else the root window), the primary one first, each with the part
// of the window manager's work area (_NET_WORKAREA of the current desktop) that lies on
// it. Read again whenever the screen, its monitors or the work area change.
#include "x_shared.h"

#include <w32/screen.h>

#include <X11/Xatom.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

namespace w32::present {

namespace {

// The index'th group of `per` 32-bit values of a root property; false when absent.
bool cardinals(Display* d, Window root, Atom name, long index, size_t per, long* out) {
    const std::vector<long> values = property_longs(d, root, name, XA_CARDINAL, 4096);
    if (index < 0 || static_cast<size_t>(index) >= values.size() / per) return false;
    std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(index * per), per, out);
    return true;
}

}  // namespace

ScreenWatch::ScreenWatch(Display* d, Window root) : display_(d), root_(root) {
    workarea_ = XInternAtom(d, "_NET_WORKAREA", False);
    current_desktop_ = XInternAtom(d, "_NET_CURRENT_DESKTOP", False);
    int error_base, major = 0, minor = 0;
    if (XRRQueryExtension(d, &randr_event_, &error_base) && XRRQueryVersion(d, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 5))) {
        randr_monitors_ = true;
        XRRSelectInput(
            d, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    } else {
        randr_event_ = -1;
    }
    read();
}

bool ScreenWatch::handle(XEvent& ev) {
    const bool randr = randr_event_ >= 0 && (ev.type == randr_event_ + RRScreenChangeNotify ||
                                             ev.type == randr_event_ + RRNotify);
    // The root window is resized, and reconfigured when monitors are set.
    const bool root = ev.type == ConfigureNotify && ev.xconfigure.window == root_;
    const bool area = ev.type == PropertyNotify && ev.xproperty.window == root_ &&
                      (ev.xproperty.atom == workarea_ || ev.xproperty.atom == current_desktop_);
    if (!randr && !root && !area) return false;
    if (randr && ev.type == randr_event_ + RRScreenChangeNotify) XRRUpdateConfiguration(&ev);
    read();
    return true;
}

void ScreenWatch::read() {
    Window r;
    int x, y;
    unsigned width = 0, height = 0, border, depth;
    XGetGeometry(display_, root_, &r, &x, &y, &width, &height, &border, &depth);
    w32::screen::Layout layout;
    auto add = [&](std::string name, int left, int top, int w, int h, bool primary) {
        if (w <= 0 || h <= 0) return;
        const RECT rect{left, top, left + w, top + h};
        auto at = primary ? layout.monitors.begin() : layout.monitors.end();
        layout.monitors.insert(at, w32::screen::Monitor{rect, rect, std::move(name), nullptr});
    };
    if (randr_monitors_) {
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(display_, root_, True, &count);
        for (int i = 0; i < count; ++i) {
            char* name = XGetAtomName(display_, monitors[i].name);
            add(name ? name : "", monitors[i].x, monitors[i].y, monitors[i].width,
                monitors[i].height, monitors[i].primary);
            if (name) XFree(name);
        }
        if (monitors) XRRFreeMonitors(monitors);
    }
    int event_base, error_base;
    if (layout.monitors.empty() && XineramaQueryExtension(display_, &event_base, &error_base) &&
        XineramaIsActive(display_)) {
        int count = 0;
        XineramaScreenInfo* screens = XineramaQueryScreens(display_, &count);
        for (int i = 0; i < count; ++i)
            add("XINERAMA" + std::to_string(screens[i].screen_number), screens[i].x_org,
                screens[i].y_org, screens[i].width, screens[i].height, false);
        if (screens) XFree(screens);
    }
    if (layout.monitors.empty())
        add("ROOT", 0, 0, static_cast<int>(width), static_cast<int>(height), true);
    if (layout.monitors.empty()) return;
    // One work area for the whole screen: each monitor keeps the part on it.
    long desktop = 0, area[4];
    cardinals(display_, root_, current_desktop_, 0, 1, &desktop);
    if (cardinals(display_, root_, workarea_, desktop, 4, area) ||
        cardinals(display_, root_, workarea_, 0, 4, area)) {
        for (auto& m : layout.monitors) {
            const RECT work{std::max<LONG>(m.rect.left, area[0]),
                            std::max<LONG>(m.rect.top, area[1]),
                            std::min<LONG>(m.rect.right, area[0] + area[2]),
                            std::min<LONG>(m.rect.bottom, area[1] + area[3])};
            if (work.right > work.left && work.bottom > work.top) m.work = work;
        }
    }
    w32::screen::publish(std::move(layout));
}

}  // namespace w32::present
