// Input through SendInput, without an X server: the messages a window sees, in
// Windows' order, for clicks, double clicks, capture, the wheel and keys.
#include "user32_test_support.h"

#include "testing/dib_canvas.h"
#include "testing/scoped_env.h"

using namespace user32_test;

namespace {

using Step = std::pair<HWND, UINT>;

std::vector<Step> Trace(const std::vector<UINT>& wanted) {
    std::lock_guard lock(g_log_mutex);
    std::vector<Step> out;
    for (auto& s : g_log)
        if (std::find(wanted.begin(), wanted.end(), s.msg) != wanted.end())
            out.emplace_back(s.hwnd, s.msg);
    return out;
}

// A move to the pixel (x, y), in absolute units that map back onto it.
INPUT Mouse(DWORD flags, int x = 0, int y = 0, DWORD time = 0, DWORD data = 0) {
    INPUT in{INPUT_MOUSE};
    const LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    const DWORD absolute = flags & MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0;
    in.mi = {(x * 65536 + w - 1) / w, (y * 65536 + h - 1) / h, data, flags | absolute, time, 0};
    return in;
}

INPUT Key(WORD vk, bool up = false, DWORD flags = 0) {
    INPUT in{INPUT_KEYBOARD};
    in.ki = {vk, 0, flags | (up ? KEYEVENTF_KEYUP : 0), 0, 0};
    return in;
}

void Send(std::vector<INPUT> inputs) {
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
              inputs.size());
    Drain();
}

void Click(int x, int y, DWORD time, DWORD button = MOUSEEVENTF_LEFTDOWN) {
    Send({Mouse(MOUSEEVENTF_MOVE | button, x, y, time), Mouse(button << 1, x, y, time)});
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        // These tests inject their own input; a display must not add any.
        headless_ = std::make_unique<testing_support::ScopedEnv>("WIN32_NO_DISPLAY", "1");
        g_hook = nullptr;
        ReleaseCapture();
        SetActiveWindow(nullptr);
        Send({Mouse(MOUSEEVENTF_MOVE, 1279, 799)});
        ClearLog();
    }
    void TearDown() override {
        g_hook = nullptr;
        for (HWND h : windows_) DestroyWindow(h);
    }
    HWND Make(RECT r, DWORD style = WS_POPUP | WS_VISIBLE, HWND parent = nullptr,
              DWORD ex_style = 0, UINT class_style = 0) {
        HWND h = MakeWindow(style, parent, ex_style, r, class_style);
        if (!parent) windows_.push_back(h);
        return h;
    }
    std::vector<HWND> windows_;
    std::unique_ptr<testing_support::ScopedEnv> headless_;
};

TEST_F(InputTest, ClickOnAnInactiveWindowActivatesItThenDeliversThePress) {
    HWND a = Make({0, 0, 100, 100});
    HWND b = Make({200, 100, 300, 200});
    SetActiveWindow(a);
    ASSERT_EQ(GetFocus(), a);
    ClearLog();
    Click(210, 130, 0);
    const std::vector<Step> expected{{b, WM_SETCURSOR},   {b, WM_MOUSEACTIVATE}, {a, WM_NCACTIVATE},
                                     {a, WM_ACTIVATE},    {b, WM_NCACTIVATE},    {b, WM_ACTIVATE},
                                     {a, WM_KILLFOCUS},   {b, WM_SETFOCUS},      {b, WM_SETCURSOR},
                                     {b, WM_LBUTTONDOWN}, {b, WM_SETCURSOR},     {b, WM_LBUTTONUP}};
    EXPECT_EQ(Trace({WM_MOUSEACTIVATE, WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS,
                     WM_SETCURSOR, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_ACTIVATEAPP}),
              expected);
    EXPECT_EQ(SeenOf(WM_ACTIVATE)[1].wparam, static_cast<WPARAM>(WA_CLICKACTIVE));
    EXPECT_EQ(CallsOf(WM_LBUTTONDOWN), (Calls{{b, MK_LBUTTON, MAKELPARAM(10, 30)}}));
    EXPECT_EQ(CallsOf(WM_LBUTTONUP), (Calls{{b, 0, MAKELPARAM(10, 30)}}));
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetForegroundWindow(), b);
}

TEST_F(InputTest, MouseActivateAnswersDecideActivationAndWhetherThePressIsEaten) {
    for (auto [answer, ex_style, activated, delivered] :
         {std::tuple<LRESULT, DWORD, bool, bool>{MA_ACTIVATE, 0, true, true},
          {MA_ACTIVATEANDEAT, 0, true, false},
          {MA_NOACTIVATE, 0, false, true},
          {MA_NOACTIVATEANDEAT, 0, false, false},
          {MA_ACTIVATE, WS_EX_NOACTIVATE, false, true}}) {
        SetActiveWindow(nullptr);
        HWND w = Make({0, 0, 50, 50}, WS_POPUP | WS_VISIBLE, nullptr, ex_style);
        SetActiveWindow(nullptr);
        g_hook = [answer = answer](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_MOUSEACTIVATE) return answer;
            return std::nullopt;
        };
        ClearLog();
        Click(5, 5, 0);
        EXPECT_EQ(GetActiveWindow() == w, activated) << answer << " " << ex_style;
        EXPECT_EQ(SeenOf(WM_LBUTTONDOWN).size(), delivered ? 1u : 0u) << answer;
        DestroyWindow(w);
    }
}

TEST_F(InputTest, DoubleClicksFollowTheTimeAndDistanceRuleForClassesThatAskForThem) {
    struct Case {
        DWORD dt;
        int dx, dy;
        UINT class_style;
        UINT second, third;  // a third press 10 ms later where the first was
    };
    const Case cases[] = {
        {100, 1, 1, CS_DBLCLKS, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN},
        {499, 2, 2, CS_DBLCLKS, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN},
        {500, 0, 0, CS_DBLCLKS, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK},
        {100, 3, 0, CS_DBLCLKS, WM_LBUTTONDOWN, WM_LBUTTONDOWN},
        {100, 0, 3, CS_DBLCLKS, WM_LBUTTONDOWN, WM_LBUTTONDOWN},
        {100, 0, 0, 0, WM_LBUTTONDOWN, WM_LBUTTONDOWN},
    };
    DWORD t = 100000;
    for (const auto& c : cases) {
        HWND w = Make({0, 0, 100, 100}, WS_POPUP | WS_VISIBLE, nullptr, 0, c.class_style);
        ClearLog();
        Click(20, 20, t += 5000);
        Click(20 + c.dx, 20 + c.dy, t += c.dt);
        Click(20, 20, t += 10);
        EXPECT_EQ(MessagesOf(w, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
                  (std::vector<UINT>{WM_LBUTTONDOWN, c.second, c.third}))
            << c.dt << " " << c.dx << "," << c.dy;
        DestroyWindow(w);
    }
    // Another button or another window starts afresh.
    Make({0, 0, 50, 50}, WS_POPUP | WS_VISIBLE, nullptr, 0, CS_DBLCLKS);
    HWND b = Make({50, 0, 100, 50}, WS_POPUP | WS_VISIBLE, nullptr, 0, CS_DBLCLKS);
    ClearLog();
    Click(48, 10, t += 5000);
    Click(48, 10, t += 10, MOUSEEVENTF_RIGHTDOWN);
    Click(51, 10, t += 10);
    EXPECT_TRUE(SeenOf(WM_LBUTTONDBLCLK).empty());
    EXPECT_TRUE(SeenOf(WM_RBUTTONDBLCLK).empty());
    EXPECT_EQ(SeenOf(WM_LBUTTONDOWN).back().hwnd, b);
}

TEST_F(InputTest, CaptureRoutesThePointerOutsideAndReportsItsLoss) {
    HWND a = Make({100, 100, 200, 200});
    HWND b = Make({300, 100, 400, 200});
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(GetCapture(), a);
    Send({Mouse(MOUSEEVENTF_MOVE, 350, 150), Mouse(MOUSEEVENTF_MOVE, 50, 60)});
    // The two moves merge into the latest.
    EXPECT_EQ(CallsOf(WM_MOUSEMOVE), (Calls{{a, 0, MAKELPARAM(-50, -40)}}));
    EXPECT_TRUE(SeenOf(WM_SETCURSOR).empty());
    EXPECT_EQ(SetCapture(b), a);
    ReleaseCapture();
    EXPECT_EQ(CallsOf(WM_CAPTURECHANGED), (Calls{{a, 0, reinterpret_cast<LPARAM>(b)}, {b, 0, 0}}));
    EXPECT_EQ(GetCapture(), nullptr);
    ClearLog();
    Send({Mouse(MOUSEEVENTF_MOVE, 350, 150)});
    EXPECT_EQ(CallsOf(WM_MOUSEMOVE), (Calls{{b, 0, MAKELPARAM(50, 50)}}));
    // Another thread sees no capture of its own.
    SetCapture(a);
    HWND seen = a;
    std::thread([&] { seen = GetCapture(); }).join();
    EXPECT_EQ(seen, nullptr);
}

TEST_F(InputTest, PointerFindsChildrenAndPassesThroughTransparentParts) {
    HWND back = Make({0, 0, 200, 200});
    HWND parent = Make({0, 0, 100, 100});
    HWND child = Make({10, 10, 40, 40}, WS_CHILD | WS_VISIBLE, parent);
    Make({50, 10, 90, 40}, WS_CHILD | WS_VISIBLE | WS_DISABLED, parent);  // disabled: passed over
    HWND layered = Make({120, 0, 200, 100}, WS_POPUP | WS_VISIBLE, nullptr, WS_EX_LAYERED);
    // The layered window shows a transparent left half and an opaque right half.
    testing_support::DibCanvas picture(80, 100);
    for (int i = 0; i < 80 * 100; ++i) picture.bits()[i] = (i % 80) < 40 ? 0 : 0xFF102030;
    SIZE size{80, 100};
    POINT zero{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(layered, nullptr, nullptr, &size, picture.dc(), &zero, 0,
                                    &blend, ULW_ALPHA));
    const std::pair<POINT, HWND> cases[] = {{{20, 20}, child},
                                            {{60, 20}, parent},
                                            {{150, 150}, back},
                                            {{130, 50}, back},
                                            {{170, 50}, layered}};
    for (auto [p, expected] : cases) {
        EXPECT_EQ(WindowFromPoint(p), expected) << p.x << "," << p.y;
        ClearLog();
        Send({Mouse(MOUSEEVENTF_MOVE, p.x, p.y)});
        ASSERT_EQ(SeenOf(WM_MOUSEMOVE).size(), 1u) << p.x << "," << p.y;
        EXPECT_EQ(SeenOf(WM_MOUSEMOVE)[0].hwnd, expected);
    }
}

TEST_F(InputTest, ChildPressNotifiesTheParentAndTransparentHitsFallThrough) {
    HWND back = Make({0, 0, 200, 200});
    HWND front = Make({0, 0, 100, 100});
    HWND child = Make({10, 10, 40, 40}, WS_CHILD | WS_VISIBLE, front);
    ClearLog();
    Click(20, 25, 0);
    EXPECT_EQ(CallsOf(WM_PARENTNOTIFY), (Calls{{front, WM_LBUTTONDOWN, MAKELPARAM(20, 25)}}));
    EXPECT_EQ(SeenOf(WM_LBUTTONDOWN)[0].hwnd, child);
    // The window answers WM_NCHITTEST with the code, then the pointer clicks at (x, y).
    auto hit_then_click = [&](HWND window, LRESULT code, int x, int y) {
        g_hook = [=](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m == WM_NCHITTEST && h == window) return code;
            return std::nullopt;
        };
        ClearLog();
        Click(x, y, 0);
    };
    // A window that answers HTTRANSPARENT hands the point to the one beneath.
    hit_then_click(front, HTTRANSPARENT, 60, 60);
    ASSERT_EQ(SeenOf(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(SeenOf(WM_LBUTTONDOWN)[0].hwnd, back);
    // A caption hit becomes a non-client press with the screen point.
    hit_then_click(back, HTCAPTION, 150, 160);
    EXPECT_EQ(CallsOf(WM_NCLBUTTONDOWN), (Calls{{back, HTCAPTION, MAKELPARAM(150, 160)}}));
}

TEST_F(InputTest, WheelGoesToTheFocusAndClimbsToItsParent) {
    HWND top = Make({0, 0, 300, 300});
    HWND child = Make({10, 10, 50, 50}, WS_CHILD | WS_VISIBLE, top);
    Make({400, 0, 500, 100});  // under the pointer, without the focus
    SetFocus(child);
    ClearLog();
    Send({Mouse(MOUSEEVENTF_MOVE, 450, 50), Mouse(MOUSEEVENTF_WHEEL, 450, 50, 0, -WHEEL_DELTA)});
    const WPARAM down = MAKEWPARAM(0, -WHEEL_DELTA);
    const LPARAM at = MAKELPARAM(450, 50);  // the screen point
    EXPECT_EQ(CallsOf(WM_MOUSEWHEEL), (Calls{{child, down, at}, {top, down, at}}));
}

// The key messages seen, as "down A|char a|up A": letters, digits and printed
// characters as themselves, other codes in hex.
std::string KeyTrace() {
    const char* names[] = {"down", "up", "char", "dead", "sysdown", "sysup", "syschar"};
    std::string out;
    for (auto& s : g_log) {
        if (s.msg < WM_KEYFIRST || s.msg > WM_SYSCHAR) continue;
        const bool is_char = s.msg == WM_CHAR || s.msg == WM_SYSCHAR;
        const bool shown =
            s.wparam < 0x7F && (isalnum(int(s.wparam)) || (is_char && isgraph(int(s.wparam))));
        char code[16];
        snprintf(code, sizeof code, shown ? "%c" : "x%x", static_cast<unsigned>(s.wparam));
        out += (out.empty() ? "" : "|") + std::string(names[s.msg - WM_KEYFIRST]) + " " + code;
    }
    return out;
}

TEST_F(InputTest, KeysBecomeKeyMessagesAndTranslateToCharacters) {
    INPUT uni = Key(0, false, KEYEVENTF_UNICODE);
    uni.ki.wScan = 0x4E0B;  // 下
    const INPUT left = Key(VK_LEFT, false, KEYEVENTF_EXTENDEDKEY),
                left_up = Key(VK_LEFT, true, KEYEVENTF_EXTENDEDKEY);
    const std::pair<std::vector<INPUT>, std::string> cases[] = {
        {{Key('A'), Key('A', true)}, "down A|char a|up A"},
        {{Key(VK_SHIFT), Key('2'), Key('2', true), Key(VK_SHIFT, true)},
         "down x10|down 2|char @|up 2|up x10"},
        {{Key(VK_CONTROL), Key('V'), Key('V', true), Key(VK_CONTROL, true)},
         "down x11|down V|char x16|up V|up x11"},
        {{Key(VK_MENU), Key('F'), Key('F', true), Key(VK_MENU, true)},
         "sysdown x12|sysdown F|syschar f|sysup F|sysup x12"},
        {{Key(VK_RETURN), Key(VK_RETURN, true), left, left_up},
         "down xd|char xd|up xd|down x25|up x25"},
        {{uni}, "down x4e0b00e7|char x4e0b|up x4e0b00e7"},  // VK_PACKET with the character
    };
    HWND w = Make({0, 0, 50, 50});
    SetFocus(w);
    for (const auto& [inputs, expected] : cases) {
        ClearLog();
        Send(inputs);
        EXPECT_EQ(KeyTrace(), expected);
    }
    // lParam: repeat count, scan code, extended, context, previous state, transition.
    ClearLog();
    INPUT scan = Key('B');
    scan.ki.wScan = 0x30;
    Send({scan, scan, Key(VK_MENU), Key('B', true), Key(VK_MENU, true)});
    auto keys = SeenOf(WM_KEYDOWN);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(static_cast<DWORD>(keys[0].lparam), 0x00300001u);
    EXPECT_EQ(static_cast<DWORD>(keys[1].lparam), 0x40300001u);  // held: a repeat
    auto up = SeenOf(WM_SYSKEYUP);
    ASSERT_EQ(up.size(), 2u);
    EXPECT_EQ(static_cast<DWORD>(up[0].lparam) & 0xE0000000u, 0xE0000000u);
}

TEST_F(InputTest, KeyStateFollowsTheMessagesReadWhileAsyncStateFollowsTheKeys) {
    HWND w = Make({0, 0, 50, 50});
    SetFocus(w);
    INPUT shift = Key(VK_SHIFT);
    ASSERT_EQ(SendInput(1, &shift, sizeof(INPUT)), 1u);
    EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);  // not read yet
    Drain();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    Send({Key(VK_SHIFT, true), Key(VK_CAPITAL), Key(VK_CAPITAL, true)});
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    ClearLog();
    Send({Key('Q'), Key('Q', true), Key(VK_CAPITAL), Key(VK_CAPITAL, true)});
    EXPECT_EQ(SeenOf(WM_CHAR)[0].wparam, static_cast<WPARAM>('Q'));
    // No focus: keys go to the active window as system keys.
    SetFocus(nullptr);
    ClearLog();
    Send({Key('Z'), Key('Z', true)});
    EXPECT_EQ(MessagesOf(w, {WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP}),
              (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYUP}));
    INPUT bad = shift;
    EXPECT_EQ(Failed(SendInput(1, &bad, sizeof(INPUT) - 1) == 0u), ERROR_INVALID_PARAMETER);
}

// A window disabled by its modal pop-up: every way of bringing it forward keeps the
// pop-up in front of it, and activating it activates the pop-up with its focus.
TEST_F(InputTest, RaisingADisabledOwnerBringsItsModalPopupInFrontWithTheFocus) {
    HWND other = Make({600, 0, 700, 100});
    HWND main = Make({0, 0, 300, 200});
    HWND box = Make({50, 50, 150, 120}, WS_POPUP | WS_VISIBLE, main);
    EnableWindow(main, FALSE);
    const UINT place = SWP_NOMOVE | SWP_NOSIZE;
    const struct {
        const char* name;
        std::function<void()> raise;
    } rows[] = {
        {"topmost", [&] { SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, place); }},
        {"top", [&] { SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, place); }},
        {"bring to top", [&] { BringWindowToTop(main); }},
        {"foreground", [&] { SetForegroundWindow(main); }},
        {"active", [&] { SetActiveWindow(main); }},
        {"show", [&] { ShowWindow(main, SW_SHOW); }},
        {"click", [&] { Click(250, 150, 0); }},
        {"click on the owner left active",
         [&] {
             EnableWindow(main, TRUE);
             SetForegroundWindow(main);
             EnableWindow(main, FALSE);
             Click(250, 150, 0);
         }},
        {"through the topmost band",
         [&] {
             SetForegroundWindow(GetLastActivePopup(main));
             SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, place);
             SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, place);
         }},
    };
    for (const auto& row : rows) {
        SetForegroundWindow(other);
        ASSERT_EQ(GetFocus(), other) << row.name;
        row.raise();
        EXPECT_EQ(GetWindow(box, GW_HWNDNEXT), main) << row.name;
        EXPECT_EQ(GetActiveWindow(), box) << row.name;
        EXPECT_EQ(GetFocus(), box) << row.name;
        EXPECT_EQ(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST,
                  GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST)
            << row.name;
        SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, place | SWP_NOACTIVATE);
        EXPECT_FALSE(GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) << row.name;
    }
    EXPECT_TRUE(SeenOf(WM_LBUTTONDOWN).empty());
    ShowWindow(box, SW_HIDE);
    EXPECT_EQ(GetLastActivePopup(main), main);  // a hidden pop-up does not count
}

TEST_F(InputTest, FocusAndActivationApi) {
    HWND owner = Make({0, 0, 100, 100});
    HWND popup = Make({20, 20, 80, 80}, WS_POPUP | WS_VISIBLE, owner);
    HWND child = Make({5, 5, 20, 20}, WS_CHILD | WS_VISIBLE, popup);
    ASSERT_EQ(GetActiveWindow(), popup);
    SetActiveWindow(owner);
    ClearLog();
    // Focusing a child of an inactive window activates its top-level window first.
    EXPECT_EQ(SetFocus(child), owner);
    const std::vector<Step> expected{
        {owner, WM_NCACTIVATE}, {owner, WM_ACTIVATE}, {popup, WM_NCACTIVATE}, {popup, WM_ACTIVATE},
        {owner, WM_KILLFOCUS},  {popup, WM_SETFOCUS}, {popup, WM_KILLFOCUS},  {child, WM_SETFOCUS}};
    EXPECT_EQ(Trace({WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS, WM_SETFOCUS}), expected);
    EXPECT_EQ(GetFocus(), child);
    HWND elsewhere = child;
    std::thread([&] { elsewhere = GetFocus(); }).join();
    EXPECT_EQ(elsewhere, nullptr);
    // Hiding the focused child gives the focus to its parent; hiding the active
    // pop-up hands the activation to its owner.
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(GetFocus(), popup);
    ShowWindow(popup, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), owner);
    EXPECT_EQ(GetFocus(), owner);
    // Minimising the last window leaves the process without an active window.
    ClearLog();
    ShowWindow(owner, SW_MINIMIZE);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(MessagesOf(owner, {WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}),
              (std::vector<UINT>{WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS}));
}

}  // namespace
