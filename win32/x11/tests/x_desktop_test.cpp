// The layer on a real X desktop (Xvfb with openbox): input sent with XTEST through
// xdotool reaches the right window as Windows' messages, the window manager's doings
// come back as messages, layered windows blend under a compositing manager and tray
// icons dock in an XEmbed tray.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>
// Xlib's macros (None, Bool, ...) after gtest, which uses those names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "testing/dib_canvas.h"
#include "testing/scoped_env.h"
#include "testing/win32_pump.h"
#include "testing/x_desktop.h"

using testing_support::PumpUntil;
using testing_support::ScopedEnv;
using testing_support::XDesktop;

namespace {

struct Seen {
    HWND hwnd;
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
};
std::vector<Seen> g_seen;
std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> g_hook;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    g_seen.push_back({hwnd, msg, wp, lp});
    if (g_hook)
        if (auto r = g_hook(hwnd, msg, wp, lp)) return *r;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        FillRect(dc, &ps.rcPaint, b);
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

std::vector<Seen> Of(UINT msg, HWND hwnd = nullptr) {
    std::vector<Seen> out;
    for (auto& s : g_seen)
        if (s.msg == msg && (!hwnd || s.hwnd == hwnd)) out.push_back(s);
    return out;
}

// A 16x16 icon of one colour (straight alpha).
HICON SolidIcon(uint32_t argb) {
    std::vector<uint32_t> bits(16 * 16, argb);
    ICONINFO ii{TRUE, 0, 0, CreateBitmap(16, 16, 1, 1, nullptr),
                CreateBitmap(16, 16, 1, 32, bits.data())};
    return CreateIconIndirect(&ii);
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XDesktop::Installed() || !testing_support::OnPath("xdotool"))
            GTEST_SKIP() << "Xvfb, openbox or xdotool is not installed";
        x_ = XDesktop::Get();
        ASSERT_TRUE(x_) << "no X desktop could be started";
        display_env_ = std::make_unique<ScopedEnv>("DISPLAY", x_->name());
        static ATOM atom = [] {
            WNDCLASSW wc{};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = Proc;
            wc.lpszClassName = L"DesktopTestWindow";
            return RegisterClassW(&wc);
        }();
        ASSERT_NE(atom, 0);
        g_seen.clear();
        g_hook = nullptr;
    }
    void TearDown() override {
        g_hook = nullptr;
        for (HWND h : windows_) DestroyWindow(h);
        PumpUntil([] { return false; }, 50);
    }

    HWND Make(RECT r, COLORREF colour, HWND owner = nullptr, DWORD ex = 0,
              const wchar_t* title = L"window") {
        HWND h =
            CreateWindowExW(ex, L"DesktopTestWindow", title, WS_POPUP, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, owner, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(h, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
        if (!owner) windows_.push_back(h);
        ShowWindow(h, SW_SHOW);
        UpdateWindow(h);
        EXPECT_TRUE(PumpUntil([&] { return x_->WindowAt(r.left + 1, r.top + 1) != 0; }))
            << "not shown";
        return h;
    }

    // xdotool with the words of `command`.
    bool Xdo(const std::string& command) {
        std::vector<std::string> argv{"xdotool"};
        std::istringstream words(command);
        for (std::string word; words >> word;) argv.push_back(word);
        return x_->Run(argv) == 0;
    }
    long Property(Window w, const char* name, int index = 0, std::string* text = nullptr) {
        return x_->Property(w, name, index, text);
    }
    // The window named `name` anywhere under w.
    Window Named(Window w, const std::string& name) {
        std::string text;
        Property(w, "_NET_WM_NAME", 0, &text);
        if (text == name) return w;
        for (Window child : x_->Children(w))
            if (Window found = Named(child, name)) return found;
        return 0;
    }

    XDesktop* x_ = nullptr;
    std::unique_ptr<ScopedEnv> display_env_;
    std::vector<HWND> windows_;
};

TEST_F(DesktopTest, UnownedWindowsAreManagedAndOwnedPopupsAreNot) {
    HWND main = Make({50, 60, 250, 160}, RGB(0, 0, 200), nullptr, 0, L"下载器 main");
    int y = 200;
    for (auto [owner, ex, managed] : {std::tuple<HWND, DWORD, bool>{nullptr, 0, true},
                                      {main, 0, false},
                                      {nullptr, WS_EX_TOOLWINDOW, false},
                                      {main, WS_EX_APPWINDOW, true}}) {
        HWND h = Make({400, y, 500, y + 40}, RGB(200, 0, 0), owner, ex);
        Window xid = x_->WindowAt(410, y + 10);
        XWindowAttributes wa{};
        ASSERT_TRUE(XGetWindowAttributes(x_->display(), xid, &wa));
        EXPECT_EQ(wa.override_redirect == False, managed) << ex;
        // The manager frames what it manages; decorations are asked away.
        EXPECT_EQ(Property(xid, "_MOTIF_WM_HINTS", 2) == 0, managed);
        if (owner) DestroyWindow(h);
        y += 60;
    }
    std::string title;
    Property(x_->WindowAt(60, 70), "_NET_WM_NAME", 0, &title);
    EXPECT_EQ(title, "下载器 main");
}

TEST_F(DesktopTest, ClicksAndDragsReachTheWindowUnderThePointer) {
    HWND a = Make({100, 100, 300, 250}, RGB(0, 150, 0));
    HWND b = Make({400, 100, 600, 250}, RGB(150, 0, 0));
    struct Case {
        const char* xdo;  // where the pointer goes, and the click
        HWND hwnd;
        LPARAM at;
        std::vector<UINT> messages;
    };
    const Case cases[] = {
        {"130 140 click 1", a, MAKELPARAM(30, 40), {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {"590 245 click 3", b, MAKELPARAM(190, 145), {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {"130 140 click --repeat 2 --delay 60 1",
         a,
         MAKELPARAM(30, 40),
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
    };
    for (const auto& c : cases) {
        g_seen.clear();
        ASSERT_TRUE(Xdo(std::string("mousemove --sync ") + c.xdo));
        std::vector<UINT> seen;
        auto buttons = [&] {
            seen.clear();
            for (auto& s : g_seen)
                if (s.msg >= WM_LBUTTONDOWN && s.msg <= WM_MBUTTONDBLCLK && s.hwnd == c.hwnd) {
                    seen.push_back(s.msg);
                    EXPECT_EQ(s.lparam, c.at);
                }
            return seen.size() >= c.messages.size();
        };
        EXPECT_TRUE(PumpUntil(buttons));
        EXPECT_EQ(seen, c.messages);
    }
    // A drag the window captured goes on outside it.
    g_hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_LBUTTONDOWN) SetCapture(h);
        if (m == WM_LBUTTONUP) ReleaseCapture();
        return std::nullopt;
    };
    g_seen.clear();
    ASSERT_TRUE(Xdo("mousemove --sync 150 150 mousedown 1 mousemove --sync 700 500 mouseup 1"));
    EXPECT_TRUE(PumpUntil([&] { return !Of(WM_CAPTURECHANGED, a).empty(); }));
    auto moves = Of(WM_MOUSEMOVE, a);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().lparam, MAKELPARAM(600, 400));
    EXPECT_EQ(Of(WM_LBUTTONUP, a).back().lparam, MAKELPARAM(600, 400));
    EXPECT_TRUE(Of(WM_MOUSEMOVE, b).empty());
}

TEST_F(DesktopTest, ClickingBetweenWindowsMovesActivationAndFocusThenTypingReachesTheFocus) {
    HWND a = Make({100, 300, 300, 400}, RGB(0, 100, 100));
    HWND b = Make({400, 300, 600, 400}, RGB(100, 100, 0));
    ASSERT_TRUE(Xdo("mousemove --sync 150 350 click 1"));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == a && !Of(WM_LBUTTONUP, a).empty(); }));
    g_seen.clear();
    ASSERT_TRUE(Xdo("mousemove --sync 450 350 click 1"));
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_LBUTTONUP, b).empty(); }));
    std::vector<std::pair<HWND, UINT>> order;
    for (auto& s : g_seen)
        if (s.msg == WM_NCACTIVATE || s.msg == WM_ACTIVATE || s.msg == WM_KILLFOCUS ||
            s.msg == WM_SETFOCUS || s.msg == WM_LBUTTONDOWN)
            order.emplace_back(s.hwnd, s.msg);
    const std::vector<std::pair<HWND, UINT>> expected{
        {a, WM_NCACTIVATE}, {a, WM_ACTIVATE}, {b, WM_NCACTIVATE}, {b, WM_ACTIVATE},
        {a, WM_KILLFOCUS},  {b, WM_SETFOCUS}, {b, WM_LBUTTONDOWN}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(GetActiveWindow(), b);
    Window focus;
    int revert;
    XGetInputFocus(x_->display(), &focus, &revert);
    EXPECT_EQ(focus, x_->WindowAt(450, 350));
    // Typed text arrives as WM_CHAR at the focus, also for keys beyond ASCII (given
    // spare keycodes here, so xdotool need not remap keys while it types).
    Display* d = x_->display();
    int low, high, per;
    XDisplayKeycodes(d, &low, &high);
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &per);
    std::vector<int> spare;
    for (int kc = high; kc >= low && spare.size() < 2; --kc)
        if (map[(kc - low) * per] == NoSymbol) spare.push_back(kc);
    XFree(map);
    ASSERT_EQ(spare.size(), 2u);
    KeySym extra[2] = {XK_eacute, 0x1004E0B};
    for (int i = 0; i < 2; ++i) XChangeKeyboardMapping(d, spare[i], 1, &extra[i], 1);
    XSync(d, False);
    g_seen.clear();
    ASSERT_TRUE(x_->Run({"xdotool", "type", "--delay", "5", "Hi, é下!"}) == 0);
    std::u32string typed;
    ASSERT_TRUE(PumpUntil([&] {
        typed.clear();
        for (auto& s : Of(WM_CHAR, b)) typed.push_back(static_cast<char32_t>(s.wparam));
        return typed.size() >= 7;
    }));
    EXPECT_EQ(typed, U"Hi, é下!");
    KeySym none = NoSymbol;
    for (int kc : spare) XChangeKeyboardMapping(d, kc, 1, &none, 1);
}

// A main window disabled by its pop-up (a message box): whoever raises the main window,
// the program or the window manager, the pop-up stays in front of it on the screen and
// holds the activation.
TEST_F(DesktopTest, APopupStaysInFrontOfItsDisabledOwnerThroughEveryRaise) {
    HWND main = Make({100, 100, 500, 400}, RGB(0, 0, 150), nullptr, 0, L"owner");
    EnableWindow(main, FALSE);  // first, as a modal dialog does
    HWND box = Make({200, 150, 350, 250}, RGB(150, 150, 0), main);
    // Windows of the tests before may still be leaving the screen.
    ASSERT_TRUE(PumpUntil([&] { return x_->Pixel(450, 350) == 0x000096u; }));
    ASSERT_TRUE(PumpUntil([&] { return x_->Pixel(275, 200) == 0x969600u; }));
    const Window box_x = x_->WindowAt(275, 200), main_x = x_->WindowAt(450, 350);
    const std::string xid = std::to_string(main_x);
    // The desktop's raises, and the program's way of bringing its window forward ("").
    const std::string rows[] = {"mousemove --sync 450 350 click 1", "windowactivate " + xid,
                                "windowraise " + xid, ""};
    // The place among the root's children (bottom first) of the one holding w; -1: gone.
    auto level = [&](Window w) {
        for (Window parent; x_->Children(w, &parent), parent && parent != x_->root();) w = parent;
        const auto top = x_->Children(x_->root());
        const auto at = std::find(top.begin(), top.end(), w);
        return at == top.end() ? -1 : static_cast<int>(at - top.begin());
    };
    for (const auto& row : rows) {
        if (!row.empty())
            Xdo(row);
        else {
            SetForegroundWindow(GetLastActivePopup(main));
            SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(PumpUntil([&] {
            return level(box_x) > level(main_x) && x_->Pixel(275, 200) == 0x969600u &&
                   GetActiveWindow() == box;
        })) << row;
    }
    EXPECT_TRUE(Of(WM_LBUTTONDOWN).empty());
    // The pop-up answers the mouse, and once it is gone its owner does again.
    ASSERT_TRUE(Xdo("mousemove --sync 275 200 click 1"));
    EXPECT_TRUE(PumpUntil([&] { return !Of(WM_LBUTTONUP, box).empty(); }));
    EnableWindow(main, TRUE);
    DestroyWindow(box);
    ASSERT_TRUE(Xdo("mousemove --sync 450 350 click 1"));
    EXPECT_TRUE(PumpUntil([&] { return !Of(WM_LBUTTONUP, main).empty(); }));
}

// An unowned window's X window carries its icon for the taskbar and the window switcher:
// the one WM_SETICON gave it, else its class's, else the program file's own.
TEST_F(DesktopTest, AMainWindowShowsItsIconOrTheProgramsToTheDesktop) {
    // _NET_WM_ICON as (width, height, first pixel, middle pixel) for each picture.
    using Pictures = std::vector<std::array<unsigned long, 4>>;
    auto pictures = [&](Window w) {
        std::string bytes;
        Property(w, "_NET_WM_ICON", 0, &bytes);
        // 32-bit items as longs, sign-extended.
        std::vector<unsigned long> v(bytes.size() / sizeof(long));
        if (!v.empty()) memcpy(v.data(), bytes.data(), v.size() * sizeof(long));
        for (auto& x : v) x &= 0xFFFFFFFFu;
        const size_t count = v.size();
        Pictures out;
        for (size_t i = 0; i + 2 <= count && v[i] * v[i + 1] && i + 2 + v[i] * v[i + 1] <= count;
             i += 2 + v[i] * v[i + 1])
            out.push_back({v[i], v[i + 1], v[i + 2], v[i + 2 + v[i] * v[i + 1] / 2 + v[i] / 2]});
        return out;
    };
    HWND main = Make({600, 100, 700, 200}, RGB(0, 90, 0));
    const Window xid = x_->WindowAt(610, 110);
    // The program's: every size of its icon group, a rounded square, clear at the corner.
    Pictures program;
    EXPECT_TRUE(PumpUntil([&] { return (program = pictures(xid)).size() == 3; }));
    for (size_t i = 0; i < program.size(); ++i) {
        EXPECT_EQ(program[i][0], 16u * (i + 1));
        EXPECT_EQ(program[i][2] >> 24, 0u) << i;
        EXPECT_EQ(program[i][3] >> 24, 0xFFu) << i;
    }
    // A faint pixel keeps its exact colour: an icon's straight alpha is what the desktop gets.
    HICON red = SolidIcon(0x03FF8040u), blue = SolidIcon(0xFF0000FFu);
    EXPECT_EQ(SendMessageW(main, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(red)), 0);
    EXPECT_EQ(SendMessageW(main, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(red));
    const Pictures red_only{{16, 16, 0x03FF8040u, 0x03FF8040u}};
    EXPECT_TRUE(PumpUntil([&] { return pictures(xid) == red_only; }));
    // A window of a class with an icon shows the class's.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hIcon = blue;
    wc.lpszClassName = L"DesktopTestIconic";
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND iconic = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 600, 300, 100,
                                  100, nullptr, nullptr, nullptr, nullptr);
    const Pictures blue_only{{16, 16, 0xFF0000FFu, 0xFF0000FFu}};
    EXPECT_TRUE(PumpUntil([&] { return pictures(x_->WindowAt(610, 310)) == blue_only; }));
    DestroyWindow(iconic);
    UnregisterClassW(wc.lpszClassName, nullptr);
    DestroyIcon(red);
    DestroyIcon(blue);
}

TEST_F(DesktopTest, TheCursorTheWindowSetsIsTheXCursor) {
    HCURSOR hand = LoadCursorW(nullptr, IDC_HAND), ibeam = LoadCursorW(nullptr, IDC_IBEAM);
    HWND w = Make({700, 500, 800, 600}, RGB(10, 10, 10));
    for (HCURSOR cursor : {hand, ibeam}) {
        g_hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (m != WM_SETCURSOR || h != w) return std::nullopt;
            SetCursor(cursor);
            return TRUE;
        };
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(cursor, &ii));
        DeleteObject(ii.hbmMask);
        DeleteObject(ii.hbmColor);
        ASSERT_TRUE(Xdo(cursor == hand ? "mousemove --sync 750 550" : "mousemove --sync 750 551"));
        EXPECT_TRUE(PumpUntil([&] {
            XFixesCursorImage* img = XFixesGetCursorImage(x_->display());
            const bool same =
                img && img->width == 32 && img->xhot == ii.xHotspot && img->yhot == ii.yHotspot;
            if (img) XFree(img);
            return same && GetCursor() == cursor;
        }));
    }
}

TEST_F(DesktopTest, TheWindowManagerMinimisesRestoresAndMovesTheMainWindow) {
    HWND main = Make({200, 150, 400, 300}, RGB(50, 50, 200));
    const Window x_main = x_->WindowAt(210, 160);
    const std::string xid = std::to_string(x_main);
    ASSERT_TRUE(Xdo("windowminimize --sync " + xid));
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(main) != 0; }));
    ASSERT_FALSE(Of(WM_SIZE, main).empty());
    EXPECT_EQ(Of(WM_SIZE, main).back().wparam, static_cast<WPARAM>(SIZE_MINIMIZED));
    ASSERT_TRUE(Xdo("windowactivate --sync " + xid));
    ASSERT_TRUE(PumpUntil([&] { return !IsIconic(main) && GetActiveWindow() == main; }));
    EXPECT_EQ(x_->Pixel(210, 160), 0x3232C8u);
    g_seen.clear();
    ASSERT_TRUE(Xdo("windowmove --sync " + xid + " 500 400"));
    ASSERT_TRUE(PumpUntil([&] { return !Of(WM_MOVE, main).empty(); }));
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(std::pair(r.left, r.top), std::pair(LONG{500}, LONG{400}));
    // And the program's own minimising and moving reach the X window.
    ShowWindow(main, SW_MINIMIZE);
    EXPECT_TRUE(PumpUntil([&] { return Property(x_main, "WM_STATE") == IconicState; }));
    ShowWindow(main, SW_RESTORE);
    EXPECT_TRUE(PumpUntil([&] { return Property(x_main, "WM_STATE") == NormalState; }));
    SetWindowPos(main, nullptr, 120, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(PumpUntil([&] { return x_->WindowAt(125, 135) == x_main; }));
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(125, 135) == 0x3232C8u; }));
}

TEST_F(DesktopTest, LayeredWindowsBlendUnderACompositorAndShowOpaqueWithout) {
    // Half-transparent red over green, or over black.
    for (auto [composited, expected] : {std::pair{true, 0x806400u}, std::pair{false, 0x800000u}}) {
        std::optional<XDesktop::Helper> compositor;
        if (composited) {
            compositor.emplace(*x_, std::vector<std::string>{"xcompmgr"}, "_NET_WM_CM_S0");
            if (!compositor->ready()) GTEST_SKIP() << "xcompmgr did not start";
        }
        HWND back = Make({100, 500, 300, 700}, RGB(0, 200, 0));
        HWND layered = CreateWindowExW(WS_EX_LAYERED, L"DesktopTestWindow", L"", WS_POPUP, 150, 550,
                                       100, 100, back, nullptr, nullptr, nullptr);
        testing_support::DibCanvas picture(100, 100);
        picture.fill(0x80800000u);  // premultiplied
        POINT at{150, 550}, zero{0, 0};
        SIZE size{100, 100};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ASSERT_TRUE(UpdateLayeredWindow(layered, nullptr, &at, &size, picture.dc(), &zero, 0,
                                        &blend, ULW_ALPHA));
        ShowWindow(layered, SW_SHOWNA);
        EXPECT_TRUE(PumpUntil([&] {
            return testing_support::NearRgb(x_->Pixel(200, 600), expected, 2);
        })) << std::hex
            << x_->Pixel(200, 600);
        EXPECT_EQ(x_->Pixel(120, 520), 0x00C800u);
        DestroyWindow(back);
    }
}

TEST_F(DesktopTest, TrayIconDocksInTheTrayItsClicksReachTheCallbackAndItsTipShowsOnHover) {
    XDesktop::Helper tray(
        *x_,
        {"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "32",
         "--SetDockType", "false", "--SetPartialStrut", "false"},
        "_NET_SYSTEM_TRAY_S0");
    if (!tray.ready()) GTEST_SKIP() << "trayer did not start";
    HWND owner = CreateWindowExW(0, L"DesktopTestWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, nullptr, nullptr);
    windows_.push_back(owner);
    HICON icon = SolidIcon(0xFF0000FFu);
    NOTIFYICONDATAW d{};
    d.cbSize = sizeof d;
    d.hWnd = owner;
    d.uID = 7;
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = 0x800;
    d.hIcon = icon;
    wcscpy(d.szTip, L"游戏下载器");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &d));
    // The icon's window, named by the tooltip, is shown inside the tray.
    Window icon_win = 0;
    auto docked = [&] {
        Window parent = 0;
        XWindowAttributes wa{};
        return (icon_win = Named(x_->root(), "游戏下载器")) &&
               (x_->Children(icon_win, &parent), parent && parent != x_->root()) &&
               XGetWindowAttributes(x_->display(), icon_win, &wa) && wa.map_state == IsViewable;
    };
    ASSERT_TRUE(PumpUntil(docked));
    // The tray may still lay its icons out: the centre is read again until it shows blue.
    int x = 0, y = 0;
    EXPECT_TRUE(PumpUntil([&] {
        XWindowAttributes wa{};
        XGetWindowAttributes(x_->display(), icon_win, &wa);
        std::tie(x, y) = x_->Origin(icon_win);
        x += wa.width / 2, y += wa.height / 2;
        return x_->Pixel(x, y) == 0x0000FFu;
    }));
    const std::string at = std::to_string(x) + " " + std::to_string(y);
    ASSERT_TRUE(Xdo("mousemove --sync " + at + " click 1"));
    ASSERT_TRUE(PumpUntil([&] { return Of(0x800, owner).size() >= 2; }));
    auto clicks = Of(0x800, owner);
    EXPECT_EQ(std::tuple(clicks[0].wparam, clicks[0].lparam, clicks[1].lparam),
              std::tuple(WPARAM{7}, LPARAM{WM_LBUTTONDOWN}, LPARAM{WM_LBUTTONUP}));
    // Resting on the icon shows its tip just below the pointer, in the info colours with
    // dark text; leaving the icon hides it.
    auto tip = [&]() -> Window {
        for (Window w : x_->Children(x_->root())) {
            XWindowAttributes wa{};
            std::string name;
            XGetWindowAttributes(x_->display(), w, &wa);
            Property(w, "_NET_WM_NAME", 0, &name);
            if (wa.override_redirect && wa.map_state == IsViewable && name == "游戏下载器")
                return w;
        }
        return 0;
    };
    ASSERT_TRUE(Xdo("mousemove --sync " + std::to_string(x + 1) + " " + std::to_string(y)));
    ASSERT_TRUE(PumpUntil([&] { return tip() != 0; }));
    const auto [tx, ty] = x_->Origin(tip());
    EXPECT_TRUE(ty > y && ty < y + 40) << ty << " below " << y;
    XWindowAttributes wa{};
    XGetWindowAttributes(x_->display(), tip(), &wa);
    const auto shown = x_->Screen(tx, ty, wa.width, wa.height);
    EXPECT_GT(std::count(shown.begin(), shown.end(), 0xFFFFE1u), wa.width * wa.height / 2);
    EXPECT_GT(std::count_if(shown.begin(), shown.end(), [](uint32_t p) { return p < 0x404040u; }),
              20);
    ASSERT_TRUE(Xdo("mousemove --sync 600 600"));
    EXPECT_TRUE(PumpUntil([&] { return tip() == 0; }));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &d));
    EXPECT_TRUE(PumpUntil([&] { return Named(x_->root(), "游戏下载器") == 0; }));
    DestroyIcon(icon);
}

}  // namespace
