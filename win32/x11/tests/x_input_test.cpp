// The X input translation as a table: X events built with the keycodes of the test
// desktop's keymap go through the translator, and the messages a window of this thread
// then reads are checked against what Windows sends for the same input.
#include <windows.h>

#include <gtest/gtest.h>
// Xlib's macros (None, Bool, ...) after gtest, which uses those names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/win32_pump.h"
#include "testing/x_desktop.h"
#include "x_input.h"
#include "x_shared.h"

using testing_support::ScopedEnv;
using testing_support::XDesktop;

namespace {

struct Got {
    HWND hwnd;
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
    DWORD time = 0;
    bool operator==(const Got& o) const {
        return hwnd == o.hwnd && msg == o.msg && wparam == o.wparam && lparam == o.lparam;
    }
};
std::vector<Got> g_got;

void PrintTo(const Got& g, std::ostream* os) {
    *os << std::hex << "{" << reinterpret_cast<uintptr_t>(g.hwnd) << " " << g.msg << " " << g.wparam
        << " " << g.lparam << "}";
}

bool Wanted(UINT m) {
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           m == WM_ACTIVATE || m == WM_MOUSEACTIVATE;
}

LRESULT CALLBACK Record(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (Wanted(msg)) g_got.push_back({hwnd, msg, wp, lp, static_cast<DWORD>(GetMessageTime())});
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// One X event of the table: a key (by keysym) or button going down or up, a move or
// a crossing, at a server time, with the modifier state X reports with it.
struct XIn {
    enum Kind { KeyDown, KeyUp, Press, Release, Move, Cross } kind;
    unsigned long what = 0;  // keysym or button
    unsigned state = 0;
    int x = 0, y = 0;
    Time time = 0;
};
XIn KeyDown(unsigned long sym, unsigned state = 0) { return {XIn::KeyDown, sym, state}; }
XIn KeyUp(unsigned long sym, unsigned state = 0) { return {XIn::KeyUp, sym, state}; }
XIn Press(unsigned b, int x, int y, Time t = 0) { return {XIn::Press, b, 0, x, y, t}; }
XIn Release(unsigned b, int x, int y, Time t = 0) { return {XIn::Release, b, 0, x, y, t}; }
XIn Move(int x, int y, Time t = 0) { return {XIn::Move, 0, 0, x, y, t}; }

// Each test in a process of its own: a presenter that earlier tests of the process
// started would hand the layer the desktop's own focus changes meanwhile.
class FreshProcessXInput : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XDesktop::Installed()) GTEST_SKIP() << "Xvfb or openbox is not installed";
        x_ = XDesktop::Get();
        ASSERT_TRUE(x_) << "no X desktop could be started";
        // The layer's own display connection (when it has one) must not add input.
        headless_ = std::make_unique<ScopedEnv>("WIN32_NO_DISPLAY", "1");
        Open(x_->display());
        static ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Record;
            wc.lpszClassName = L"XInputTestWindow";
            return RegisterClassW(&wc);
        }();
        ASSERT_NE(atom, 0);
        // Owned pop-ups where no other test points: a window manager leaves them be.
        owner_ = CreateWindowExW(0, L"XInputTestWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, nullptr, nullptr);
        for (int i = 0; i < 2; ++i)
            win_[i] =
                CreateWindowExW(0, L"XInputTestWindow", L"", WS_POPUP | WS_VISIBLE, 1000 + 110 * i,
                                650, 100, 100, owner_, nullptr, nullptr, nullptr);
        translator_->focus(nullptr, false);
        Read();
        SetActiveWindow(win_[0]);
        Read();
    }
    void TearDown() override {
        if (owner_) DestroyWindow(owner_);
        if (own_display_) XCloseDisplay(own_display_);
    }

    // A translator on a connection that knows the server's keymap as it is now.
    void Open(Display* d) {
        display_ = d;
        translator_ = std::make_unique<w32::present::InputTranslator>(d);
    }
    KeyCode Code(unsigned long sym) { return XKeysymToKeycode(display_, sym); }
    unsigned Mask(unsigned long sym) { return XkbKeysymToModifiers(display_, sym); }

    void Feed(const XIn& in) {
        static const int kTypes[] = {KeyPress,      KeyRelease,   ButtonPress,
                                     ButtonRelease, MotionNotify, EnterNotify};
        XEvent ev{};
        // Key, button, motion and crossing events begin with the same fields.
        XKeyEvent& k = ev.xkey;
        k.type = kTypes[in.kind];
        k.display = display_;
        k.window = DefaultRootWindow(display_);
        k.time = in.time;
        k.x_root = in.x;
        k.y_root = in.y;
        k.state = in.state;
        if (in.kind == XIn::KeyDown || in.kind == XIn::KeyUp) {
            k.keycode = Code(in.what);
            ASSERT_NE(k.keycode, 0u) << "no key for keysym " << in.what;
            translator_->key(k, nullptr);
        } else if (in.kind == XIn::Press || in.kind == XIn::Release) {
            ev.xbutton.button = static_cast<unsigned>(in.what);
            translator_->button(ev.xbutton);
        } else if (in.kind == XIn::Move) {
            translator_->motion(ev.xmotion);
        } else {
            translator_->crossing(ev.xcrossing);
        }
    }
    // The keys held (by keysym) when the keyboard comes to one of our windows.
    void Keymap(const std::vector<unsigned long>& held) {
        XKeymapEvent e{};
        e.type = KeymapNotify;
        for (unsigned long sym : held) {
            const KeyCode kc = Code(sym);
            e.key_vector[kc / 8] = static_cast<char>(e.key_vector[kc / 8] | (1 << (kc % 8)));
        }
        translator_->keymap(e);
    }
    // Reads this thread's messages as a program's loop does; what the windows got.
    std::vector<Got> Read() {
        g_got.clear();
        testing_support::PumpUntil([] { return true; });
        return g_got;
    }
    std::vector<Got> Run(const std::vector<XIn>& events) {
        for (const auto& e : events) Feed(e);
        return Read();
    }
    // A key message to the first window. lParam: a repeat count of 1, the scan code,
    // extended, Alt, the previous state (held, and every release) and the release.
    Got K(UINT msg, WPARAM vk, WORD scan, bool extended = false, bool alt = false,
          bool held = false) const {
        const bool up = msg == WM_KEYUP || msg == WM_SYSKEYUP;
        return {win_[0], msg, vk,
                static_cast<LPARAM>(1u | UINT{scan} << 16 | (extended ? 1u << 24 : 0) |
                                    (alt ? 1u << 29 : 0) | (held || up ? 1u << 30 : 0) |
                                    (up ? 1u << 31 : 0))};
    }

    XDesktop* x_ = nullptr;
    std::unique_ptr<ScopedEnv> headless_;
    Display* display_ = nullptr;
    Display* own_display_ = nullptr;
    std::unique_ptr<w32::present::InputTranslator> translator_;
    HWND owner_ = nullptr;
    HWND win_[2] = {};
};

TEST_F(FreshProcessXInput, ButtonsAndTheWheelGiveMouseMessagesInClientCoordinatesAndServerTimes) {
    HWND w = win_[0];
    const struct {
        std::vector<XIn> events;
        std::vector<Got> messages;
    } rows[] = {
        {{Press(Button1, 1010, 660), Release(Button1, 1010, 661)},
         {{w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)},
          {w, WM_LBUTTONUP, 0, MAKELPARAM(10, 11)}}},
        {{Press(Button2, 1099, 749), Release(Button2, 1099, 749)},
         {{w, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(99, 99)},
          {w, WM_MBUTTONUP, 0, MAKELPARAM(99, 99)}}},
        {{Press(Button3, 1000, 650), Release(Button3, 1000, 650)},
         {{w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(0, 0)}, {w, WM_RBUTTONUP, 0, 0}}},
        // The wheel: button 4 turns it away from the user, 5 towards; a notch each
        // press, the releases say nothing; sideways buttons are not a wheel here.
        {{Press(Button4, 1020, 670), Release(Button4, 1020, 670)},
         {{w, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(1020, 670)}}},
        {{Press(Button5, 1020, 670), Release(Button5, 1020, 670)},
         {{w, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
           MAKELPARAM(1020, 670)}}},
        {{Press(6, 1020, 670), Press(7, 1020, 670)}, {}},
        {{Move(1050, 700)}, {{w, WM_MOUSEMOVE, 0, MAKELPARAM(50, 50)}}},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(Run(rows[i].events), rows[i].messages) << "row " << i;
    // Message times keep the spacing of the server's (for events that happened up to
    // ten seconds back); the latest is the user time.
    Run({Move(1010, 660, 60000)});
    const auto timed = Run({Move(1011, 660, 55000), Press(Button1, 1011, 660, 55040),
                            Release(Button1, 1011, 660, 55290)});
    ASSERT_EQ(timed.size(), 3u);
    EXPECT_EQ(timed[1].time - timed[0].time, 40u);
    EXPECT_EQ(timed[2].time - timed[1].time, 250u);
    EXPECT_EQ(translator_->user_time(), 55290u);
    // A crossing moves the pointer the layer reports, with no message of its own.
    EXPECT_TRUE(Run({{XIn::Cross, 0, 0, 1111, 666}}).empty());
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 1111);
    EXPECT_EQ(p.y, 666);
}

TEST_F(FreshProcessXInput, KeysGiveVirtualKeysScanCodesAndTheCharactersTheyType) {
    const unsigned shift = Mask(XK_Shift_L), ctrl = Mask(XK_Control_L);
    const struct {
        std::vector<XIn> events;
        std::vector<Got> messages;
    } rows[] = {
        {{KeyDown(XK_a), KeyUp(XK_a)},
         {K(WM_KEYDOWN, 'A', 0x1E), K(WM_CHAR, 'a', 0x1E), K(WM_KEYUP, 'A', 0x1E)}},
        {{KeyDown(XK_Shift_R), KeyDown(XK_a, shift)},
         {K(WM_KEYDOWN, VK_SHIFT, 0x36), K(WM_KEYDOWN, 'A', 0x1E), K(WM_CHAR, 'A', 0x1E)}},
        {{KeyUp(XK_Shift_R, shift), KeyDown(XK_Control_R), KeyDown(XK_v, ctrl)},
         {K(WM_KEYUP, VK_SHIFT, 0x36), K(WM_KEYDOWN, VK_CONTROL, 0x1D, true),
          K(WM_KEYDOWN, 'V', 0x2F), K(WM_CHAR, 0x16, 0x2F)}},
        // Held, a key repeats as presses with the previous-state bit.
        {{KeyUp(XK_v, ctrl), KeyUp(XK_Control_R, ctrl), KeyDown(XK_Right), KeyDown(XK_Right),
          KeyUp(XK_Right)},
         {K(WM_KEYUP, 'V', 0x2F), K(WM_KEYUP, VK_CONTROL, 0x1D, true),
          K(WM_KEYDOWN, VK_RIGHT, 0x4D, true), K(WM_KEYDOWN, VK_RIGHT, 0x4D, true, false, true),
          K(WM_KEYUP, VK_RIGHT, 0x4D, true)}},
        // Delete types nothing; the keypad's Enter is an extended Return.
        {{KeyDown(XK_Delete), KeyDown(XK_KP_Enter)},
         {K(WM_KEYDOWN, VK_DELETE, 0x53, true), K(WM_KEYDOWN, VK_RETURN, 0x1C, true),
          K(WM_CHAR, '\r', 0x1C, true)}},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(Run(rows[i].events), rows[i].messages) << "row " << i;
}

// The keyboard comes to the window while modifiers are held: the layer takes them as
// down, left and right apart, so the next click and key carry them.
TEST_F(FreshProcessXInput, ModifiersHeldWhenTheFocusArrivesCountFromThen) {
    HWND w = win_[0];
    const struct {
        std::vector<unsigned long> held;
        std::vector<int> down;  // what GetKeyState reports down after the click, in this order
        WPARAM mk;              // the click's key flags
        UINT key_message;       // what F then is
    } rows[] = {
        {{}, {}, 0, WM_KEYDOWN},
        {{XK_Control_L}, {VK_CONTROL, VK_LCONTROL}, MK_CONTROL, WM_KEYDOWN},
        {{XK_Control_R}, {VK_CONTROL, VK_RCONTROL}, MK_CONTROL, WM_KEYDOWN},
        {{XK_Shift_L}, {VK_SHIFT, VK_LSHIFT}, MK_SHIFT, WM_KEYDOWN},
        {{XK_Shift_R, XK_Control_L},
         {VK_SHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL},
         MK_SHIFT | MK_CONTROL,
         WM_KEYDOWN},
        {{XK_Alt_L}, {VK_MENU, VK_LMENU}, 0, WM_SYSKEYDOWN},
    };
    const int modifiers[] = {VK_SHIFT,    VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL,
                             VK_RCONTROL, VK_MENU,   VK_LMENU,  VK_RMENU};
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(i);
        translator_->focus(nullptr, false);
        Keymap(row.held);
        translator_->focus(win_[0], false);
        Read();
        auto got = Run({Press(Button1, 1010, 660), Release(Button1, 1010, 660)});
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got[0].wparam, MK_LBUTTON | row.mk);
        std::vector<int> down;
        for (int vk : modifiers)
            if (GetKeyState(vk) < 0) down.push_back(vk);
        EXPECT_EQ(down, row.down);
        got = Run({KeyDown(XK_F)});
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(std::pair(got[0].hwnd, got[0].msg), std::pair(w, row.key_message));
        Run({KeyUp(XK_F)});
    }
    // Leaving for another program lets every key go.
    translator_->focus(nullptr, false);
    Read();
    for (int vk : modifiers) EXPECT_EQ(GetAsyncKeyState(vk), 0) << vk;
}

// The focus arrives with a press on the way: the press activates the window, once, as
// a click; a focus alone activates it at once.
TEST_F(FreshProcessXInput, FocusWithAPressActivatesByTheClick) {
    HWND a = win_[0], b = win_[1];
    for (bool pressing : {true, false}) {
        SetActiveWindow(a);
        Read();
        translator_->focus(b, pressing);
        auto got = Run({});
        if (pressing) {
            EXPECT_EQ(GetActiveWindow(), a);
            const auto more = Run({Press(Button1, 1120, 660)});
            got.insert(got.end(), more.begin(), more.end());
        }
        std::vector<Got> expected{{a, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(b)},
                                  {b, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(a)}};
        if (pressing) {
            expected.insert(expected.begin(), {b, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(b),
                                               MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)});
            expected.back().wparam = WA_CLICKACTIVE;
            expected.push_back({b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)});
        }
        EXPECT_EQ(got, expected) << pressing;
        Run({Release(Button1, 1120, 660)});
    }
}

// A German keyboard's AltGr: Windows counts it as Ctrl+Alt, so what it types comes as
// a key and a character, not as system keys.
TEST_F(FreshProcessXInput, AltGrIsCtrlAndAltAndTypesCharacters) {
    if (!testing_support::OnPath("setxkbmap")) GTEST_SKIP() << "setxkbmap is not installed";
    ASSERT_EQ(x_->Run({"setxkbmap", "de"}), 0);
    struct Restore {
        XDesktop* x;
        ~Restore() { x->Run({"setxkbmap", "us"}); }
    } restore{x_};
    // A connection opened now knows the new keymap.
    own_display_ = XOpenDisplay(x_->name().c_str());
    ASSERT_TRUE(own_display_);
    Open(own_display_);
    ASSERT_EQ(XkbKeycodeToKeysym(display_, Code(XK_ISO_Level3_Shift), 0, 0), XK_ISO_Level3_Shift);
    HWND w = win_[0];
    const unsigned level3 = Mask(XK_ISO_Level3_Shift);
    WORD scan;
    bool extended;
    w32::present::scan_code(Code(XK_ISO_Level3_Shift), &scan, &extended);
    const auto typed = Run({KeyDown(XK_ISO_Level3_Shift), KeyDown(XK_q, level3),
                            KeyUp(XK_q, level3), KeyUp(XK_ISO_Level3_Shift, level3)});
    EXPECT_EQ(
        typed,
        (std::vector<Got>{
            K(WM_KEYDOWN, VK_CONTROL, 0x1D), K(WM_KEYDOWN, VK_MENU, scan, extended, true),
            K(WM_KEYDOWN, 'Q', 0x10, false, true), K(WM_CHAR, '@', 0x10, false, true),
            K(WM_KEYUP, 'Q', 0x10, false, true), K(WM_SYSKEYUP, VK_CONTROL, 0x1D, false, true),
            K(WM_SYSKEYUP, VK_MENU, scan, extended, true)}));
    // Held when the focus arrives, it is both keys too.
    translator_->focus(nullptr, false);
    Keymap({XK_ISO_Level3_Shift});
    translator_->focus(w, false);
    Read();
    const auto got = Run({KeyDown(XK_7, level3)});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].msg, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(got[1].msg, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(got[1].wparam, static_cast<WPARAM>('{'));
    for (int vk : {VK_CONTROL, VK_LCONTROL, VK_MENU, VK_RMENU}) EXPECT_LT(GetKeyState(vk), 0) << vk;
    translator_->focus(nullptr, false);
}

}  // namespace
