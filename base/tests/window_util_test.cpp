#include "base/window_util.h"

#include <gtest/gtest.h>

namespace {

using namespace base;

// Top-level windows of one plain class, destroyed with the fixture.
class WindowUtilTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"BaseWindowUtilTest";
        RegisterClassW(&wc);
    }
    void TearDown() override {
        for (HWND w : windows_) DestroyWindow(w);
    }
    HWND Make(const wchar_t* title, DWORD style, DWORD ex_style = 0, HWND owner = nullptr) {
        HWND w = CreateWindowExW(ex_style, L"BaseWindowUtilTest", title, style, 10, 10, 200, 100,
                                 owner, nullptr, nullptr, nullptr);
        EXPECT_NE(w, nullptr);
        windows_.push_back(w);
        return w;
    }
    static bool Topmost(HWND w) { return (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

    std::vector<HWND> windows_;
};

TEST_F(WindowUtilTest, ActivatingAHiddenMinimisedWindowShowsRestoresAndRaisesIt) {
    HWND untitled = Make(nullptr, WS_OVERLAPPEDWINDOW);
    HWND main = Make(L"main", WS_OVERLAPPEDWINDOW);
    ShowWindow(main, SW_MINIMIZE);
    ShowWindow(main, SW_HIDE);
    HWND other = Make(L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND pinned = Make(L"pinned", WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
    EXPECT_EQ(
        GetWindowTextString(main) + GetWindowTextString(untitled) + GetWindowTextString(nullptr),
        L"main");
    ASSERT_FALSE(IsWindowVisible(main));
    ASSERT_TRUE(IsIconic(main));

    ActivateWindow(main);

    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsIconic(main));
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_FALSE(Topmost(main));
    // Above every ordinary window, below the ones that are topmost by their own right.
    EXPECT_TRUE(Topmost(pinned));
    EXPECT_EQ(GetTopWindow(nullptr), pinned);
    EXPECT_EQ(GetWindow(pinned, GW_HWNDNEXT), main);
    EXPECT_EQ(GetWindow(main, GW_HWNDNEXT), other);
}

TEST_F(WindowUtilTest, NullDoesNothingAndAnOwnerWithAPopupComesToTheFront) {
    HWND main = Make(L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    HWND popup = Make(L"popup", WS_POPUP | WS_VISIBLE, 0, main);
    HWND other = Make(L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    SetForegroundWindow(popup);
    SetForegroundWindow(other);
    ASSERT_EQ(GetLastActivePopup(main), popup);

    ActivateWindow(nullptr);
    EXPECT_EQ(GetForegroundWindow(), other);
    EXPECT_EQ(GetTopWindow(nullptr), other);

    ActivateWindow(main);
    // The pop-up came forward first, then the owner was raised and activated over it.
    EXPECT_EQ(GetForegroundWindow(), main);
    EXPECT_EQ(GetTopWindow(nullptr), main);
    EXPECT_EQ(GetWindow(main, GW_HWNDNEXT), popup);
    EXPECT_EQ(GetWindow(popup, GW_HWNDNEXT), other);
    EXPECT_FALSE(Topmost(main));
    EXPECT_FALSE(Topmost(popup));
}

}  // namespace
