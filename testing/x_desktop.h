// A private X desktop for tests: Xvfb on the first free display from :90 (by its
// lock file) with openbox managing it: the process's own 1280x800 one, started once
// and ended with the process, or one of a given size (bare or managed) for a test of
// its own, which the test may end as a logout does. Its screen can be divided into
// monitors (RandR); a compositing manager or a system tray can be started for a while.
// Every helper program is ended by its pid. Waits poll their condition within a bound.
#pragma once

#include "testing/wait_until.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline bool OnPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::string p = path ? path : "";
    for (size_t start = 0; start <= p.size();) {
        size_t end = p.find(':', start);
        if (end == std::string::npos) end = p.size();
        if (access((p.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Starts argv with its output discarded; the pid, or -1.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::string& display = {}) {
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

inline void End(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

class XDesktop {
public:
    // The process's desktop; null when Xvfb or openbox is missing or would not start.
    static XDesktop* Get() {
        static std::unique_ptr<XDesktop> desktop(new XDesktop("1280x800", true));
        return desktop->display_ ? desktop.get() : nullptr;
    }
    // A desktop of its own with a screen of `size` ("1920x1080"), bare or managed, ended
    // with the object; null when it cannot start.
    static std::unique_ptr<XDesktop> Start(const std::string& size, bool managed = true) {
        std::unique_ptr<XDesktop> desktop(new XDesktop(size, managed));
        return desktop->display_ ? std::move(desktop) : nullptr;
    }
    static bool Installed() { return OnPath("Xvfb") && OnPath("openbox"); }
    // Ends the X server, as a logout does, under its clients; this object's own
    // connection goes first.
    void EndServer() {
        if (display_) XCloseDisplay(display_);
        display_ = nullptr;
        End(server_);
        server_ = -1;
        End(wm_);
        wm_ = -1;
    }

    const std::string& name() const { return name_; }
    Display* display() const { return display_; }
    Window root() const { return DefaultRootWindow(display_); }

    // Runs a helper on this desktop and waits for it to end; its exit status.
    int Run(const std::vector<std::string>& argv) const {
        pid_t pid = Spawn(argv, name_);
        int status = -1;
        if (pid > 0) waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The screen's pixels in a rectangle, 0xRRGGBB row by row; none when it cannot be read.
    std::vector<uint32_t> Screen(int left, int top, int width, int height) const {
        XImage* image = XGetImage(display_, root(), left, top, width, height, AllPlanes, ZPixmap);
        std::vector<uint32_t> pixels;
        for (int i = 0; image && i < width * height; ++i)
            pixels.push_back(XGetPixel(image, i % width, i / width) & 0xFFFFFF);
        if (image) XDestroyImage(image);
        return pixels;
    }
    // One pixel of the screen, 0xRRGGBB; 0 when it cannot be read.
    uint32_t Pixel(int x, int y) const {
        const auto p = Screen(x, y, 1, 1);
        return p.empty() ? 0 : p[0];
    }
    // Where a window's top left corner is on the screen.
    std::pair<int, int> Origin(Window w) const {
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display_, w, root(), 0, 0, &x, &y, &child);
        return {x, y};
    }
    // The deepest window at a screen point; 0 when that is the root.
    Window WindowAt(int x, int y) const {
        Window at = root(), child = 0;
        int cx, cy;
        while (XTranslateCoordinates(display_, root(), at, x, y, &cx, &cy, &child) && child)
            at = child;
        return at == root() ? 0 : at;
    }
    // A window's children, bottom first; its parent in *parent (0 when the window is gone).
    std::vector<Window> Children(Window w, Window* parent = nullptr) const {
        Window r, p = 0, *kids = nullptr;
        unsigned n = 0;
        std::vector<Window> out;
        if (XQueryTree(display_, w, &r, &p, &kids, &n)) out.assign(kids, kids + n);
        if (kids) XFree(kids);
        if (parent) *parent = p;
        return out;
    }

    // The index'th 32-bit value of a window's property (-1 when absent), or its bytes as text.
    long Property(Window w, const char* name, int index = 0, std::string* text = nullptr) const {
        Atom actual;
        int format;
        unsigned long count, rest;
        unsigned char* data = nullptr;
        long value = -1;
        if (XGetWindowProperty(display_, w, XInternAtom(display_, name, False), 0, 1 << 20, False,
                               AnyPropertyType, &actual, &format, &count, &rest,
                               &data) == Success &&
            data) {
            // Xlib hands 32-bit items over as longs.
            if (text)
                *text = std::string(reinterpret_cast<char*>(data),
                                    count * (format == 32 ? sizeof(long) : format / 8));
            if (format == 32 && static_cast<unsigned long>(index) < count)
                value = reinterpret_cast<long*>(data)[index];
        }
        if (data) XFree(data);
        return value;
    }

    // Divides the screen into monitors (RandR), the primary first; they stay while the
    // desktop lasts.
    void SetMonitors(const std::vector<XRectangle>& monitors) const {
        XRRScreenResources* res = XRRGetScreenResources(display_, root());
        for (size_t i = 0; i < monitors.size(); ++i) {
            const XRectangle& r = monitors[i];
            // The first takes the screen's output, so the output's own monitor gives way.
            XRRMonitorInfo* m = XRRAllocateMonitor(display_, i == 0 && res->noutput ? 1 : 0);
            m->name = XInternAtom(display_, ("MONITOR" + std::to_string(i)).c_str(), False);
            m->primary = i == 0;
            m->x = r.x, m->y = r.y, m->width = r.width, m->height = r.height;
            m->mwidth = r.width * 254 / 960, m->mheight = r.height * 254 / 960;
            if (m->noutput) m->outputs[0] = res->outputs[0];
            XRRSetMonitor(display_, root(), m);
            XFree(m);
        }
        XRRFreeScreenResources(res);
        XSync(display_, False);
    }
    // The work area the window manager publishes for the first desktop (x, y, width,
    // height); all zero when it publishes none.
    std::vector<long> WorkArea() const {
        std::vector<long> area(4, 0);
        if (Property(root(), "_NET_WORKAREA", 3) < 0) return area;
        for (int i = 0; i < 4; ++i) area[i] = Property(root(), "_NET_WORKAREA", i);
        return area;
    }

    // Waits until a client owns the selection (a manager of some kind is ready).
    bool WaitOwner(const std::string& selection, bool owned = true, int ms = 10000) const {
        Atom a = XInternAtom(display_, selection.c_str(), False);
        return WaitUntil([&] { return (XGetSelectionOwner(display_, a) != None) == owned; }, ms);
    }

    // A helper that runs while the object lives (xcompmgr, trayer, ...), ready once
    // it owns `selection`.
    class Helper {
    public:
        Helper(const XDesktop& d, const std::vector<std::string>& argv, std::string selection)
            : desktop_(d), selection_(std::move(selection)) {
            if (OnPath(argv[0])) pid_ = Spawn(argv, d.name());
            ready_ = pid_ > 0 && d.WaitOwner(selection_);
        }
        ~Helper() {
            End(pid_);
            desktop_.WaitOwner(selection_, false);
        }
        bool ready() const { return ready_; }

    private:
        const XDesktop& desktop_;
        std::string selection_;
        pid_t pid_ = -1;
        bool ready_ = false;
    };

    ~XDesktop() {
        End(wm_);
        if (display_) XCloseDisplay(display_);
        End(server_);
    }

private:
    XDesktop(const std::string& size, bool with_manager) {
        if (!OnPath("Xvfb") || (with_manager && !OnPath("openbox"))) return;
        for (int n = 90; n < 190 && !display_; ++n) {
            if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) continue;
            Start(n, size);
        }
        if (!display_ || !with_manager) return;
        // The manager's own files stay out of the user's home.
        setenv("XDG_CONFIG_HOME", "/nonexistent-config", 0);
        wm_ = Spawn({"openbox", "--sm-disable"}, name_);
        Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
        bool managed = WaitUntil(
            [&] {
                Atom type;
                int format;
                unsigned long count, rest;
                unsigned char* data = nullptr;
                XGetWindowProperty(display_, root(), check, 0, 1, False, XA_WINDOW, &type, &format,
                                   &count, &rest, &data);
                if (data) XFree(data);
                return count == 1;
            },
            10000);
        // Ready once it takes a window in: a probe window gets a frame. A request
        // made while it starts up may be dropped, so it is made again.
        if (managed) {
            Window probe = XCreateSimpleWindow(display_, root(), 0, 0, 10, 10, 0, 0, 0);
            managed = WaitUntil(
                [&] {
                    XMapWindow(display_, probe);
                    Window parent = 0;
                    Children(probe, &parent);
                    return parent && parent != root();
                },
                10000);
            XDestroyWindow(display_, probe);
            XSync(display_, False);
        }
        if (!managed) {
            End(wm_);
            wm_ = -1;
            XCloseDisplay(display_);
            display_ = nullptr;
            End(server_);
            server_ = -1;
        }
    }

    void Start(int n, const std::string& size) {
        const std::string name = ":" + std::to_string(n);
        pid_t pid = Spawn({"Xvfb", name, "-screen", "0", size + "x24", "-nolisten", "tcp"});
        if (pid < 0) return;
        const bool up = WaitUntil(
            [&] {
                if (waitpid(pid, nullptr, WNOHANG) == pid) return true;  // lost the display
                // Another test may have started a server on the same number a moment
                // earlier: the lock file names the one that answers.
                std::ifstream lock("/tmp/.X" + std::to_string(n) + "-lock");
                long owner = 0;
                return (lock >> owner) && owner == pid &&
                       (display_ = XOpenDisplay(name.c_str())) != nullptr;
            },
            10000);
        if (up && display_) {
            server_ = pid;
            name_ = name;
            return;
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }

    pid_t server_ = -1, wm_ = -1;
    std::string name_;
    Display* display_ = nullptr;
};

}  // namespace testing_support
