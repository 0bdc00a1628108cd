// Notification-area icons in the desktop's system tray (the freedesktop.org system
// tray protocol over XEmbed): each visible icon is a small X window that asks the
// tray's manager to dock it, draws the icon's picture scaled to the size the tray
// gives it over the tray's own background, carries the tooltip as its name, and
// turns presses and releases into the icon's callback message. Without a tray the
// icons stay the layer's recorded stand-ins.
#include "x_input.h"
#include "x_shared.h"

#include <w32/gdi.h>
#include <w32/icon_pixels.h>
#include <w32/screen.h>
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
// The tooltip: shown after the pointer rests this long, in the info colours, a little
// below the pointer (or above it).
constexpr int kTipDelayMs = 500;
constexpr int kTipPadX = 4, kTipPadY = 2, kTipBelow = 20, kTipAbove = 4;
constexpr COLORREF kTipBack = RGB(255, 255, 225), kTipInk = RGB(0, 0, 0),
                   kTipFrame = RGB(118, 118, 118);

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

TrayDock::TrayDock(Display* d, Window root, const Atoms& atoms, int screen,
                   const InputTranslator& input)
    : display_(d), root_(root), atoms_(atoms), screen_(screen), input_(input) {}

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
        if (it->win && tip) {
            name(*it);
            if (tip_shown_ && hovered_ == it->win) show_tip();
        }
        if (it->win && picture) draw(*it);
    }
}

void TrayDock::dock(Icon& icon) {
    XSetWindowAttributes a{};
    a.background_pixmap = ParentRelative;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask |
                   EnterWindowMask | LeaveWindowMask | PointerMotionMask;
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
    e.xclient.data.l[0] = static_cast<long>(input_.user_time());
    e.xclient.data.l[1] = kRequestDock;
    e.xclient.data.l[2] = static_cast<long>(icon.win);
    XSendEvent(display_, tray_, False, NoEventMask, &e);
}

void TrayDock::undock(Icon& icon) {
    if (!icon.win) return;
    if (hovered_ == icon.win) hide_tip();
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

int TrayDock::timeout() const {
    if (!hovered_ || tip_shown_) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        tip_due_ - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, kTipDelayMs));
}

void TrayDock::tick() {
    if (hovered_ && !tip_shown_ && std::chrono::steady_clock::now() >= tip_due_) show_tip();
}

// The tip in the desktop's tooltip look, drawn with the layer's own text: the info
// colours, a thin frame, the icon's tip on one line.
void TrayDock::show_tip() {
    Icon* icon = by_window(hovered_);
    if (!icon || icon->tip.empty()) return hide_tip();
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font =
        CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"微软雅黑");
    HGDIOBJ old_font = SelectObject(dc, font);
    RECT text{0, 0, 0, 0};
    const UINT format = DT_SINGLELINE | DT_NOPREFIX;
    DrawTextW(dc, icon->tip.c_str(), -1, &text, format | DT_CALCRECT);
    const int w = text.right + 2 * kTipPadX + 2, h = text.bottom + 2 * kTipPadY + 2;
    void* bits = nullptr;
    HBITMAP bitmap = w32::gdi::create_dib32(w, h, &bits);
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    const RECT whole{0, 0, w, h}, inside{1, 1, w - 1, h - 1};
    HBRUSH frame = CreateSolidBrush(kTipFrame), back = CreateSolidBrush(kTipBack);
    FillRect(dc, &whole, frame);
    FillRect(dc, &inside, back);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTipInk);
    text = RECT{1 + kTipPadX, 1 + kTipPadY, w - 1 - kTipPadX, h - 1 - kTipPadY};
    DrawTextW(dc, icon->tip.c_str(), -1, &text, format);
    if (bits) {
        const auto* p = static_cast<const uint32_t*>(bits);
        tip_pixels_.assign(p, p + static_cast<size_t>(w) * h);
    }
    SelectObject(dc, old_bitmap);
    SelectObject(dc, old_font);
    DeleteObject(frame);
    DeleteObject(back);
    DeleteObject(bitmap);
    DeleteObject(font);
    DeleteDC(dc);
    if (!bits) return;
    tip_width_ = w;
    tip_height_ = h;
    // Below the pointer, or above it where its monitor ends; never off the monitor's side.
    const RECT m = w32::screen::current().at(hover_at_, true)->rect;
    const int x = std::clamp<int>(hover_at_.x, m.left, std::max<int>(m.left, m.right - w));
    int y = hover_at_.y + kTipBelow;
    if (y + h > m.bottom) y = std::max<int>(m.top, hover_at_.y - kTipAbove - h);
    if (!tip_) {
        XSetWindowAttributes a{};
        a.override_redirect = True;
        a.event_mask = ExposureMask;
        tip_ = XCreateWindow(display_, root_, x, y, static_cast<unsigned>(w),
                             static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWOverrideRedirect | CWEventMask, &a);
        XChangeProperty(display_, tip_, atoms_.net_wm_window_type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&atoms_.net_wm_window_type_tooltip),
                        1);
        XClassHint cls{const_cast<char*>("tooltip"), const_cast<char*>("Tooltip")};
        XSetClassHint(display_, tip_, &cls);
    }
    const std::string utf8 = w32::to_utf8(icon->tip);
    XChangeProperty(display_, tip_, atoms_.net_wm_name, atoms_.utf8_string, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    XMoveResizeWindow(display_, tip_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XMapRaised(display_, tip_);
    tip_shown_ = true;
    put_tip();
}

void TrayDock::put_tip() {
    if (!tip_ || !tip_shown_ || tip_pixels_.empty()) return;
    XImage* image =
        XCreateImage(display_, DefaultVisual(display_, screen_),
                     static_cast<unsigned>(DefaultDepth(display_, screen_)), ZPixmap, 0,
                     reinterpret_cast<char*>(tip_pixels_.data()), static_cast<unsigned>(tip_width_),
                     static_cast<unsigned>(tip_height_), 32, tip_width_ * 4);
    if (!image) return;
    image->byte_order = LSBFirst;
    GC gc = XCreateGC(display_, tip_, 0, nullptr);
    XPutImage(display_, tip_, gc, image, 0, 0, 0, 0, static_cast<unsigned>(tip_width_),
              static_cast<unsigned>(tip_height_));
    XFreeGC(display_, gc);
    image->data = nullptr;  // ours
    XDestroyImage(image);
}

void TrayDock::hide_tip() {
    hovered_ = 0;
    if (tip_) XDestroyWindow(display_, tip_);
    tip_ = 0;
    tip_shown_ = false;
}

bool TrayDock::handle(const XEvent& ev) {
    if (tip_ && ev.xany.window == tip_) {
        if (ev.type == Expose && ev.xexpose.count == 0) put_tip();
        return true;
    }
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
        case EnterNotify:
        case MotionNotify:
            // The pointer rests on the icon: its tip shows after a while (moving
            // starts the wait again until it shows).
            if (tip_shown_ && hovered_ == icon->win) break;
            hovered_ = icon->win;
            hover_at_ = ev.type == MotionNotify ? POINT{ev.xmotion.x_root, ev.xmotion.y_root}
                                                : POINT{ev.xcrossing.x_root, ev.xcrossing.y_root};
            tip_due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTipDelayMs);
            break;
        case LeaveNotify:
            if (hovered_ == icon->win) hide_tip();
            break;
        case ButtonPress:
        case ButtonRelease: {
            hide_tip();
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
