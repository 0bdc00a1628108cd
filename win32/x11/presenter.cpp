// Shows the process's visible top-level windows on the X server named by DISPLAY:
// one override-redirect X window per window, filled from the window's surface.
//
// A single thread owns the X connection. It sleeps in poll() on the connection and
// an eventfd that window_changed() rings, then compares the windows' state with the
// X windows it keeps and re-puts the pixels of the windows marked dirty.
#include <w32/gdi.h>
#include <w32/presenter.h>
#include <w32/window_surface.h>

#include "user32/window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace w32::present {
namespace {

bool display_wanted() {
    const char* off = getenv("WIN32_NO_DISPLAY");
    if (off && *off && strcmp(off, "0") != 0) return false;
    const char* d = getenv("DISPLAY");
    return d && *d;
}

void log_line(const char* text) {
    const char* path = getenv("WIN32_X11_LOG");
    if (path && *path) {
        if (FILE* f = fopen(path, "a")) {
            fprintf(f, "%s\n", text);
            fclose(f);
            return;
        }
    }
    fprintf(stderr, "%s\n", text);
}

// What the presenter needs of one top-level window, read under the window lock.
struct Shown {
    HWND hwnd;
    RECT rect;
};

struct XWin {
    Window id = 0;
    RECT rect{};
    GC gc = nullptr;
    std::vector<uint32_t> last;  // what was last put, so an unchanged surface is not put again
    bool mapped = false;
    bool ever_mapped = false;
};

int ignore_x_error(Display*, XErrorEvent*) { return 0; }
int quiet_io_error(Display*) { return 0; }

class Presenter {
public:
    static Presenter* instance() {
        // Started on first need and never torn down: the thread may outlive main().
        static std::mutex m;
        static Presenter* p = nullptr;
        static bool failed = false;
        std::lock_guard lock(m);
        if (p || failed || !display_wanted()) return p;
        auto fresh = std::make_unique<Presenter>();
        if (!fresh->open()) {
            failed = true;
            return nullptr;
        }
        p = fresh.release();
        std::thread([] { p->run(); }).detach();
        return p;
    }

    void mark(HWND hwnd) {
        if (dead_) return;
        {
            std::lock_guard lock(mutex_);
            if (hwnd) dirty_.insert(hwnd);
        }
        const uint64_t one = 1;
        ssize_t n = write(wake_fd_, &one, sizeof one);
        (void)n;
    }

private:
    bool open() {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            log_line("x11: cannot open the display; windows stay headless");
            return false;
        }
        XVisualInfo vi;
        const int screen = DefaultScreen(display_);
        if (!XMatchVisualInfo(display_, screen, 24, TrueColor, &vi) || vi.red_mask != 0xff0000 ||
            vi.green_mask != 0xff00 || vi.blue_mask != 0xff) {
            log_line("x11: no 24-bit TrueColor visual; windows stay headless");
            XCloseDisplay(display_);
            return false;
        }
        visual_ = vi.visual;
        root_ = RootWindow(display_, screen);
        colormap_ = XCreateColormap(display_, root_, visual_, AllocNone);
        wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_fd_ < 0) {
            XCloseDisplay(display_);
            return false;
        }
        XSetErrorHandler(ignore_x_error);
        XSetIOErrorHandler(quiet_io_error);
        XSetIOErrorExitHandler(display_, &Presenter::connection_lost, this);
        return true;
    }

    // The server went away: keep the program running headless. Xlib must not be
    // used again, and this handler may not return, so the thread parks for good.
    static void connection_lost(Display*, void* self) {
        static_cast<Presenter*>(self)->dead_ = true;
        for (;;) pause();
    }

    void run() {
        const int xfd = ConnectionNumber(display_);
        for (;;) {
            while (XPending(display_)) {
                XEvent ev;
                XNextEvent(display_, &ev);
                if (ev.type == Expose && ev.xexpose.count == 0) {
                    for (auto& [hwnd, xw] : windows_)
                        if (xw.id == ev.xexpose.window) put_pixels(hwnd, xw, true);
                }
            }
            // XPending has flushed; nothing may touch the connection before poll, or
            // events read meanwhile would wait in Xlib's queue while poll sleeps.
            pollfd fds[2] = {{xfd, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) continue;
            if (fds[1].revents & POLLIN) {
                uint64_t count;
                ssize_t n = read(wake_fd_, &count, sizeof count);
                (void)n;
                update();
            }
        }
    }

    // Brings the X windows in line with the windows' state, then re-puts the dirty ones.
    void update() {
        std::set<HWND> dirty;
        {
            std::lock_guard lock(mutex_);
            dirty.swap(dirty_);
        }
        std::vector<Shown> shown;  // front first
        std::set<HWND> dirty_tops;
        {
            std::lock_guard lock(user::user_mutex());
            for (HWND h : user::desktop_locked()->children) {
                auto w = user::find_window_locked(h);
                if (!w || w->kind != user::WindowKind::Normal || w->destroying) continue;
                if (!(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE)) continue;
                if (w->rect.right <= w->rect.left || w->rect.bottom <= w->rect.top) continue;
                shown.push_back(Shown{h, w->rect});
            }
            for (HWND h : dirty) {
                auto w = user::find_window_locked(h);
                while (w && !user::is_top_level_locked(*w)) w = user::find_window_locked(w->parent);
                if (w) dirty_tops.insert(w->hwnd);
            }
        }
        std::set<HWND> visible;
        for (const auto& s : shown) visible.insert(s.hwnd);
        // Hidden or gone windows: unmap, and destroy the X window of a window that
        // no longer exists.
        for (auto it = windows_.begin(); it != windows_.end();) {
            if (visible.count(it->first)) {
                ++it;
                continue;
            }
            if (!IsWindow(it->first)) {
                XFreeGC(display_, it->second.gc);
                XDestroyWindow(display_, it->second.id);
                it = windows_.erase(it);
                continue;
            }
            if (it->second.mapped) XUnmapWindow(display_, it->second.id);
            it->second.mapped = false;
            ++it;
        }
        std::vector<Window> stack;
        for (const auto& s : shown) {
            XWin& xw = windows_[s.hwnd];
            const unsigned width = static_cast<unsigned>(s.rect.right - s.rect.left);
            const unsigned height = static_cast<unsigned>(s.rect.bottom - s.rect.top);
            bool force = false;
            if (!xw.id) {
                XSetWindowAttributes a{};
                a.override_redirect = True;
                a.colormap = colormap_;
                a.border_pixel = 0;
                a.background_pixmap = None;
                a.event_mask = ExposureMask;
                xw.id = XCreateWindow(
                    display_, root_, s.rect.left, s.rect.top, width, height, 0, 24, InputOutput,
                    visual_,
                    CWOverrideRedirect | CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask,
                    &a);
                xw.gc = XCreateGC(display_, xw.id, 0, nullptr);
                xw.rect = s.rect;
            } else if (memcmp(&xw.rect, &s.rect, sizeof(RECT)) != 0) {
                XMoveResizeWindow(display_, xw.id, s.rect.left, s.rect.top, width, height);
                xw.rect = s.rect;
                force = true;
            }
            if (!xw.mapped) {
                XMapWindow(display_, xw.id);
                xw.mapped = true;
                force = true;
            }
            stack.push_back(xw.id);
            if (force || dirty_tops.count(s.hwnd)) put_pixels(s.hwnd, xw, force);
            if (!xw.ever_mapped) {
                // Only once the pixels reached the server, so a reader of the log
                // sees the window as drawn so far.
                XSync(display_, False);
                xw.ever_mapped = true;
                char line[64];
                snprintf(line, sizeof line, "mapped %08lx",
                         static_cast<unsigned long>(reinterpret_cast<uintptr_t>(s.hwnd)));
                log_line(line);
            }
        }
        if (stack.size() > 1)
            XRestackWindows(display_, stack.data(), static_cast<int>(stack.size()));
        XFlush(display_);
    }

    // Copies the window's surface (under the GDI lock) and puts it on its X window,
    // unless it is what was put last and the X window kept it (!force).
    void put_pixels(HWND hwnd, XWin& xw, bool force) {
        if (!xw.mapped) return;
        paint::DcTarget target;
        if (!paint::window_dc_target(hwnd, true, &target) || !target.surface) return;
        const int width = xw.rect.right - xw.rect.left;
        const int height = xw.rect.bottom - xw.rect.top;
        pixels_.assign(static_cast<size_t>(width) * height, 0);
        {
            std::lock_guard lock(gdi::gdi_mutex());
            const auto& s = *target.surface;
            if (s.bpp != 32) return;
            const int cw = std::min(width, s.width - static_cast<int>(target.origin.x));
            const int ch = std::min(height, s.height - static_cast<int>(target.origin.y));
            for (int y = 0; y < ch; ++y)
                memcpy(&pixels_[static_cast<size_t>(y) * width],
                       s.row(y + target.origin.y) + target.origin.x * 4,
                       static_cast<size_t>(std::max(cw, 0)) * 4);
        }
        if (!force && pixels_ == xw.last) return;
        xw.last = pixels_;
        XImage* image = XCreateImage(
            display_, visual_, 24, ZPixmap, 0, reinterpret_cast<char*>(pixels_.data()),
            static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * 4);
        if (!image) return;
        image->byte_order = LSBFirst;  // the surface's 0x00RRGGBB words, as this host stores them
        XPutImage(display_, xw.id, xw.gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
        image->data = nullptr;  // ours, not Xlib's
        XDestroyImage(image);
    }

    Display* display_ = nullptr;
    Visual* visual_ = nullptr;
    Window root_ = 0;
    Colormap colormap_ = 0;
    int wake_fd_ = -1;
    std::atomic<bool> dead_{false};
    std::mutex mutex_;
    std::set<HWND> dirty_;
    // Touched by the presenter thread only.
    std::map<HWND, XWin> windows_;
    std::vector<uint32_t> pixels_;
};

}  // namespace

void window_changed(HWND hwnd) {
    if (!hwnd) return;
    if (Presenter* p = Presenter::instance()) p->mark(hwnd);
}

void windows_changed() {
    if (Presenter* p = Presenter::instance()) p->mark(nullptr);
}

void system_change_done(HWND top) { window_changed(top); }

void tray_changed() {}

}  // namespace w32::present
