#include "x_input.h"

#include "x_shared.h"

#include <w32/input.h>
#include <w32/text.h>

#include "user32/input_state.h"

#include <windows.h>

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <string>

namespace w32::present {

using w32::input::Mouse;

namespace {

constexpr WORD kLeftControlScan = 0x1D;

// The key that picks a keyboard's third level: AltGr.
bool is_altgr(KeySym sym) { return sym == XK_ISO_Level3_Shift || sym == XK_Mode_switch; }

}  // namespace

DWORD InputTranslator::tick(Time t) {
    const DWORD now = GetTickCount();
    const DWORD mapped = static_cast<DWORD>(t) + time_offset_;
    if (!have_offset_ || static_cast<int32_t>(mapped - now) > 0 ||
        static_cast<int32_t>(now - mapped) > 10000) {
        time_offset_ = now - static_cast<DWORD>(t);
        have_offset_ = true;
    }
    user_time_ = t;
    return static_cast<DWORD>(t) + time_offset_;
}

void InputTranslator::button(const XButtonEvent& b) {
    const POINT p{b.x_root, b.y_root};
    const DWORD t = tick(b.time);
    const bool down = b.type == ButtonPress;
    switch (b.button) {
        case Button1:
            w32::input::mouse(down ? Mouse::LeftDown : Mouse::LeftUp, p, 0, t);
            break;
        case Button2:
            w32::input::mouse(down ? Mouse::MiddleDown : Mouse::MiddleUp, p, 0, t);
            break;
        case Button3:
            w32::input::mouse(down ? Mouse::RightDown : Mouse::RightUp, p, 0, t);
            break;
        case Button4:
        case Button5:
            if (down)
                w32::input::mouse(Mouse::Wheel, p,
                                  b.button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA, t);
            break;
    }
}

void InputTranslator::motion(const XMotionEvent& m) {
    w32::input::mouse(Mouse::Move, POINT{m.x_root, m.y_root}, 0, tick(m.time));
}

void InputTranslator::crossing(const XCrossingEvent& c) {
    user::set_pointer_position(POINT{c.x_root, c.y_root});
}

void InputTranslator::key(XKeyEvent& k, XIC ic) {
    const DWORD t = tick(k.time);
    const bool press = k.type == KeyPress;
    const KeySym base = XLookupKeysym(&k, 0);
    const WORD vk = virtual_key(base);
    WORD scan;
    bool extended;
    scan_code(k.keycode, &scan, &extended);
    if (is_altgr(base)) {
        // Windows' AltGr is a left Ctrl and the right Alt, the Ctrl first both ways, so
        // what it types comes as WM_KEYDOWN and WM_CHAR rather than as system keys.
        w32::input::key(VK_LCONTROL, kLeftControlScan, false, !press, {}, t);
        w32::input::key(VK_RMENU, scan, extended, !press, {}, t);
        return;
    }
    std::u32string text;
    if (press) {
        char buf[64] = {};
        KeySym sym = NoSymbol;
        int n = 0;
        if (ic) {
            Status status;
            n = Xutf8LookupString(ic, &k, buf, sizeof buf - 1, &sym, &status);
            if (status != XLookupChars && status != XLookupBoth) n = 0;
        } else {
            n = XLookupString(&k, buf, sizeof buf - 1, &sym, nullptr);
            if (n == 1 && static_cast<unsigned char>(buf[0]) >= 0x80) n = 0;
        }
        if (n > 0) {
            for (wchar_t c : w32::from_utf8(std::string_view(buf, static_cast<size_t>(n))))
                text.push_back(static_cast<char32_t>(c));
        } else if (char32_t c = keysym_char(sym ? sym : base)) {
            text.push_back(c);
        }
        // Delete types nothing on Windows.
        if (vk == VK_DELETE) text.clear();
    }
    if (!vk) {
        // A key with no Windows name that types something (a keysym the keyboard
        // map was given for it, an input method's result) arrives as VK_PACKET.
        if (press)
            for (char32_t c : text) w32::input::character(c, t);
        return;
    }
    w32::input::key(vk, scan, extended, !press, text, t);
}

void InputTranslator::keymap(const XKeymapEvent& e) {
    bool down[256] = {};
    for (int kc = 8; kc < 256; ++kc) {
        if (!(e.key_vector[kc / 8] & (1 << (kc % 8)))) continue;
        const KeySym sym = XkbKeycodeToKeysym(display_, static_cast<KeyCode>(kc), 0, 0);
        const WORD vk = virtual_key(sym);
        if (!vk) continue;
        down[vk] = true;
        if (is_altgr(sym)) down[VK_LCONTROL] = down[VK_CONTROL] = true;
        if (vk == VK_LSHIFT || vk == VK_RSHIFT) down[VK_SHIFT] = true;
        if (vk == VK_LCONTROL || vk == VK_RCONTROL) down[VK_CONTROL] = true;
        if (vk == VK_LMENU || vk == VK_RMENU) down[VK_MENU] = true;
    }
    w32::input::keys_down(down);
}

void InputTranslator::focus(HWND top, bool pressing) {
    if (top) {
        // A click that brought the focus activates the window itself, as a click on
        // Windows does.
        if (!pressing) w32::input::system_focus(top);
    } else {
        w32::input::system_focus(nullptr);
        w32::input::keys_down(nullptr);
    }
}

}  // namespace w32::present
