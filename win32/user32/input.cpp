// Pointer and keyboard input: from the X11 presenter or SendInput to the queue of the
// thread that owns the window it reaches, and from there, when the thread reads it,
// to the messages Windows makes of it.
//
// When input arrives the target is chosen: the capture window, else the window under
// the pointer (layered windows are click-through where they are transparent), the
// focus window for keys and the wheel (the active window, with WM_SYS* keys, when
// nothing has the focus). When the owning thread reads it, it sends WM_NCHITTEST,
// WM_MOUSEACTIVATE (activating the window) and WM_SETCURSOR, applies the double-click
// rule and the key state the event carries, and hands out the message.
#include "input_state.h"
#include "message_queue.h"
#include "window.h"
#include "window_class.h"

#include <w32/gdi.h>
#include <w32/input.h>
#include <w32/presenter.h>
#include <w32/screen.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace w32::user {

namespace {

constexpr UINT kDoubleClickTime = 500;

struct KeyState {
    std::mutex mu;
    std::bitset<256> down;
    std::bitset<256> toggled;
};

KeyState& keys() {
    static auto* k = new KeyState;
    return *k;
}

// A left or right key also sets its generic key; a generic one counts as the left.
void set_down_locked(KeyState& k, WORD vk, bool down) {
    static const WORD kPairs[][3] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                                     {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                                     {VK_MENU, VK_LMENU, VK_RMENU}};
    for (const auto& p : kPairs) {
        if (vk != p[0] && vk != p[1] && vk != p[2]) continue;
        k.down[vk == p[0] ? p[1] : vk] = down;
        k.down[p[0]] = k.down[p[1]] || k.down[p[2]];
        return;
    }
    k.down[vk & 0xFF] = down;
}

WORD generic_key(WORD vk) {
    switch (vk) {
        case VK_LSHIFT:
        case VK_RSHIFT:
            return VK_SHIFT;
        case VK_LCONTROL:
        case VK_RCONTROL:
            return VK_CONTROL;
        case VK_LMENU:
        case VK_RMENU:
            return VK_MENU;
    }
    return vk;
}

bool inside(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// A layered window lets the pointer through where it shows nothing.
bool transparent_at_locked(const Window& w, POINT p) {
    if (!(w.ex_style & WS_EX_LAYERED)) return false;
    if (w.ex_style & WS_EX_TRANSPARENT) return true;
    const auto& l = w.layered;
    if ((l.updated || l.attributes) && (l.flags & LWA_ALPHA) && l.alpha == 0) return true;
    const bool keyed = (l.updated || l.attributes) && (l.flags & LWA_COLORKEY);
    if ((!l.per_pixel && !keyed) || !w.surface) return false;
    std::lock_guard gdi(gdi::gdi_mutex());
    const auto& s = *w.surface;
    const int x = p.x - w.rect.left, y = p.y - w.rect.top;
    if (s.bpp != 32 || x < 0 || y < 0 || x >= s.width || y >= s.height) return false;
    const uint32_t px = s.pixel(x, y);
    if (l.per_pixel && (px >> 24) == 0) return true;
    const COLORREF rgb = RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
    return keyed && rgb == (l.key & 0xFFFFFF);
}

bool skipped(const std::vector<HWND>& exclude, HWND h) {
    return std::find(exclude.begin(), exclude.end(), h) != exclude.end();
}

// The window the pointer is over: the frontmost visible top-level window, then its
// frontmost visible enabled child at the point, and so on down. A disabled child
// leaves the point to its parent.
HWND window_at_locked(POINT p, const std::vector<HWND>& exclude, DWORD only_tid = 0) {
    WindowPtr hit;
    for (HWND h : desktop_locked()->children) {
        auto w = find_window_locked(h);
        if (!w || w->kind != WindowKind::Normal || w->destroying || skipped(exclude, h)) continue;
        if (!(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE) || !inside(w->rect, p)) continue;
        if (only_tid && w->tid != only_tid) continue;
        if (transparent_at_locked(*w, p)) continue;
        hit = w;
        break;
    }
    while (hit) {
        const POINT origin = client_origin_locked(*hit);
        const RECT client{origin.x, origin.y, origin.x + hit->client.right - hit->client.left,
                          origin.y + hit->client.bottom - hit->client.top};
        if (!inside(client, p)) break;
        WindowPtr next;
        for (HWND h : hit->children) {
            auto c = find_window_locked(h);
            if (!c || skipped(exclude, h) || !(c->style & WS_VISIBLE) || (c->style & WS_DISABLED))
                continue;
            const RECT r{c->rect.left + origin.x, c->rect.top + origin.y, c->rect.right + origin.x,
                         c->rect.bottom + origin.y};
            if (inside(r, p)) {
                next = c;
                break;
            }
        }
        if (!next) break;
        hit = next;
    }
    return hit ? hit->hwnd : nullptr;
}

WPARAM mouse_keys(const std::bitset<256>& k) {
    WPARAM mk = 0;
    if (k[VK_LBUTTON]) mk |= MK_LBUTTON;
    if (k[VK_RBUTTON]) mk |= MK_RBUTTON;
    if (k[VK_MBUTTON]) mk |= MK_MBUTTON;
    if (k[VK_SHIFT]) mk |= MK_SHIFT;
    if (k[VK_CONTROL]) mk |= MK_CONTROL;
    return mk;
}

bool push(HWND target, InputEvent ev) {
    QueuePtr queue;
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(target);
        if (!w || w->kind != WindowKind::Normal || !w->queue) return false;
        queue = w->queue;
    }
    ev.msg.hwnd = target;
    return queue->push_input(std::move(ev));
}

// Runs fn on the thread that owns top, in order with its input.
void on_thread_of(HWND top, std::function<void()> fn) {
    InputEvent ev;
    ev.task = std::move(fn);
    push(top, std::move(ev));
}

// What this thread last read, for GetKeyState, double clicks and TranslateMessage.
struct ThreadInput {
    std::bitset<256> applied;
    HWND click_hwnd = nullptr;
    UINT click_msg = 0;
    DWORD click_time = 0;
    POINT click_pt{};
    bool armed = false;
    MSG key{};            // the last key press read
    std::u32string text;  // and what it types
};

thread_local ThreadInput t_input;

// The window that had the last button press, and the window the desktop last gave
// the keyboard to (guarded by user_mutex()).
HWND g_presser = nullptr;
HWND g_desktop_focus = nullptr;

// A window of the thread that keys go to: the focus, the active window, or the
// window the desktop just focused while its thread has yet to activate it.
HWND keyboard_thread_window_locked() {
    for (HWND h : {focus_locked(), foreground_locked(), g_desktop_focus})
        if (find_window_locked(h)) return h;
    return nullptr;
}

void apply_keys(const std::bitset<256>& k) {
    const auto changed = t_input.applied ^ k;
    for (int vk = 0; vk < 256; ++vk)
        if (changed[vk]) set_key_down(vk, k[vk]);
    t_input.applied = k;
}

bool is_button_down(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN;
}

// Windows' rule: a second press of the same button on the same window within the
// double-click time and rectangle; the click after a double click starts afresh.
bool double_click(HWND hwnd, UINT msg, DWORD time, POINT p) {
    auto& t = t_input;
    const int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    if (t.armed && t.click_hwnd == hwnd && t.click_msg == msg &&
        time - t.click_time < GetDoubleClickTime() && std::abs(p.x - t.click_pt.x) <= cx &&
        std::abs(p.y - t.click_pt.y) <= cy) {
        t.armed = false;
        return true;
    }
    t.click_hwnd = hwnd;
    t.click_msg = msg;
    t.click_time = time;
    t.click_pt = p;
    t.armed = true;
    return false;
}

// Turns a mouse event into the message the window sees; false when it is dropped.
bool convert_mouse(InputEvent& ev, MSG* out) {
    HWND hwnd = ev.msg.hwnd;
    const POINT p = ev.msg.pt;
    const UINT base = ev.msg.message;
    if (base == WM_MOUSEWHEEL) {
        *out = ev.msg;
        std::lock_guard lock(user_mutex());
        for (HWND h : {focus_locked(), foreground_locked()}) {
            auto w = find_window_locked(h);
            if (w && w->tid == GetCurrentThreadId()) {
                out->hwnd = h;
                return true;
            }
        }
        return false;
    }
    // The window is chosen when the thread reads the event, as on Windows: a capture
    // taken since (in the handler of the press before it) already counts.
    {
        std::lock_guard lock(user_mutex());
        auto cap = find_window_locked(capture_locked());
        if (cap && cap->tid == GetCurrentThreadId()) {
            hwnd = cap->hwnd;
            ev.captured = true;
        } else {
            auto w = find_window_locked(window_at_locked(p, {}));
            if (!w || w->tid != GetCurrentThreadId()) return false;
            hwnd = w->hwnd;
            ev.captured = false;
        }
    }
    LRESULT hit = HTCLIENT;
    if (!ev.captured) {
        // HTTRANSPARENT hands the point to the window beneath, of this thread.
        std::vector<HWND> passed;
        for (;;) {
            hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
            if (hit != HTTRANSPARENT) break;
            passed.push_back(hwnd);
            std::lock_guard lock(user_mutex());
            hwnd = window_at_locked(p, passed, GetCurrentThreadId());
            if (!hwnd || passed.size() > 64) return false;
        }
    }
    bool eat = false;
    if (is_button_down(base)) {
        HWND top = nullptr;
        bool activate = false;
        {
            std::lock_guard lock(user_mutex());
            auto t = top_level_of_locked(find_window_locked(hwnd));
            // A click on a window disabled by its modal pop-up brings the pop-up.
            const HWND target = t ? modal_popup_locked(t->hwnd) : nullptr;
            if (t && is_top_level_locked(*t) && foreground_locked() != target) {
                top = t->hwnd;
                activate = !(t->ex_style & WS_EX_NOACTIVATE) &&
                           (!(t->style & WS_DISABLED) || target != t->hwnd);
            }
        }
        if (top) {
            const LRESULT r = SendMessageW(hwnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                           MAKELPARAM(hit, base));
            if (activate && (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT))
                set_active_window(top, WA_CLICKACTIVE);
            eat = r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT;
        }
    }
    if (!ev.captured && IsWindow(hwnd))
        SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, base));
    bool dblclks = false, disabled = true;
    POINT origin{};
    {
        std::lock_guard lock(user_mutex());
        auto w = find_window_locked(hwnd);
        if (w) {
            dblclks = w->cls && (w->cls->style & CS_DBLCLKS);
            disabled = (w->style & WS_DISABLED) != 0;
            origin = client_origin_locked(*w);
        }
    }
    if (eat || disabled) return false;
    UINT msg = base;
    // Non-client double clicks need no class style.
    if (is_button_down(base) && double_click(hwnd, base, ev.msg.time, p) &&
        (dblclks || hit != HTCLIENT))
        msg = base + 2;
    *out = ev.msg;
    out->hwnd = hwnd;
    if (hit == HTCLIENT) {
        out->message = msg;
        out->wParam = mouse_keys(ev.keys);
        out->lParam = MAKELPARAM(p.x - origin.x, p.y - origin.y);
        if (msg == base && is_button_down(base))
            send_parent_notify(hwnd, static_cast<WORD>(base), p);
    } else {
        out->message = msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
        out->wParam = static_cast<WPARAM>(hit);
        out->lParam = MAKELPARAM(p.x, p.y);
    }
    return true;
}

bool convert(InputEvent& ev, MSG* out) {
    apply_keys(ev.keys);
    const UINT m = ev.msg.message;
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST) {
        // The focus window when the thread reads the key, else its active window,
        // which gets every key as a system key.
        *out = ev.msg;
        {
            std::lock_guard lock(user_mutex());
            auto f = find_window_locked(focus_locked());
            auto a = find_window_locked(foreground_locked());
            const DWORD me = GetCurrentThreadId();
            if (f && f->tid == me) {
                out->hwnd = f->hwnd;
            } else if (a && a->tid == me) {
                out->hwnd = a->hwnd;
                if (m == WM_KEYDOWN || m == WM_KEYUP)
                    out->message = m + (WM_SYSKEYDOWN - WM_KEYDOWN);
            } else {
                return false;
            }
        }
        if (m == WM_KEYDOWN || m == WM_SYSKEYDOWN) {
            t_input.key = *out;
            t_input.text = std::move(ev.text);
        }
        return true;
    }
    return convert_mouse(ev, out);
}

std::bitset<256> snapshot() {
    auto& k = keys();
    std::lock_guard lock(k.mu);
    return k.down;
}

// 0..65535 spans the primary monitor, or the virtual screen when asked.
POINT from_absolute(LONG dx, LONG dy, bool virtual_desk) {
    const w32::screen::Layout layout = w32::screen::current();
    const RECT screen = virtual_desk ? layout.bounds() : layout.primary().rect;
    const LONG w = screen.right - screen.left, h = screen.bottom - screen.top;
    return POINT{screen.left + static_cast<LONG>((static_cast<int64_t>(dx) * w) >> 16),
                 screen.top + static_cast<LONG>((static_cast<int64_t>(dy) * h) >> 16)};
}

}  // namespace

bool take_input(Queue& queue, const MessageFilter& filter, bool remove, MSG* out) {
    if (queue.take_ready(filter, remove, out)) return true;
    while (auto ev = queue.pop_input(filter)) {
        if (ev->task) {
            ev->task();
            continue;
        }
        if (!convert(*ev, out)) continue;
        if (!remove) queue.push_ready(*out);
        return true;
    }
    return false;
}

}  // namespace w32::user

namespace w32::input {

using namespace w32::user;

std::u32string key_text(WORD vk, bool shift, bool ctrl, bool alt, bool caps) {
    (void)alt;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return std::u32string(1, static_cast<char32_t>(vk - 'A' + 1));
        return std::u32string(1, static_cast<char32_t>((shift != caps) ? vk : vk + 32));
    }
    if (ctrl) return {};
    if (vk >= '0' && vk <= '9') return std::u32string(1, shift ? U")!@#$%^&*("[vk - '0'] : vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        return std::u32string(1, U'0' + (vk - VK_NUMPAD0));
    struct Pair {
        WORD vk;
        char32_t plain, shifted;
    };
    static const Pair table[] = {
        {VK_SPACE, U' ', U' '},      {VK_RETURN, U'\r', U'\r'},  {VK_BACK, 8, 8},
        {VK_TAB, U'\t', U'\t'},      {VK_ESCAPE, 27, 27},        {VK_OEM_1, U';', U':'},
        {VK_OEM_PLUS, U'=', U'+'},   {VK_OEM_COMMA, U',', U'<'}, {VK_OEM_MINUS, U'-', U'_'},
        {VK_OEM_PERIOD, U'.', U'>'}, {VK_OEM_2, U'/', U'?'},     {VK_OEM_3, U'`', U'~'},
        {VK_OEM_4, U'[', U'{'},      {VK_OEM_5, U'\\', U'|'},    {VK_OEM_6, U']', U'}'},
        {VK_OEM_7, U'\'', U'"'},     {VK_MULTIPLY, U'*', U'*'},  {VK_ADD, U'+', U'+'},
        {VK_SUBTRACT, U'-', U'-'},   {VK_DECIMAL, U'.', U'.'},   {VK_DIVIDE, U'/', U'/'},
    };
    for (const auto& e : table)
        if (e.vk == vk) return std::u32string(1, shift ? e.shifted : e.plain);
    return {};
}

void mouse(Mouse what, POINT p, int wheel, DWORD time) {
    if (!time) time = GetTickCount();
    set_pointer_position(p);
    static const struct {
        UINT msg;
        int vk;
        bool down;
    } kinds[] = {{WM_MOUSEMOVE, 0, false},          {WM_LBUTTONDOWN, VK_LBUTTON, true},
                 {WM_LBUTTONUP, VK_LBUTTON, false}, {WM_RBUTTONDOWN, VK_RBUTTON, true},
                 {WM_RBUTTONUP, VK_RBUTTON, false}, {WM_MBUTTONDOWN, VK_MBUTTON, true},
                 {WM_MBUTTONUP, VK_MBUTTON, false}, {WM_MOUSEWHEEL, 0, false}};
    const auto& kind = kinds[static_cast<int>(what)];
    InputEvent ev;
    {
        auto& k = keys();
        std::lock_guard lock(k.mu);
        if (kind.vk) {
            if (kind.down && !k.down[kind.vk]) k.toggled.flip(kind.vk);
            k.down[kind.vk] = kind.down;
        }
        ev.keys = k.down;
    }
    ev.msg.message = kind.msg;
    ev.msg.time = time;
    ev.msg.pt = p;
    HWND target;
    {
        std::lock_guard lock(user_mutex());
        if (what == Mouse::Wheel) {
            target = keyboard_thread_window_locked();
            ev.msg.wParam = MAKEWPARAM(mouse_keys(ev.keys), static_cast<WORD>(wheel));
            ev.msg.lParam = MAKELPARAM(p.x, p.y);
        } else if ((target = capture_locked())) {
            ev.captured = true;
        } else {
            // While a button is held the thread that had the press keeps getting the
            // pointer, so it can still take the capture for what is on its way.
            auto presser = find_window_locked(g_presser);
            const bool held = ev.keys[VK_LBUTTON] || ev.keys[VK_RBUTTON] || ev.keys[VK_MBUTTON];
            target = ((held && !kind.down) || (kind.vk && !kind.down)) && presser
                         ? presser->hwnd
                         : window_at_locked(p, {});
            if (kind.down && target) g_presser = target;
        }
    }
    if (target) push(target, std::move(ev));
}

void key(WORD vk, WORD scan, bool extended, bool up, const std::u32string& text, DWORD time) {
    if (!time) time = GetTickCount();
    const WORD generic = generic_key(vk);
    InputEvent ev;
    bool was_down, alt, ctrl;
    {
        auto& k = keys();
        std::lock_guard lock(k.mu);
        was_down = k.down[generic];
        const bool alt_before = k.down[VK_MENU];
        if (!up && !was_down) {
            k.toggled.flip(generic);
            if (generic != vk) k.toggled.flip(vk & 0xFF);
        }
        set_down_locked(k, vk, !up);
        alt = up ? alt_before : k.down[VK_MENU];
        ctrl = k.down[VK_CONTROL];
        ev.keys = k.down;
    }
    HWND target;
    {
        std::lock_guard lock(user_mutex());
        target = keyboard_thread_window_locked();
    }
    if (!target) return;
    // Alt combinations and F10 are system keys (so is every key for an active window
    // without a focus, which is settled when the thread reads it).
    const bool sys = (alt && !ctrl) || generic == VK_F10;
    ev.msg.message = up ? (sys ? WM_SYSKEYUP : WM_KEYUP) : (sys ? WM_SYSKEYDOWN : WM_KEYDOWN);
    ev.msg.wParam = generic;
    ev.msg.lParam = static_cast<LPARAM>(1u | (static_cast<UINT>(scan & 0xFF) << 16) |
                                        (extended ? 1u << 24 : 0) | (alt ? 1u << 29 : 0) |
                                        ((was_down || up) ? 1u << 30 : 0) | (up ? 1u << 31 : 0));
    ev.msg.time = time;
    GetCursorPos(&ev.msg.pt);
    if (!up) ev.text = text;
    push(target, std::move(ev));
}

void character(char32_t ch, DWORD time) {
    for (bool up : {false, true}) {
        InputEvent ev;
        ev.keys = snapshot();
        HWND target;
        {
            std::lock_guard lock(user_mutex());
            target = keyboard_thread_window_locked();
        }
        if (!target) return;
        ev.msg.message = up ? WM_KEYUP : WM_KEYDOWN;
        ev.msg.wParam = VK_PACKET | (static_cast<WPARAM>(ch) << 16);
        ev.msg.lParam = static_cast<LPARAM>(1u | (up ? 3u << 30 : 0));
        ev.msg.time = time ? time : GetTickCount();
        GetCursorPos(&ev.msg.pt);
        push(target, std::move(ev));
    }
}

void keys_down(const bool* down_by_vk) {
    auto& k = keys();
    std::lock_guard lock(k.mu);
    for (int vk = 0; vk < 256; ++vk) {
        if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) continue;
        k.down[vk] = down_by_vk && down_by_vk[vk];
    }
}

void system_focus(HWND top) {
    HWND target = top;
    {
        std::lock_guard lock(user_mutex());
        g_desktop_focus = top;
        if (!target) target = foreground_locked();
    }
    if (!target) return;
    on_thread_of(target, [top] {
        if (top && !IsWindow(top)) return;
        set_active_window(top, WA_ACTIVE);
    });
}

void system_moved(HWND top, RECT r) {
    on_thread_of(top, [top, r] {
        if (IsWindowVisible(top) && !IsIconic(top))
            SetWindowPos(top, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        w32::present::system_change_done(top);
    });
}

void system_minimized(HWND top, bool minimized) {
    on_thread_of(top, [top, minimized] {
        if (IsWindow(top) && (IsIconic(top) != 0) != minimized)
            SendMessageW(top, WM_SYSCOMMAND, minimized ? SC_MINIMIZE : SC_RESTORE, 0);
        w32::present::system_change_done(top);
    });
}

void system_close(HWND top) {
    on_thread_of(top, [top] {
        if (IsWindow(top)) SendMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
}

}  // namespace w32::input

using namespace w32::user;

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    const UINT m = msg->message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN) return m == WM_KEYUP || m == WM_SYSKEYUP;
    const WORD vk = LOWORD(msg->wParam);
    std::u32string text;
    const auto& last = t_input.key;
    if (vk == VK_PACKET) {
        text.assign(1, static_cast<char32_t>(msg->wParam >> 16));
    } else if (last.hwnd == msg->hwnd && last.message == m && last.wParam == msg->wParam &&
               last.lParam == msg->lParam && last.time == msg->time) {
        text = t_input.text;
    } else {
        text = w32::input::key_text(vk, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                                    GetKeyState(VK_MENU) < 0, (GetKeyState(VK_CAPITAL) & 1) != 0);
    }
    for (char32_t ch : text)
        PostMessageW(msg->hwnd, m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, static_cast<WPARAM>(ch),
                     msg->lParam);
    return TRUE;
}

SHORT WINAPI GetAsyncKeyState(int virtual_key) {
    if (virtual_key < 0 || virtual_key >= 256) return 0;
    auto& k = keys();
    std::lock_guard lock(k.mu);
    return k.down[virtual_key] ? static_cast<SHORT>(0x8000) : 0;
}

UINT WINAPI GetDoubleClickTime(void) { return kDoubleClickTime; }

HWND WINAPI WindowFromPoint(POINT point) {
    std::lock_guard lock(user_mutex());
    return window_at_locked(point, {});
}

UINT WINAPI SendInput(UINT count, LPINPUT inputs, int size) {
    if (size != static_cast<int>(sizeof(INPUT)) || (count && !inputs)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    using w32::input::Mouse;
    for (UINT i = 0; i < count; ++i) {
        const INPUT& in = inputs[i];
        if (in.type == INPUT_MOUSE) {
            const MOUSEINPUT& mi = in.mi;
            POINT p;
            GetCursorPos(&p);
            if (mi.dwFlags & MOUSEEVENTF_MOVE) {
                if (mi.dwFlags & MOUSEEVENTF_ABSOLUTE) {
                    p = from_absolute(mi.dx, mi.dy, mi.dwFlags & MOUSEEVENTF_VIRTUALDESK);
                } else {
                    p.x += mi.dx;
                    p.y += mi.dy;
                }
                const RECT s = w32::screen::current().bounds();
                p.x = std::clamp(p.x, s.left, s.right - 1);
                p.y = std::clamp(p.y, s.top, s.bottom - 1);
                w32::input::mouse(Mouse::Move, p, 0, mi.time);
            }
            static const std::pair<DWORD, Mouse> buttons[] = {
                {MOUSEEVENTF_LEFTDOWN, Mouse::LeftDown},
                {MOUSEEVENTF_LEFTUP, Mouse::LeftUp},
                {MOUSEEVENTF_RIGHTDOWN, Mouse::RightDown},
                {MOUSEEVENTF_RIGHTUP, Mouse::RightUp},
                {MOUSEEVENTF_MIDDLEDOWN, Mouse::MiddleDown},
                {MOUSEEVENTF_MIDDLEUP, Mouse::MiddleUp}};
            for (auto [flag, what] : buttons)
                if (mi.dwFlags & flag) w32::input::mouse(what, p, 0, mi.time);
            if (mi.dwFlags & MOUSEEVENTF_WHEEL)
                w32::input::mouse(Mouse::Wheel, p, static_cast<int>(mi.mouseData), mi.time);
        } else if (in.type == INPUT_KEYBOARD) {
            const KEYBDINPUT& ki = in.ki;
            if (ki.dwFlags & KEYEVENTF_UNICODE) {
                if (!(ki.dwFlags & KEYEVENTF_KEYUP)) w32::input::character(ki.wScan, ki.time);
                continue;
            }
            const WORD vk = ki.wVk;
            const bool up = (ki.dwFlags & KEYEVENTF_KEYUP) != 0;
            std::u32string text;
            if (!up) {
                auto& k = keys();
                std::lock_guard lock(k.mu);
                text = w32::input::key_text(vk, k.down[VK_SHIFT], k.down[VK_CONTROL],
                                            k.down[VK_MENU], k.toggled[VK_CAPITAL]);
            }
            w32::input::key(vk, ki.wScan, (ki.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0, up, text,
                            ki.time);
        } else {
            SetLastError(ERROR_INVALID_PARAMETER);
            return i;
        }
    }
    return count;
}
