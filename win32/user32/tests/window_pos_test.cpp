#include "user32_test_support.h"

using namespace user32_test;

namespace {

class WindowPosTest : public Fresh {};

TEST_F(WindowPosTest, PlacingSendsPositionMessagesThatMayAmendIt) {
    HWND hwnd = MakeWindow();
    ClearLog();
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 30, 40, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE));
    const std::vector<UINT> watched{WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED,
                                    WM_MOVE, WM_SIZE};
    EXPECT_EQ(MessagesOf(hwnd, watched), watched);
    EXPECT_EQ(WindowRect(hwnd), (RECT{30, 40, 230, 140}));
    EXPECT_EQ(ClientRect(hwnd), (RECT{0, 0, 200, 100}));  // a pop-up has no frame
    EXPECT_EQ(CallsOf(WM_MOVE), (Calls{{hwnd, 0, MAKELPARAM(30, 40)}}));
    EXPECT_EQ(CallsOf(WM_SIZE), (Calls{{hwnd, SIZE_RESTORED, MAKELPARAM(200, 100)}}));
    // What does not change is not announced.
    ClearLog();
    MoveWindow(hwnd, 1, 2, 200, 100, TRUE);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(MessagesOf(hwnd, {WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}),
              (std::vector<UINT>{WM_WINDOWPOSCHANGED, WM_MOVE, WM_WINDOWPOSCHANGED}));
    g_hook = [](HWND, UINT msg, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (msg == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(lparam)->cx = 123;
        return std::nullopt;
    };
    SetWindowPos(hwnd, nullptr, 0, 0, 50, 50, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(WindowRect(hwnd), (RECT{1, 2, 124, 52}));
    DestroyWindow(hwnd);
}

TEST_F(WindowPosTest, FramesAndChildCoordinates) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, RECT{100, 100, 500, 400});
    const RECT client = ClientRect(hwnd);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    RECT adjusted{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    AdjustWindowRectEx(&adjusted, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
    EXPECT_EQ(adjusted, WindowRect(hwnd));
    EXPECT_LT(client.right, 400);
    RECT popup{1, 2, 3, 4};
    AdjustWindowRectEx(&popup, WS_POPUP, FALSE, 0);
    EXPECT_EQ(popup, (RECT{1, 2, 3, 4}));
    DestroyWindow(hwnd);
    HWND parent = MakeWindow(WS_POPUP, nullptr, 0, RECT{100, 50, 400, 350});
    HWND child = MakeWindow(WS_CHILD, parent, 0, RECT{10, 20, 60, 70});
    EXPECT_EQ(WindowRect(child), (RECT{110, 70, 160, 120}));
    POINT p{5, 5};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x * 1000 + p.y, 115075);
    ScreenToClient(parent, &p);
    EXPECT_EQ(p.x * 1000 + p.y, 15025);
    DestroyWindow(parent);
}

TEST_F(WindowPosTest, ShowingHidingMinimisingAndRestoring) {
    HWND parent = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, RECT{40, 50, 340, 250});
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, parent);
    EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
    ClearLog();
    EXPECT_FALSE(ShowWindow(parent, SW_SHOW));  // the previous visibility
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(ShowWindow(parent, SW_SHOW));
    EXPECT_EQ(SeenOf(WM_SHOWWINDOW).size(), 1u);  // nothing changed, nothing sent
    EXPECT_EQ(SeenOf(WM_SHOWWINDOW)[0].wparam, static_cast<WPARAM>(TRUE));
    const RECT before = WindowRect(parent);
    for (auto [command, minimised, size] : {std::tuple{SC_MINIMIZE, true, SIZE_MINIMIZED},
                                            std::tuple{SC_RESTORE, false, SIZE_RESTORED}}) {
        ClearLog();
        SendMessageW(parent, WM_SYSCOMMAND, command, 0);
        EXPECT_EQ(IsIconic(parent) != FALSE, minimised);
        EXPECT_TRUE(IsWindowVisible(parent));
        ASSERT_FALSE(SeenOf(WM_SIZE).empty());
        EXPECT_EQ(SeenOf(WM_SIZE).back().wparam, static_cast<WPARAM>(size));
    }
    EXPECT_EQ(before, WindowRect(parent));
    EXPECT_TRUE(ShowWindow(parent, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(parent));
    EXPECT_FALSE(ShowWindow(parent, SW_HIDE));
    DestroyWindow(parent);
}

TEST_F(WindowPosTest, TopmostWindowsStayInFrontOfTheOthers) {
    HWND a = MakeWindow(WS_POPUP | WS_VISIBLE);
    HWND b = MakeWindow(WS_POPUP | WS_VISIBLE);
    EXPECT_EQ(GetTopWindow(nullptr), b);  // the newest is in front
    SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetTopWindow(nullptr), a);  // HWND_TOP stays behind the topmost band
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetTopWindow(nullptr), a);  // the front of the ordinary windows
    SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(GetWindow(b, GW_HWNDLAST), a);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST_F(WindowPosTest, HitTestAndCursorDefaults) {
    std::wstring name = UniqueClassName(L"cursor");
    auto cursor = reinterpret_cast<HCURSOR>(0x4321);
    WNDCLASSW wc{0, RecordingProc};
    wc.hCursor = cursor;
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 10, 10, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(50, 50)), HTCLIENT);
    EXPECT_EQ(SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(500, 500)), HTNOWHERE);
    SetCursor(nullptr);
    EXPECT_TRUE(SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), cursor);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 9, 0, 0), 0);  // anything else answers 0
    DestroyWindow(hwnd);
}

}  // namespace
