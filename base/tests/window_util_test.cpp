#include "base/window_util.h"

#include <vector>

#include "support/base_test.h"

namespace {

using namespace base;

// Top-level windows of one plain class, destroyed with the fixture.
class WindowUtilTest : public ::testing::Test {
protected:
    ~WindowUtilTest() override {
        for (HWND w : windows_) DestroyWindow(w);
    }
    HWND Make(const wchar_t* title, DWORD style, DWORD ex_style = 0, HWND owner = nullptr) {
        return windows_.emplace_back(
            base_test::MakeWindow(L"BaseWindowUtilTest", title, style, ex_style, owner));
    }
    static bool Topmost(HWND w) { return (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
    static std::vector<HWND> Order(size_t n) {
        std::vector<HWND> order{GetTopWindow(nullptr)};
        while (order.size() < n) order.push_back(GetWindow(order.back(), GW_HWNDNEXT));
        return order;
    }

    std::vector<HWND> windows_;
};

// Above every ordinary window, below the ones that are topmost by their own right.
TEST_F(WindowUtilTest, ActivatingAHiddenMinimisedWindowShowsRestoresAndRaisesIt) {
    HWND untitled = Make(nullptr, WS_OVERLAPPEDWINDOW), main = Make(L"main", WS_OVERLAPPEDWINDOW);
    ShowWindow(main, SW_MINIMIZE);
    ShowWindow(main, SW_HIDE);
    HWND other = Make(L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND pinned = Make(L"pinned", WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
    EXPECT_EQ(
        GetWindowTextString(main) + GetWindowTextString(untitled) + GetWindowTextString(nullptr),
        L"main");
    ASSERT_TRUE(!IsWindowVisible(main) && IsIconic(main));
    ActivateWindow(main);
    EXPECT_TRUE(IsWindowVisible(main) && !IsIconic(main));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_TRUE(!Topmost(main) && Topmost(pinned));
    EXPECT_EQ(Order(3), (std::vector<HWND>{pinned, main, other}));
}

// The pop-up comes forward first, then the owner is raised and activated; an owned
// window stays in front of its owner.
TEST_F(WindowUtilTest, NullDoesNothingAndAnOwnerWithAPopupComesToTheFront) {
    HWND main = Make(L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND popup = Make(L"popup", WS_POPUP | WS_VISIBLE, 0, main);
    HWND other = Make(L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(popup);
    SetForegroundWindow(other);
    ASSERT_EQ(GetLastActivePopup(main), popup);
    ActivateWindow(nullptr);
    EXPECT_TRUE(GetForegroundWindow() == other && GetTopWindow(nullptr) == other);
    ActivateWindow(main);
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_EQ(Order(3), (std::vector<HWND>{popup, main, other}));
    EXPECT_FALSE(Topmost(main) || Topmost(popup));
}

}  // namespace
