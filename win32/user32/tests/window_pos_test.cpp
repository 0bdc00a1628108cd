#include "user32_test_support.h"

using namespace user32_test;

namespace {

class WindowPosTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        hook() = nullptr;
    }
    void TearDown() override { hook() = nullptr; }
};

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(WindowPosTest, MoveAndSizeSendPositionMessagesAndUpdateTheRectangles) {
    HWND hwnd = MakeWindow();
    ClearLog();
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 30, 40, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE));
    std::vector<UINT> expected{WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE,
                               WM_SIZE};
    EXPECT_EQ(MessagesOf(hwnd, {WM_WINDOWPOSCHANGING, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE,
                                WM_SIZE}),
              expected);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_TRUE(SameRect(r, RECT{30, 40, 230, 140}));
    GetClientRect(hwnd, &r);
    EXPECT_TRUE(SameRect(r, RECT{0, 0, 200, 100}));  // a pop-up has no frame
    auto moves = SeenOf(WM_MOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lparam), 30);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lparam), 40);
    auto sizes = SeenOf(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wparam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(sizes[0].lparam), 200);
    EXPECT_EQ(HIWORD(sizes[0].lparam), 100);
    DestroyWindow(hwnd);
}

TEST_F(WindowPosTest, MoveOnlySendsNoSize) {
    HWND hwnd = MakeWindow();
    ClearLog();
    MoveWindow(hwnd, 1, 2, 100, 50, TRUE);  // the size it already has
    EXPECT_EQ(SeenOf(WM_MOVE).size(), 1u);
    EXPECT_TRUE(SeenOf(WM_SIZE).empty());
    ClearLog();
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(SeenOf(WM_MOVE).empty());
    EXPECT_TRUE(SeenOf(WM_SIZE).empty());
    EXPECT_EQ(SeenOf(WM_WINDOWPOSCHANGED).size(), 1u);
    DestroyWindow(hwnd);
}

TEST_F(WindowPosTest, WindowPosChangingMayAmendThePlacement) {
    HWND hwnd = MakeWindow();
    hook() = [](HWND, UINT msg, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (msg == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(lparam)->cx = 123;
        return std::nullopt;
    };
    SetWindowPos(hwnd, nullptr, 0, 0, 50, 50, SWP_NOZORDER | SWP_NOMOVE);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.right - r.left, 123);
    EXPECT_EQ(r.bottom - r.top, 50);
    DestroyWindow(hwnd);
}

TEST_F(WindowPosTest, OverlappedClientExcludesTheFrameThatAdjustWindowRectAdds) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, 0, RECT{100, 100, 500, 400});
    RECT window, client;
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    EXPECT_LT(client.right, window.right - window.left);
    EXPECT_LT(client.bottom, window.bottom - window.top);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    RECT adjusted{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    AdjustWindowRectEx(&adjusted, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
    EXPECT_TRUE(SameRect(adjusted, window));
    // A bare pop-up gains nothing.
    RECT popup{1, 2, 3, 4};
    AdjustWindowRectEx(&popup, WS_POPUP, FALSE, 0);
    EXPECT_TRUE(SameRect(popup, RECT{1, 2, 3, 4}));
    DestroyWindow(hwnd);
}

TEST_F(WindowPosTest, ChildCoordinatesAreRelativeToTheParentClientArea) {
    HWND parent = MakeWindow(WS_POPUP, nullptr, 0, RECT{100, 50, 400, 350});
    HWND child = MakeWindow(WS_CHILD, parent, 0, RECT{10, 20, 60, 70});
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_TRUE(SameRect(r, RECT{110, 70, 160, 120}));
    POINT p{5, 5};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 115);
    EXPECT_EQ(p.y, 75);
    ScreenToClient(parent, &p);
    EXPECT_EQ(p.x, 15);
    EXPECT_EQ(p.y, 25);
    DestroyWindow(parent);
}

TEST_F(WindowPosTest, ShowWindowSendsShowWindowAndAnswersThePreviousVisibility) {
    HWND parent = MakeWindow();
    HWND child = MakeWindow(WS_CHILD | WS_VISIBLE, parent);
    EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
    ClearLog();
    EXPECT_FALSE(ShowWindow(parent, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(parent));
    EXPECT_TRUE(IsWindowVisible(child));
    auto shows = SeenOf(WM_SHOWWINDOW);
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].wparam, static_cast<WPARAM>(TRUE));
    EXPECT_TRUE(ShowWindow(parent, SW_SHOW));
    EXPECT_EQ(SeenOf(WM_SHOWWINDOW).size(), 1u);  // nothing changed, nothing sent
    EXPECT_TRUE(ShowWindow(parent, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(parent));
    EXPECT_EQ(SeenOf(WM_SHOWWINDOW).size(), 2u);
    EXPECT_FALSE(ShowWindow(parent, SW_HIDE));
    DestroyWindow(parent);
}

TEST_F(WindowPosTest, MinimiseAndRestoreThroughSysCommand) {
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 0, RECT{40, 50, 340, 250});
    RECT before;
    GetWindowRect(hwnd, &before);
    ClearLog();
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    auto sizes = SeenOf(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().wparam, static_cast<WPARAM>(SIZE_MINIMIZED));
    ClearLog();
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd));
    RECT after;
    GetWindowRect(hwnd, &after);
    EXPECT_TRUE(SameRect(before, after));
    sizes = SeenOf(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().wparam, static_cast<WPARAM>(SIZE_RESTORED));
    DestroyWindow(hwnd);
}

TEST_F(WindowPosTest, TopmostIsToggledByTheTopmostBands) {
    HWND a = MakeWindow(WS_POPUP | WS_VISIBLE);
    HWND b = MakeWindow(WS_POPUP | WS_VISIBLE);
    EXPECT_EQ(GetTopWindow(nullptr), b);  // the newest is in front
    SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetTopWindow(nullptr), a);
    // HWND_TOP keeps an ordinary window behind the topmost one.
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetTopWindow(nullptr), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_FALSE(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetTopWindow(nullptr), a);  // the front of the ordinary windows
    SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(GetWindow(b, GW_HWNDLAST), a);
    DestroyWindow(a);
    DestroyWindow(b);
}

// The way the program brings a window forward: show, restore, foreground, then a
// round trip through the topmost band.
TEST_F(WindowPosTest, BringingForwardAHiddenMinimisedWindowLeavesItFrontmostButNotTopmost) {
    HWND other = MakeWindow(WS_POPUP | WS_VISIBLE);
    HWND pinned = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr, WS_EX_TOPMOST);
    HWND main = MakeWindow(WS_OVERLAPPEDWINDOW);
    ShowWindow(main, SW_MINIMIZE);
    ShowWindow(main, SW_HIDE);
    SetForegroundWindow(other);
    ASSERT_TRUE(IsIconic(main));
    ASSERT_FALSE(IsWindowVisible(main));

    if (!IsWindowVisible(main)) ShowWindow(main, SW_SHOW);
    if (IsIconic(main)) SendMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    HWND popup = GetLastActivePopup(main);
    EXPECT_EQ(popup, main);
    SetForegroundWindow(popup ? popup : main);
    SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);

    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_FALSE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetTopWindow(nullptr), pinned);
    EXPECT_EQ(GetWindow(pinned, GW_HWNDNEXT), main);
    DestroyWindow(main);
    DestroyWindow(pinned);
    DestroyWindow(other);
}

TEST_F(WindowPosTest, LastActivePopupIsTheOwnedPopupLastBroughtForward) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND popup = MakeWindow(WS_POPUP | WS_VISIBLE, owner);
    SetForegroundWindow(popup);
    EXPECT_EQ(GetForegroundWindow(), popup);
    EXPECT_EQ(GetLastActivePopup(owner), popup);
    ShowWindow(popup, SW_HIDE);
    EXPECT_EQ(GetLastActivePopup(owner), owner);  // a hidden pop-up does not count
    DestroyWindow(owner);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(WindowPosTest, HitTestAndCursorDefaults) {
    std::wstring name = UniqueClassName(L"cursor");
    auto cursor = reinterpret_cast<HCURSOR>(0x4321);
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
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
