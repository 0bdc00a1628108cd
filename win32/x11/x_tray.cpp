// Notification-area icons in the desktop's system tray (the freedesktop.org system
// tray protocol over XEmbed): each visible icon is a small X window that asks the
// tray's manager to dock it, draws the icon's picture scaled to the size the tray
// gives it over the tray's own background, carries the tooltip as its name, and
// turns presses and releases into the icon's callback message. Without a tray the
// icons stay the layer's recorded stand-ins.
#include "x_shared.h"

#include <w32/icon_pixels.h>
#include <w32/text.h>
#include <w32/tray.h>

#include "user32/input_state.h"

#include <windows.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrender.h>

#include <algorithm>

namespace w32::present {

namespace {

constexpr long kRequestDock = 0;
constexpr long kEmbeddedNotify = 0;
constexpr int kDefaultSize = 22;

// Box-filtered scaling of premultiplied pixels to w x h.
std::vector<uint32_t> scale(const std::vector<uint32_t>& src, int sw, int sh, int w, int h) {
    std::vector<uint32_t> out(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const int y0 = y * sh / h, y1 = std::max(y0 + 1, (y + 1) * sh / h);
        for (int x = 0; x < w; ++x) {
            const int x0 = x * sw / w, x1 = std::max(x0 + 1, (x + 1) * sw / w);
            uint64_t sum[4] = {};
            for (int j = y0; j < y1; ++j)
                for (int i = x0; i < x1; ++i) {
                    const uint32_t p = src[static_cast<size_t>(j) * sw + i];
                    for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
                }
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
            uint32_t p = 0;
            for (int c = 0; c < 4; ++c) p |= static_cast<uint32_t>((sum[c] + n / 2) / n) << (8 * c);
            out[static_cast<size_t>(y) * w + x] = p;
        }
    }
    return out;
}

}  // namespace

TrayDock::TrayDock(Display* d, Window root, const Atoms& atoms, int screen)
    : display_(d), root_(root), atoms_(atoms), screen_(screen) {}

TrayDock::~TrayDock() = default;

Window TrayDock::find_tray() {
    Window owner = XGetSelectionOwner(display_, atoms_.net_system_tray);
    if (owner != tray_) {
        tray_ = owner;
        // Its end tells us to take the icons back.
        if (tray_) XSelectInput(display_, tray_, StructureNotifyMask);
    }
    return tray_;
}

void TrayDock::update(bool find) {
    auto wanted = w32::tray::visible_icons();
    // Icons gone from the layer leave the tray.
    for (auto it = icons_.begin(); it != icons_.end();) {
        bool keep = std::any_of(wanted.begin(), wanted.end(), [&](const auto& v) {
            return v.owner == it->owner && v.id == it->id;
        });
        if (keep) {
            ++it;
            continue;
        }
        undock(*it);
        it = icons_.erase(it);
    }
    const Window tray = find ? find_tray() : tray_;
    for (const auto& v : wanted) {
        auto it = std::find_if(icons_.begin(), icons_.end(),
                               [&](const Icon& i) { return i.owner == v.owner && i.id == v.id; });
        if (it == icons_.end()) {
            Icon fresh;
            fresh.owner = v.owner;
            fresh.id = v.id;
            icons_.push_back(fresh);
            it = icons_.end() - 1;
        }
        const bool picture = !it->win || it->icon != v.icon, tip = it->tip != v.tip;
        it->icon = v.icon;
        it->tip = v.tip;
        if (!it->win && tray) dock(*it);
        if (it->win && tip) name(*it);
        if (it->win && picture) draw(*it);
    }
}

void TrayDock::dock(Icon& icon) {
    XSetWindowAttributes a{};
    a.background_pixmap = ParentRelative;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    icon.width = icon.height = kDefaultSize;
    icon.win = XCreateWindow(display_, root_, 0, 0, kDefaultSize, kDefaultSize, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &a);
    // XEmbed version 0, mapped once embedded.
    const long info[2] = {0, 1};
    XChangeProperty(display_, icon.win, atoms_.xembed_info, atoms_.xembed_info, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    // Trays size their sockets by what the icon asks for.
    XSizeHints size{};
    size.flags = PMinSize | PBaseSize;
    size.min_width = size.base_width = kDefaultSize;
    size.min_height = size.base_height = kDefaultSize;
    XSetWMNormalHints(display_, icon.win, &size);
    XClassHint cls{const_cast<char*>("tray"), const_cast<char*>("Tray")};
    XSetClassHint(display_, icon.win, &cls);
    name(icon);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = tray_;
    e.xclient.message_type = atoms_.net_system_tray_opcode;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(user_time_);
    e.xclient.data.l[1] = kRequestDock;
    e.xclient.data.l[2] = static_cast<long>(icon.win);
    XSendEvent(display_, tray_, False, NoEventMask, &e);
}

void TrayDock::undock(Icon& icon) {
    if (!icon.win) return;
    XDestroyWindow(display_, icon.win);
    icon.win = 0;
    icon.docked = false;
}

void TrayDock::name(Icon& icon) {
    const std::string utf8 = w32::to_utf8(icon.tip);
    for (Atom a : {atoms_.net_wm_name, atoms_.wm_name})
        XChangeProperty(display_, icon.win, a, atoms_.utf8_string, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()),
                        static_cast<int>(utf8.size()));
}

// The tray's background (ParentRelative), then the picture over it.
void TrayDock::draw(Icon& icon) {
    if (!icon.win || icon.width <= 0 || icon.height <= 0) return;
    XClearWindow(display_, icon.win);
    int w = 0, h = 0;
    POINT hot;
    std::vector<uint32_t> argb;
    if (!icon.icon || !w32::user::icon_pixels(icon.icon, &w, &h, &hot, &argb) || w <= 0 || h <= 0)
        return;
    // The largest square that fits, centred.
    const int side = std::min(icon.width, icon.height);
    auto pixels = scale(argb, w, h, side, side);
    XRenderPictFormat* argb_format = XRenderFindStandardFormat(display_, PictStandardARGB32);
    XWindowAttributes wa;
    if (!argb_format || !XGetWindowAttributes(display_, icon.win, &wa)) return;
    XRenderPictFormat* target_format = XRenderFindVisualFormat(display_, wa.visual);
    if (!target_format) return;
    Pixmap pixmap = XCreatePixmap(display_, icon.win, static_cast<unsigned>(side),
                                  static_cast<unsigned>(side), 32);
    GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XImage* image =
        XCreateImage(display_, nullptr, 32, ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                     static_cast<unsigned>(side), static_cast<unsigned>(side), 32, side * 4);
    if (image) {
        image->byte_order = LSBFirst;
        XPutImage(display_, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(side),
                  static_cast<unsigned>(side));
        image->data = nullptr;
        XDestroyImage(image);
    }
    Picture src = XRenderCreatePicture(display_, pixmap, argb_format, 0, nullptr);
    Picture dst = XRenderCreatePicture(display_, icon.win, target_format, 0, nullptr);
    XRenderComposite(display_, PictOpOver, src, None, dst, 0, 0, 0, 0, (icon.width - side) / 2,
                     (icon.height - side) / 2, static_cast<unsigned>(side),
                     static_cast<unsigned>(side));
    XRenderFreePicture(display_, src);
    XRenderFreePicture(display_, dst);
    XFreeGC(display_, gc);
    XFreePixmap(display_, pixmap);
}

TrayDock::Icon* TrayDock::by_window(Window w) {
    for (auto& icon : icons_)
        if (icon.win && icon.win == w) return &icon;
    return nullptr;
}

bool TrayDock::handle(const XEvent& ev) {
    // A tray came (its manager announces itself to the root) or went.
    if (ev.type == ClientMessage && ev.xclient.window == root_ &&
        ev.xclient.message_type == atoms_.manager &&
        static_cast<Atom>(ev.xclient.data.l[1]) == atoms_.net_system_tray) {
        update();
        return true;
    }
    if (ev.type == DestroyNotify && tray_ && ev.xdestroywindow.window == tray_) {
        tray_ = 0;
        for (auto& icon : icons_) undock(icon);
        return true;
    }
    Icon* icon = by_window(ev.xany.window);
    if (!icon) return false;
    switch (ev.type) {
        case ReparentNotify:
            // Back on the root: the tray let it go.
            if (ev.xreparent.parent == root_) {
                undock(*icon);
                tray_ = 0;
            } else {
                icon->docked = true;
            }
            break;
        case ConfigureNotify:
            if (ev.xconfigure.width != icon->width || ev.xconfigure.height != icon->height) {
                icon->width = ev.xconfigure.width;
                icon->height = ev.xconfigure.height;
                draw(*icon);
            }
            break;
        case Expose:
            if (ev.xexpose.count == 0) draw(*icon);
            break;
        case ClientMessage:
            if (ev.xclient.message_type == atoms_.xembed && ev.xclient.data.l[1] == kEmbeddedNotify)
                icon->docked = true;
            break;
        case ButtonPress:
        case ButtonRelease: {
            static const UINT down[] = {0, WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
            const unsigned b = ev.xbutton.button;
            if (b < 1 || b > 3) break;
            const POINT p{ev.xbutton.x_root, ev.xbutton.y_root};
            w32::user::set_pointer_position(p);
            w32::tray::click(icon->owner, icon->id, ev.type == ButtonPress ? down[b] : down[b] + 1,
                             p);
            break;
        }
    }
    return true;
}

}  // namespace w32::present
