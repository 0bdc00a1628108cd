// Shows the process's visible top-level windows on the X server named by DISPLAY,
// one X window each, filled from the window's surface, and brings the server's
// pointer, keyboard, focus and window-manager events back as the layer's input.
//
// An unowned top-level window (with a taskbar entry, as Windows gives it one) is a
// managed X window without decorations, so the desktop's window manager can focus,
// minimise and switch to it; owned pop-ups and menus are override-redirect. Layered
// windows get a 32-bit visual when a compositing manager runs.
//
// A single thread owns the X connection. It sleeps in poll() on the connection and
// an eventfd that window_changed() rings, then compares the windows' state with the
// X windows it keeps and re-puts the pixels of the windows marked dirty. What the
// window manager does to a window is handed to the window's thread (w32/input.h);
// until that thread has applied it the presenter leaves the X window alone, and its
// own requests are remembered so their echoes are not taken for the manager's doing.
#include "x_input.h"
#include "x_shared.h"

#include <w32/gdi.h>
#include <w32/icon_pixels.h>
#include <w32/input.h>
#include <w32/presenter.h>
#include <w32/session.h>
#include <w32/text.h>
#include <w32/window_surface.h>

#include "user32/input_state.h"
#include "user32/window.h"
#include "user32/window_class.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace w32::present {

void Atoms::load(Display* d, int screen) {
    const std::string cm = "_NET_WM_CM_S" + std::to_string(screen);
    const std::string tray = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const char* names[] = {"WM_PROTOCOLS",
                           "WM_DELETE_WINDOW",
                           "WM_STATE",
                           "WM_CHANGE_STATE",
                           "WM_NAME",
                           "UTF8_STRING",
                           "_NET_WM_NAME",
                           "_NET_WM_PID",
                           "_NET_WM_PING",
                           "_NET_WM_ICON",
                           "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_NORMAL",
                           "_NET_ACTIVE_WINDOW",
                           "_NET_SUPPORTING_WM_CHECK",
                           "_NET_WM_USER_TIME",
                           "_MOTIF_WM_HINTS",
                           "_NET_WM_WINDOW_TYPE_TOOLTIP",
                           cm.c_str(),
                           tray.c_str(),
                           "_NET_SYSTEM_TRAY_OPCODE",
                           "MANAGER",
                           "_XEMBED",
                           "_XEMBED_INFO"};
    Atom out[std::size(names)];
    XInternAtoms(d, const_cast<char**>(names), static_cast<int>(std::size(names)), False, out);
    Atom* fields[] = {&wm_protocols,
                      &wm_delete_window,
                      &wm_state,
                      &wm_change_state,
                      &wm_name,
                      &utf8_string,
                      &net_wm_name,
                      &net_wm_pid,
                      &net_wm_ping,
                      &net_wm_icon,
                      &net_wm_window_type,
                      &net_wm_window_type_normal,
                      &net_active_window,
                      &net_supporting_wm_check,
                      &net_wm_user_time,
                      &motif_wm_hints,
                      &net_wm_window_type_tooltip,
                      &net_wm_cm,
                      &net_system_tray,
                      &net_system_tray_opcode,
                      &manager,
                      &xembed,
                      &xembed_info};
    for (size_t i = 0; i < std::size(names); ++i) *fields[i] = out[i];
}

std::vector<long> property_longs(Display* d, Window w, Atom name, Atom type, long max) {
    Atom got_type;
    int format = 0;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    std::vector<long> out;
    if (XGetWindowProperty(d, w, name, 0, max, False, type, &got_type, &format, &count, &rest,
                           &data) == Success &&
        data && got_type == type && format == 32) {
        const auto* values = reinterpret_cast<const long*>(data);
        out.assign(values, values + count);
    }
    if (data) XFree(data);
    return out;
}

namespace {

using Clock = std::chrono::steady_clock;

bool display_wanted() {
    const char* off = getenv("WIN32_NO_DISPLAY");
    if (off && *off && strcmp(off, "0") != 0) return false;
    const char* d = getenv("DISPLAY");
    return d && *d;
}

// The presenter's records go to the file WIN32_X11_LOG names, never to the user's
// terminal; only a trouble the user should hear of (`warn`) goes to stderr without one.
void log_line(const char* text, bool warn = false) {
    const char* path = getenv("WIN32_X11_LOG");
    if (path && *path) {
        if (FILE* f = fopen(path, "a")) {
            fprintf(f, "%s\n", text);
            fclose(f);
            return;
        }
    }
    if (warn) fprintf(stderr, "%s\n", text);
}

bool same_rect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// What the presenter needs of one top-level window, read under the window lock.
struct Shown {
    HWND hwnd;
    RECT rect;  // its place, or where it returns to while minimised
    bool minimized;
    bool managed;  // a window of its own for the window manager
    HWND owner;    // the last of its chain of owners, null for an unowned window
    HICON icons[2];  // big and small: the window's own (WM_SETICON), else its class's
    bool layered, per_pixel, keyed;
    BYTE alpha;
    uint32_t key;  // 0x00RRGGBB
    std::wstring title;
};

enum class XState { Withdrawn, Normal, Iconic };

struct XWin {
    Window id = 0;
    Window frame = 0;  // the child of the root that holds it
    bool managed = false, argb = false;
    RECT rect{};  // the geometry the server has, as far as known
    GC gc = nullptr;
    XIC ic = nullptr;
    std::vector<uint32_t> last;  // what was last put, so an unchanged surface is not put again
    XState state = XState::Withdrawn;
    bool viewable = false;
    bool ever_shown = false;
    std::wstring title;
    HICON icons[2] = {};
    bool icon_set = false;
    int pending = 0;                  // desktop changes the window's thread has not applied
    std::deque<RECT> asked_rects;     // our geometry requests the manager has not echoed
    std::deque<XState> asked_states;  // and our state requests
    Shown shown{};                    // the window as the last update saw it
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

    bool alive() const { return !dead_; }

    void mark(HWND hwnd) {
        if (dead_) return;
        {
            std::lock_guard lock(mutex_);
            if (hwnd) dirty_.insert(hwnd);
        }
        ring();
    }

    void done(HWND top) {
        if (dead_) return;
        {
            std::lock_guard lock(mutex_);
            acks_.push_back(top);
        }
        ring();
    }

    void tray_dirty() {
        if (dead_) return;
        tray_dirty_ = true;
        ring();
    }

private:
    void ring() {
        const uint64_t one = 1;
        ssize_t n = write(wake_fd_, &one, sizeof one);
        (void)n;
    }

    bool open() {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            log_line("x11: cannot open the display; windows stay headless", true);
            return false;
        }
        XVisualInfo vi;
        screen_ = DefaultScreen(display_);
        if (!XMatchVisualInfo(display_, screen_, 24, TrueColor, &vi) || vi.red_mask != 0xff0000 ||
            vi.green_mask != 0xff00 || vi.blue_mask != 0xff) {
            log_line("x11: no 24-bit TrueColor visual; windows stay headless", true);
            XCloseDisplay(display_);
            return false;
        }
        visual_ = vi.visual;
        root_ = RootWindow(display_, screen_);
        colormap_ = XCreateColormap(display_, root_, visual_, AllocNone);
        if (XMatchVisualInfo(display_, screen_, 32, TrueColor, &vi) && vi.red_mask == 0xff0000 &&
            vi.blue_mask == 0xff) {
            argb_visual_ = vi.visual;
            argb_colormap_ = XCreateColormap(display_, root_, argb_visual_, AllocNone);
        }
        wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_fd_ < 0) {
            XCloseDisplay(display_);
            return false;
        }
        atoms_.load(display_, screen_);
        XSetErrorHandler(ignore_x_error);
        XSetIOErrorHandler(quiet_io_error);
        XSetIOErrorExitHandler(display_, &Presenter::connection_lost, this);
        // Only presses repeat while a key is held, so a held key reads as a repeat.
        Bool supported;
        XkbSetDetectableAutoRepeat(display_, True, &supported);
        im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
        // A tray announces itself to the root window, which also carries the screen's
        // size and work area; the window manager's restacking of our windows shows there.
        XSelectInput(display_, root_,
                     StructureNotifyMask | SubstructureNotifyMask | PropertyChangeMask);
        screen_watch_ = std::make_unique<ScreenWatch>(display_, root_);
        input_ = std::make_unique<InputTranslator>(display_);
        tray_ = std::make_unique<TrayDock>(display_, root_, atoms_, screen_, *input_);
        tray_dirty_ = true;
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        host_ = host;
        return true;
    }

    // The server went away: the session is over, and a program that follows it ends
    // as Windows ends programs at logoff; any other process goes on headless. Xlib
    // must not be used again, and this handler may not return, so the thread parks.
    static void connection_lost(Display*, void* self) {
        static_cast<Presenter*>(self)->dead_ = true;
        if (w32::session::followed()) w32::session::end(ENDSESSION_LOGOFF | ENDSESSION_CRITICAL);
        for (;;) pause();
    }

    void run() {
        const int xfd = ConnectionNumber(display_);
        update();
        for (;;) {
            while (XPending(display_)) {
                XEvent ev;
                XNextEvent(display_, &ev);
                handle(ev);
            }
            settle_focus();
            if (stack_suspect_) place_popups();
            XFlush(display_);
            // Nothing may read the connection before poll, or events read meanwhile
            // would wait in Xlib's queue while poll sleeps.
            if (XEventsQueued(display_, QueuedAlready)) continue;
            pollfd fds[2] = {{xfd, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
            const int woke = poll(fds, 2, tray_->timeout());
            tray_->tick();
            if (woke <= 0) continue;
            if (fds[1].revents & POLLIN) {
                uint64_t count;
                ssize_t n = read(wake_fd_, &count, sizeof count);
                (void)n;
                update();
            }
        }
    }

    // ---- from the layer to the server ----

    // Brings the X windows in line with the windows' state, then re-puts the dirty ones.
    void update() {
        wm_known_ = false;
        std::set<HWND> dirty;
        std::vector<HWND> acks;
        {
            std::lock_guard lock(mutex_);
            dirty.swap(dirty_);
            acks.swap(acks_);
        }
        for (HWND h : acks) {
            auto it = windows_.find(h);
            if (it != windows_.end() && it->second.pending > 0) --it->second.pending;
        }
        std::vector<Shown> shown;  // front first
        std::set<HWND> dirty_tops;
        HCURSOR cursor;
        {
            std::lock_guard lock(user::user_mutex());
            for (HWND h : user::desktop_locked()->children) {
                auto w = user::find_window_locked(h);
                if (!w || w->kind != user::WindowKind::Normal || w->destroying) continue;
                if (!(w->style & WS_VISIBLE)) continue;
                const bool minimized = (w->style & WS_MINIMIZE) != 0;
                const RECT r = minimized ? w->normal : w->rect;
                if (r.right <= r.left || r.bottom <= r.top) continue;
                const auto& l = w->layered;
                const bool layered = (w->ex_style & WS_EX_LAYERED) && (l.updated || l.attributes);
                const bool taskbar = (!w->owner && !(w->ex_style & WS_EX_TOOLWINDOW) &&
                                      !(w->ex_style & WS_EX_NOACTIVATE)) ||
                                     (w->ex_style & WS_EX_APPWINDOW);
                const bool constant = l.updated || (l.flags & LWA_ALPHA);
                const auto owners = user::owners_locked(*w);
                const HWND owner = owners.empty() ? nullptr : owners.back()->hwnd;
                HICON icons[2] = {w->icon_big, w->icon_small};
                if (!icons[0] && !icons[1] && w->cls) {
                    icons[0] = w->cls->icon;
                    icons[1] = w->cls->icon_small;
                }
                shown.push_back(Shown{h,
                                      r,
                                      minimized,
                                      taskbar,
                                      owner,
                                      {icons[0], icons[1]},
                                      layered,
                                      layered && l.per_pixel,
                                      layered && (l.flags & LWA_COLORKEY) != 0,
                                      static_cast<BYTE>(layered && constant ? l.alpha : 255),
                                      (static_cast<uint32_t>(GetRValue(l.key)) << 16) |
                                          (static_cast<uint32_t>(GetGValue(l.key)) << 8) |
                                          GetBValue(l.key),
                                      w->text});
            }
            for (HWND h : dirty) {
                auto w = user::top_level_of_locked(user::find_window_locked(h));
                if (w) dirty_tops.insert(w->hwnd);
            }
            layer_active_ = user::foreground_locked();
            cursor = user::cursor_locked();
        }
        std::set<HWND> visible;
        for (const auto& s : shown) visible.insert(s.hwnd);
        for (auto it = windows_.begin(); it != windows_.end();) {
            if (visible.count(it->first)) {
                ++it;
                continue;
            }
            if (!IsWindow(it->first)) {
                destroy(it->second);
                it = windows_.erase(it);
                continue;
            }
            withdraw(it->second);
            ++it;
        }
        bool created = false;
        std::vector<Window> stack;
        for (const auto& s : shown) {
            XWin& xw = windows_[s.hwnd];
            if (xw.id && (xw.managed != s.managed || xw.argb != want_argb(s))) {
                destroy(xw);
                xw = XWin{};
            }
            if (!xw.id) {
                create(s, xw);
                created = true;
            }
            sync(s, xw, dirty_tops.count(s.hwnd) != 0);
            stack.push_back(xw.id);
        }
        restack(stack);
        if (created || cursor != cursor_) show_cursor(cursor);
        if (layer_active_ != active_) {
            active_ = layer_active_;
            auto it = windows_.find(active_);
            if (it != windows_.end() && it->second.state == XState::Normal)
                request_focus(active_, it->second);
        }
        // Also every update: icons of windows that went away leave the tray.
        tray_->update(tray_dirty_.exchange(false));
        XFlush(display_);
    }

    bool want_argb(const Shown& s) const {
        return s.layered && argb_visual_ && XGetSelectionOwner(display_, atoms_.net_wm_cm) != None;
    }

    void create(const Shown& s, XWin& xw) {
        xw.managed = s.managed;
        xw.argb = want_argb(s);
        const unsigned width = static_cast<unsigned>(s.rect.right - s.rect.left);
        const unsigned height = static_cast<unsigned>(s.rect.bottom - s.rect.top);
        XSetWindowAttributes a{};
        a.override_redirect = s.managed ? False : True;
        a.colormap = xw.argb ? argb_colormap_ : colormap_;
        a.border_pixel = 0;
        a.background_pixmap = None;
        a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                       KeyPressMask | KeyReleaseMask | FocusChangeMask | EnterWindowMask |
                       LeaveWindowMask | StructureNotifyMask | PropertyChangeMask | KeymapStateMask;
        xw.id = XCreateWindow(
            display_, root_, s.rect.left, s.rect.top, width, height, 0, xw.argb ? 32 : 24,
            InputOutput, xw.argb ? argb_visual_ : visual_,
            CWOverrideRedirect | CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &a);
        xw.frame = xw.id;
        xw.gc = XCreateGC(display_, xw.id, 0, nullptr);
        xw.rect = s.rect;
        ids_[xw.id] = s.hwnd;
        if (im_) {
            xw.ic = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                              XNClientWindow, xw.id, XNFocusWindow, xw.id, nullptr);
            long extra = 0;
            if (xw.ic && !XGetICValues(xw.ic, XNFilterEvents, &extra, nullptr) && extra)
                XSelectInput(display_, xw.id, a.event_mask | extra);
        }
        if (!s.managed) return;
        // No decorations: the program draws its own frame.
        const long motif[5] = {2, 0, 0, 0, 0};
        XChangeProperty(display_, xw.id, atoms_.motif_wm_hints, atoms_.motif_wm_hints, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(motif), 5);
        XChangeProperty(display_, xw.id, atoms_.net_wm_window_type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&atoms_.net_wm_window_type_normal),
                        1);
        Atom protocols[] = {atoms_.wm_delete_window, atoms_.net_wm_ping};
        XSetWMProtocols(display_, xw.id, protocols, 2);
        const long pid = getpid();
        XChangeProperty(display_, xw.id, atoms_.net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pid), 1);
        XTextProperty machine{reinterpret_cast<unsigned char*>(host_.data()), XA_STRING, 8,
                              host_.size()};
        XSetWMClientMachine(display_, xw.id, &machine);
        std::string program = "program";
        if (const char* exe = realpath("/proc/self/exe", nullptr)) {
            program = strrchr(exe, '/') ? strrchr(exe, '/') + 1 : exe;
            free(const_cast<char*>(exe));
        }
        XClassHint cls{program.data(), program.data()};
        XSetClassHint(display_, xw.id, &cls);
        // The program chose the place: the manager keeps it.
        XSizeHints size{};
        size.flags = USPosition | PPosition | USSize | PSize;
        size.x = s.rect.left;
        size.y = s.rect.top;
        size.width = static_cast<int>(width);
        size.height = static_cast<int>(height);
        XSetWMNormalHints(display_, xw.id, &size);
        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = True;
        hints.initial_state = s.minimized ? IconicState : NormalState;
        XSetWMHints(display_, xw.id, &hints);
    }

    void destroy(XWin& xw) {
        ids_.erase(xw.id);
        if (xw.ic) XDestroyIC(xw.ic);
        XFreeGC(display_, xw.gc);
        XDestroyWindow(display_, xw.id);
    }

    void withdraw(XWin& xw) {
        if (xw.state == XState::Withdrawn) return;
        if (xw.managed)
            XWithdrawWindow(display_, xw.id, screen_);
        else
            XUnmapWindow(display_, xw.id);
        xw.state = XState::Withdrawn;
        xw.asked_states.clear();
        xw.asked_rects.clear();
    }

    void set_title(const Shown& s, XWin& xw) {
        if (xw.title == s.title && xw.ever_shown) return;
        xw.title = s.title;
        const std::string utf8 = w32::to_utf8(s.title);
        XChangeProperty(display_, xw.id, atoms_.net_wm_name, atoms_.utf8_string, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()),
                        static_cast<int>(utf8.size()));
        XChangeProperty(display_, xw.id, atoms_.wm_name, atoms_.utf8_string, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()),
                        static_cast<int>(utf8.size()));
    }

    // The pictures the desktop shows the window by (its taskbar entry, the window
    // switcher): its icons, else the program file's own.
    void set_icon(const Shown& s, XWin& xw) {
        if (xw.icon_set && xw.icons[0] == s.icons[0] && xw.icons[1] == s.icons[1]) return;
        xw.icon_set = true;
        xw.icons[0] = s.icons[0];
        xw.icons[1] = s.icons[1];
        std::vector<user::IconPicture> own;
        for (int i = 0; i < 2; ++i) {
            user::IconPicture p;
            if (s.icons[i] && (i == 0 || s.icons[1] != s.icons[0]) &&
                user::icon_picture(s.icons[i], &p))
                own.push_back(std::move(p));
        }
        const auto& pictures = own.empty() ? user::program_icon() : own;
        std::vector<long> data;  // format 32 travels as longs
        for (const auto& p : pictures) {
            data.push_back(p.width);
            data.push_back(p.height);
            data.insert(data.end(), p.argb.begin(), p.argb.end());
        }
        if (data.empty())
            XDeleteProperty(display_, xw.id, atoms_.net_wm_icon);
        else
            XChangeProperty(display_, xw.id, atoms_.net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<int>(data.size()));
    }

    // Places, shows, minimises and fills one X window as its window is.
    void sync(const Shown& s, XWin& xw, bool dirty) {
        xw.shown = s;
        if (xw.managed) {
            set_title(s, xw);
            set_icon(s, xw);
        }
        // The window's thread has not yet taken in what the manager did.
        if (xw.pending > 0) return;
        // Without a window manager nobody keeps an icon: minimised means unmapped.
        if (xw.managed && s.minimized && xw.state != XState::Iconic && !wm_running()) {
            withdraw(xw);
            return;
        }
        if (xw.managed && s.minimized) {
            if (xw.state != XState::Iconic) {
                if (xw.state == XState::Withdrawn) {
                    XWMHints hints{};
                    hints.flags = InputHint | StateHint;
                    hints.input = True;
                    hints.initial_state = IconicState;
                    XSetWMHints(display_, xw.id, &hints);
                    XMapWindow(display_, xw.id);
                } else {
                    XIconifyWindow(display_, xw.id, screen_);
                }
                xw.state = XState::Iconic;
                xw.asked_states.push_back(XState::Iconic);
            }
            return;
        }
        if (s.minimized) {  // a pop-up has no icon: it leaves the screen
            withdraw(xw);
            return;
        }
        bool force = false;
        if (!same_rect(xw.rect, s.rect)) {
            XMoveResizeWindow(display_, xw.id, s.rect.left, s.rect.top,
                              static_cast<unsigned>(s.rect.right - s.rect.left),
                              static_cast<unsigned>(s.rect.bottom - s.rect.top));
            if (xw.managed) {
                xw.asked_rects.push_back(s.rect);
                if (xw.asked_rects.size() > 16) xw.asked_rects.pop_front();
            }
            xw.rect = s.rect;
            force = true;
        }
        if (xw.state != XState::Normal) {
            if (xw.managed && xw.state == XState::Withdrawn) {
                XWMHints hints{};
                hints.flags = InputHint | StateHint;
                hints.input = True;
                hints.initial_state = NormalState;
                XSetWMHints(display_, xw.id, &hints);
            }
            if (xw.managed) {
                xw.asked_states.push_back(XState::Normal);
                // A window shown without activation must not take the focus when
                // the manager maps it.
                const long zero = 0;
                if (s.hwnd != layer_active_)
                    XChangeProperty(display_, xw.id, atoms_.net_wm_user_time, XA_CARDINAL, 32,
                                    PropModeReplace, reinterpret_cast<const unsigned char*>(&zero),
                                    1);
                else
                    XDeleteProperty(display_, xw.id, atoms_.net_wm_user_time);
            }
            XMapWindow(display_, xw.id);
            xw.state = XState::Normal;
            force = true;
        }
        if (force || dirty) put_pixels(xw, force);
    }

    // The server's stacking of our windows follows the windows' order (front first).
    // Managed windows are asked of the window manager, each below the managed window
    // in front of it, when the program reorders them; a pop-up that comes to the front
    // comes over every other program's window. Pop-ups are then placed directly against
    // their neighbours whenever the server's order has drifted from the windows' own,
    // as it does when the manager raises an owner over its pop-ups.
    void restack(const std::vector<Window>& stack) {
        if (stack != stacked_) {
            stacked_ = stack;
            stack_suspect_ = true;
            std::vector<Window> managed;
            for (Window id : stack)
                if (const XWin* xw = by_id(id); xw && xw->managed) managed.push_back(id);
            if (managed != managed_stacked_) {
                managed_stacked_ = managed;
                for (size_t i = 0; i < managed.size(); ++i) {
                    XWindowChanges c{};
                    unsigned mask = CWStackMode;
                    c.stack_mode = Above;
                    if (i > 0) {
                        c.sibling = managed[i - 1];
                        c.stack_mode = Below;
                        mask |= CWSibling;
                    }
                    XReconfigureWMWindow(display_, managed[i], screen_, mask, &c);
                }
            }
            const XWin* front = stack.empty() ? nullptr : by_id(stack[0]);
            if (front && !front->managed && front->id != raised_) XRaiseWindow(display_, front->id);
            raised_ = front ? front->id : 0;
        }
        if (stack_suspect_) place_popups();
    }

    // Pop-ups (override-redirect) each go straight above the window behind them, from
    // the back (the backmost below the one in front of it), when the server's order
    // of our mapped windows is not the windows' order.
    void place_popups() {
        stack_suspect_ = false;
        Window r, p, *kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(display_, root_, &r, &p, &kids, &n)) return;
        std::vector<Window> actual;  // front first
        for (unsigned i = n; i-- > 0;) actual.push_back(kids[i]);
        if (kids) XFree(kids);
        std::vector<const XWin*> wanted;  // those the server has at the root, front first
        std::vector<Window> wanted_ids;
        for (Window id : stacked_) {
            const XWin* xw = by_id(id);
            if (!xw || xw->state != XState::Normal ||
                std::find(actual.begin(), actual.end(), xw->frame) == actual.end())
                continue;
            wanted.push_back(xw);
            wanted_ids.push_back(xw->frame);
        }
        std::erase_if(actual, [&](Window w) {
            return std::find(wanted_ids.begin(), wanted_ids.end(), w) == wanted_ids.end();
        });
        if (actual == wanted_ids) return;
        for (size_t i = wanted.size(); i-- > 0;) {
            if (wanted[i]->managed) continue;
            XWindowChanges c{};
            if (i + 1 < wanted.size()) {
                c.sibling = wanted_ids[i + 1];
                c.stack_mode = Above;
            } else if (i > 0) {
                c.sibling = wanted_ids[i - 1];
                c.stack_mode = Below;
            } else {
                continue;
            }
            XConfigureWindow(display_, wanted[i]->id, CWSibling | CWStackMode, &c);
        }
    }

    // Copies the window's surface (under the GDI lock) and puts it on its X window,
    // unless it is what was put last and the X window kept it (!force).
    void put_pixels(XWin& xw, bool force) {
        // Pixels put on a window that is not viewable are lost: its MapNotify or
        // Expose brings them again.
        if (xw.state != XState::Normal && !xw.viewable) return;
        const Shown& s = xw.shown;
        paint::DcTarget target;
        if (!paint::window_dc_target(s.hwnd, true, &target) || !target.surface) return;
        const int width = xw.rect.right - xw.rect.left;
        const int height = xw.rect.bottom - xw.rect.top;
        pixels_.assign(static_cast<size_t>(width) * height, 0);
        {
            std::lock_guard lock(gdi::gdi_mutex());
            const auto& surface = *target.surface;
            if (surface.bpp != 32) return;
            const int cw = std::min(width, surface.width - static_cast<int>(target.origin.x));
            const int ch = std::min(height, surface.height - static_cast<int>(target.origin.y));
            for (int y = 0; y < ch; ++y)
                memcpy(&pixels_[static_cast<size_t>(y) * width],
                       surface.row(y + target.origin.y) + target.origin.x * 4,
                       static_cast<size_t>(std::max(cw, 0)) * 4);
        }
        if (s.layered) compose(s, xw.argb, &pixels_);
        if (!force && pixels_ == xw.last) return;
        xw.last = pixels_;
        const int depth = xw.argb ? 32 : 24;
        XImage* image =
            XCreateImage(display_, xw.argb ? argb_visual_ : visual_, depth, ZPixmap, 0,
                         reinterpret_cast<char*>(pixels_.data()), static_cast<unsigned>(width),
                         static_cast<unsigned>(height), 32, width * 4);
        if (!image) return;
        image->byte_order = LSBFirst;  // the surface's words, as this host stores them
        XPutImage(display_, xw.id, xw.gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
        image->data = nullptr;  // ours, not Xlib's
        XDestroyImage(image);
        if (xw.viewable && !xw.ever_shown) {
            // Only once the pixels reached the server, so a reader of the log sees
            // the window as drawn so far.
            XSync(display_, False);
            xw.ever_shown = true;
            char line[64];
            snprintf(line, sizeof line, "mapped %08lx",
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(s.hwnd)));
            log_line(line);
        }
    }

    // A layered window's pixels as the screen shows them: premultiplied with its
    // constant alpha and colour key for a 32-bit window, over black otherwise.
    static void compose(const Shown& s, bool argb, std::vector<uint32_t>* pixels) {
        for (auto& p : *pixels) {
            if (s.keyed && (p & 0xFFFFFF) == s.key) {
                p = 0;
                continue;
            }
            uint32_t a = s.per_pixel ? p >> 24 : 255;
            uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (s.alpha != 255) {
                auto scale = [&](uint32_t c) { return (c * s.alpha + 127) / 255; };
                a = scale(a);
                r = scale(r);
                g = scale(g);
                b = scale(b);
            }
            p = (argb ? a << 24 : 0) | (r << 16) | (g << 8) | b;
        }
    }

    void show_cursor(HCURSOR cursor) {
        cursor_ = cursor;
        Cursor shape = None;
        if (!cursor) {
            if (!blank_) {
                static const char bits[1] = {0};
                Pixmap p = XCreateBitmapFromData(display_, root_, bits, 1, 1);
                XColor black{};
                blank_ = XCreatePixmapCursor(display_, p, p, &black, &black, 0, 0);
                XFreePixmap(display_, p);
            }
            shape = blank_;
        } else if (auto it = cursors_.find(cursor); it != cursors_.end()) {
            shape = it->second;
        } else {
            int w = 0, h = 0;
            POINT hot{};
            std::vector<uint32_t> argb;
            if (user::icon_pixels(cursor, &w, &h, &hot, &argb)) {
                if (XcursorImage* img = XcursorImageCreate(w, h)) {
                    img->xhot = static_cast<XcursorDim>(std::clamp<LONG>(hot.x, 0, w - 1));
                    img->yhot = static_cast<XcursorDim>(std::clamp<LONG>(hot.y, 0, h - 1));
                    std::copy(argb.begin(), argb.end(), img->pixels);
                    shape = XcursorImageLoadCursor(display_, img);
                    XcursorImageDestroy(img);
                }
            }
            cursors_[cursor] = shape;
        }
        for (auto& [hwnd, xw] : windows_) XDefineCursor(display_, xw.id, shape);
    }

    void request_focus(HWND hwnd, const XWin& xw) {
        Window focus = None;
        int revert;
        XGetInputFocus(display_, &focus, &revert);
        // A pop-up comes forward with the managed window that owns it, over other
        // programs' windows; place_popups then keeps it in front of that owner.
        auto owner = windows_.find(xw.shown.owner);
        if (!xw.managed && owner != windows_.end() && owner->second.managed &&
            owner->second.state == XState::Normal) {
            XWindowChanges c{};
            c.stack_mode = Above;
            XReconfigureWMWindow(display_, owner->second.id, screen_, CWStackMode, &c);
            XRaiseWindow(display_, xw.id);
            stack_suspect_ = true;
        }
        if (focus == xw.id) return;
        if (xw.managed && wm_running()) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = xw.id;
            e.xclient.message_type = atoms_.net_active_window;
            e.xclient.format = 32;
            e.xclient.data.l[0] = 1;  // an application's request
            e.xclient.data.l[1] = static_cast<long>(input_->user_time());
            e.xclient.data.l[2] = static_cast<long>(focus);
            XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask,
                       &e);
        } else {
            XSetInputFocus(display_, xw.id, RevertToParent, CurrentTime);
        }
        focus_asked_.push_back({hwnd, Clock::now()});
    }

    // Asked of the server at most once an update.
    bool wm_running() {
        if (wm_known_) return wm_;
        wm_known_ = true;
        wm_ =
            !property_longs(display_, root_, atoms_.net_supporting_wm_check, XA_WINDOW, 1).empty();
        return wm_;
    }

    // ---- from the server to the layer ----

    XWin* by_id(Window id) {
        auto it = ids_.find(id);
        if (it == ids_.end()) return nullptr;
        auto w = windows_.find(it->second);
        return w == windows_.end() ? nullptr : &w->second;
    }

    HWND hwnd_of(Window id) {
        for (auto& [hwnd, xw] : windows_)
            if (id && (xw.id == id || xw.frame == id)) return hwnd;
        return nullptr;
    }

    void handle(XEvent& ev) {
        if (XFilterEvent(&ev, None)) return;
        if (ev.xany.window == root_ && restacked(ev)) stack_suspect_ = true;
        if (tray_->handle(ev)) {
            if (ev.type == ButtonPress || ev.type == ButtonRelease) input_->tick(ev.xbutton.time);
            return;
        }
        if (screen_watch_->handle(ev)) return;
        XWin* xw = by_id(ev.xany.window);
        switch (ev.type) {
            case Expose:
                if (xw && ev.xexpose.count == 0) put_pixels(*xw, true);
                break;
            case MapNotify:
                if (xw) {
                    xw->viewable = true;
                    put_pixels(*xw, true);
                }
                break;
            case UnmapNotify:
                if (xw) xw->viewable = false;
                break;
            case ButtonPress:
            case ButtonRelease:
                if (xw) input_->button(ev.xbutton);
                break;
            case MotionNotify:
                if (xw) motion(ev);
                break;
            case EnterNotify:
            case LeaveNotify:
                input_->crossing(ev.xcrossing);
                break;
            case KeyPress:
            case KeyRelease:
                if (xw) input_->key(ev.xkey, xw->ic);
                break;
            case FocusIn:
            case FocusOut:
                if (ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab ||
                    ev.xfocus.detail == NotifyPointer)
                    break;
                focus_changed_ = true;
                if (xw && xw->ic) {
                    if (ev.type == FocusIn)
                        XSetICFocus(xw->ic);
                    else
                        XUnsetICFocus(xw->ic);
                }
                break;
            case KeymapNotify:
                input_->keymap(ev.xkeymap);
                break;
            case ConfigureNotify:
                if (xw && xw->managed && ev.xconfigure.window == xw->id) configured(*xw, ev);
                break;
            case ReparentNotify:
                if (xw) xw->frame = frame_of(xw->id);
                stack_suspect_ = true;
                break;
            case PropertyNotify:
                if (xw && xw->managed && ev.xproperty.atom == atoms_.wm_state) state_changed(*xw);
                break;
            case ClientMessage:
                if (xw) client_message(*xw, ev);
                break;
            case MappingNotify:
                XRefreshKeyboardMapping(&ev.xmapping);
                break;
        }
    }

    // One of our windows changed its place in the root's stacking (seen through the
    // root's substructure events).
    bool restacked(const XEvent& ev) const {
        Window w = 0;
        switch (ev.type) {
            case ConfigureNotify:
                w = ev.xconfigure.window;
                break;
            case MapNotify:
                w = ev.xmap.window;
                break;
            case ReparentNotify:
                w = ev.xreparent.window;
                break;
            case CirculateNotify:
                w = ev.xcirculate.window;
                break;
            default:
                return false;
        }
        for (const auto& [hwnd, xw] : windows_)
            if (w && (xw.frame == w || xw.id == w)) return true;
        return false;
    }

    void motion(XEvent& ev) {
        // Only the latest of a run of moves counts.
        while (XEventsQueued(display_, QueuedAlready)) {
            XEvent next;
            XPeekEvent(display_, &next);
            if (next.type != MotionNotify || next.xmotion.window != ev.xmotion.window) break;
            XNextEvent(display_, &ev);
        }
        input_->motion(ev.xmotion);
    }

    // The focus moved: to one of our windows at the manager's or the user's doing,
    // to another program, or to where we asked for it.
    void settle_focus() {
        if (!focus_changed_) return;
        focus_changed_ = false;
        Window focus = None;
        int revert;
        XGetInputFocus(display_, &focus, &revert);
        const HWND hwnd = hwnd_of(focus);
        const auto now = Clock::now();
        while (!focus_asked_.empty() && now - focus_asked_.front().second > std::chrono::seconds(1))
            focus_asked_.pop_front();
        auto it = std::find_if(focus_asked_.begin(), focus_asked_.end(),
                               [&](const auto& a) { return a.first == hwnd; });
        if (hwnd && it != focus_asked_.end()) {
            focus_asked_.erase(focus_asked_.begin(), it + 1);
            return;
        }
        if (!focus_asked_.empty()) return;  // ours is still on its way
        input_->focus(hwnd, hwnd && press_pending(focus));
        active_ = hwnd;
    }

    bool press_pending(Window w) {
        struct Seek {
            Window w;
            bool found;
        } seek{w, false};
        XEvent ev;
        XCheckIfEvent(
            display_, &ev,
            [](Display*, XEvent* e, XPointer arg) -> Bool {
                auto* s = reinterpret_cast<Seek*>(arg);
                if (e->type == ButtonPress && e->xbutton.window == s->w) s->found = true;
                return False;
            },
            reinterpret_cast<XPointer>(&seek));
        return seek.found;
    }

    Window frame_of(Window w) {
        for (;;) {
            Window root, parent, *children = nullptr;
            unsigned count;
            if (!XQueryTree(display_, w, &root, &parent, &children, &count)) return w;
            if (children) XFree(children);
            if (parent == root || !parent) return w;
            w = parent;
        }
    }

    void configured(XWin& xw, const XEvent& ev) {
        RECT r;
        const auto& c = ev.xconfigure;
        if (c.send_event || xw.frame == xw.id) {
            r = RECT{c.x, c.y, c.x + c.width, c.y + c.height};
        } else {
            int x = 0, y = 0;
            Window child;
            XTranslateCoordinates(display_, xw.id, root_, 0, 0, &x, &y, &child);
            r = RECT{x, y, x + c.width, y + c.height};
        }
        auto it = std::find_if(xw.asked_rects.begin(), xw.asked_rects.end(),
                               [&](const RECT& a) { return same_rect(a, r); });
        if (it != xw.asked_rects.end()) {
            xw.asked_rects.erase(xw.asked_rects.begin(), it + 1);
            xw.rect = r;
            return;
        }
        xw.asked_rects.clear();
        xw.rect = r;
        if (xw.state != XState::Normal || same_rect(r, xw.shown.rect)) return;
        ++xw.pending;
        w32::input::system_moved(xw.shown.hwnd, r);
    }

    void state_changed(XWin& xw) {
        const std::vector<long> values =
            property_longs(display_, xw.id, atoms_.wm_state, atoms_.wm_state, 2);
        const long state = values.empty() ? -1 : values[0];
        if (state != NormalState && state != IconicState) return;
        const XState now = state == IconicState ? XState::Iconic : XState::Normal;
        auto it = std::find(xw.asked_states.begin(), xw.asked_states.end(), now);
        if (it != xw.asked_states.end()) {
            xw.asked_states.erase(xw.asked_states.begin(), it + 1);
            return;
        }
        xw.asked_states.clear();
        if (xw.state == XState::Withdrawn) return;
        xw.state = now;
        if ((now == XState::Iconic) == xw.shown.minimized) return;
        ++xw.pending;
        w32::input::system_minimized(xw.shown.hwnd, now == XState::Iconic);
    }

    void client_message(XWin& xw, XEvent& ev) {
        if (ev.xclient.message_type != atoms_.wm_protocols) return;
        const Atom what = static_cast<Atom>(ev.xclient.data.l[0]);
        if (what == atoms_.wm_delete_window) {
            w32::input::system_close(xw.shown.hwnd);
        } else if (what == atoms_.net_wm_ping) {
            ev.xclient.window = root_;
            XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask,
                       &ev);
        }
    }

    Display* display_ = nullptr;
    int screen_ = 0;
    Visual* visual_ = nullptr;
    Visual* argb_visual_ = nullptr;
    Window root_ = 0;
    Colormap colormap_ = 0, argb_colormap_ = 0;
    Atoms atoms_{};
    XIM im_ = nullptr;
    std::string host_;
    int wake_fd_ = -1;
    std::atomic<bool> dead_{false};
    std::atomic<bool> tray_dirty_{false};
    std::mutex mutex_;
    std::set<HWND> dirty_;
    std::vector<HWND> acks_;
    // Touched by the presenter thread only.
    std::map<HWND, XWin> windows_;
    std::map<Window, HWND> ids_;
    std::vector<Window> stacked_;          // the windows' order the server was last given
    std::vector<Window> managed_stacked_;  // and its managed windows' part
    Window raised_ = 0;                    // the front pop-up last raised over everything
    bool stack_suspect_ = false;           // the server's stacking may have drifted
    std::vector<uint32_t> pixels_;
    std::unique_ptr<InputTranslator> input_;  // before the tray, which reads its user time
    std::unique_ptr<TrayDock> tray_;
    std::unique_ptr<ScreenWatch> screen_watch_;
    std::map<HCURSOR, Cursor> cursors_;
    HCURSOR cursor_ = nullptr;
    Cursor blank_ = None;
    HWND active_ = nullptr;        // the active window as the server was last asked or told
    HWND layer_active_ = nullptr;  // the layer's, as this update read it
    std::deque<std::pair<HWND, Clock::time_point>> focus_asked_;
    bool focus_changed_ = false;
    bool wm_known_ = false, wm_ = false;
};

}  // namespace

void window_changed(HWND hwnd) {
    if (!hwnd) return;
    if (Presenter* p = Presenter::instance()) p->mark(hwnd);
}

void windows_changed() {
    if (Presenter* p = Presenter::instance()) p->mark(nullptr);
}

bool showing() {
    Presenter* p = Presenter::instance();
    return p && p->alive();
}

void system_change_done(HWND top) {
    if (Presenter* p = Presenter::instance()) p->done(top);
}

void tray_changed() {
    if (Presenter* p = Presenter::instance()) p->tray_dirty();
}

}  // namespace w32::present
