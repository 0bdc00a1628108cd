// Windows shown on a private X desktop: the screen read back with XGetImage must hold
// exactly the pixels the window's own surface holds.
#include <windows.h>

#include <gtest/gtest.h>
// Xlib's macros (None, Bool, ...) after gtest, which uses those names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <functional>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/win32_window_pixels.h"
#include "testing/win32_pump.h"
#include "testing/x_desktop.h"

using testing_support::PumpUntil;
using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::XDesktop;

namespace {

constexpr uint32_t kRed = 0xDC1E28, kGreen = 0x14C83C, kBlue = 0x0A28E6;

// Red on the left, green on the right, a blue box and a dark corner pixel.
LRESULT CALLBACK PaintColours(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    const std::pair<RECT, COLORREF> parts[] = {
        {{0, 0, r.right / 2, r.bottom}, RGB(220, 30, 40)},
        {{r.right / 2, 0, r.right, r.bottom}, RGB(20, 200, 60)},
        {{20, 20, 60, 50}, RGB(10, 40, 230)},
        {{r.right - 1, r.bottom - 1, r.right, r.bottom}, RGB(1, 2, 3)}};
    for (const auto& [rect, colour] : parts) {
        HBRUSH b = CreateSolidBrush(colour);
        FillRect(dc, &rect, b);
        DeleteObject(b);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

class PresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XDesktop::Installed()) GTEST_SKIP() << "Xvfb or openbox is not installed";
        // One desktop for the program: the layer's presenter connects once per process.
        x_ = XDesktop::Get();
        ASSERT_TRUE(x_) << "no X desktop could be started";
        display_env_ = std::make_unique<ScopedEnv>("DISPLAY", x_->name());
        log_env_ = std::make_unique<ScopedEnv>("WIN32_X11_LOG", dir_.file("x11.log"));
        WNDCLASSW wc{};
        wc.lpfnWndProc = PaintColours;
        wc.lpszClassName = L"PresenterTestWindow";
        RegisterClassW(&wc);
        // Owned pop-ups are not the window manager's: the presenter alone places them.
        owner_ = CreateWindowExW(0, L"PresenterTestWindow", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, nullptr, nullptr);
        windows_.push_back(owner_);
    }
    void TearDown() override {
        for (HWND h : windows_) DestroyWindow(h);
    }

    HWND Show(int x, int y, int w, int h) {
        HWND hwnd = CreateWindowExW(0, L"PresenterTestWindow", L"shown", WS_POPUP, x, y, w, h,
                                    owner_, nullptr, nullptr, nullptr);
        windows_.insert(windows_.begin(), hwnd);
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        return hwnd;
    }
    // How many times the presenter logged the window as mapped (once its pixels are up).
    size_t TimesMapped(HWND hwnd) const {
        char line[64];
        snprintf(line, sizeof line, "mapped %08lx\n",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)));
        const std::string log = ReadAll(dir_.file("x11.log"));
        size_t n = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
        return n;
    }
    // Waits as a window's thread does, taking in its messages (among them what the
    // window manager did).
    bool WaitMapped(HWND hwnd) {
        return PumpUntil([&] { return TimesMapped(hwnd) > 0; });
    }

    // The root window's pixels at a screen rectangle, 0x00RRGGBB.
    std::vector<uint32_t> Screen(const RECT& r) {
        return x_->Screen(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }

    // True once the screen at the window's rectangle equals its surface exactly.
    bool ScreenShowsWindow(HWND hwnd) {
        return PumpUntil([&] {
            RECT r;
            GetWindowRect(hwnd, &r);
            const auto surface =
                testing_support::WindowPixels(hwnd, r.right - r.left, r.bottom - r.top);
            return !surface.empty() && Screen(r) == surface;
        });
    }

    testing_support::TempDir dir_;
    XDesktop* x_ = nullptr;
    std::unique_ptr<ScopedEnv> display_env_, log_env_;
    HWND owner_ = nullptr;
    std::vector<HWND> windows_;
};

// With the knob set from the start, the presenter never connects: a process of its own.
class FreshProcessPresenter : public PresenterTest {};

TEST_F(FreshProcessPresenter, NoDisplayKnobKeepsWindowsOffTheServer) {
    ScopedEnv off("WIN32_NO_DISPLAY", "1");
    HWND hwnd = Show(300, 200, 80, 60);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(TimesMapped(hwnd), 0u);
    EXPECT_NE(x_->Pixel(300, 200), kRed);
}

TEST_F(PresenterTest, TheScreenShowsTheWindowsSurfaceWhereverItGoes) {
    HWND hwnd = Show(100, 80, 200, 120);
    ASSERT_TRUE(WaitMapped(hwnd));
    EXPECT_TRUE(ScreenShowsWindow(hwnd));
    auto screen = Screen({100, 80, 300, 200});
    EXPECT_EQ(screen[0], kRed);
    EXPECT_EQ(screen[150], kGreen);
    EXPECT_EQ(screen[30 * 200 + 30], kBlue);
    EXPECT_EQ(screen.back(), 0x010203u);
    // Moved and resized, the old place shows the root again.
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 600, 400, 160, 100, SWP_NOZORDER | SWP_NOACTIVATE));
    UpdateWindow(hwnd);
    EXPECT_TRUE(ScreenShowsWindow(hwnd));
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(105, 85) != kRed; }));
    EXPECT_EQ(x_->Pixel(759, 400), kGreen);
    // Drawing through GetDC reaches the screen.
    HDC dc = GetDC(hwnd);
    HBRUSH yellow = CreateSolidBrush(RGB(250, 240, 10));
    RECT all{0, 0, 160, 100};
    FillRect(dc, &all, yellow);
    DeleteObject(yellow);
    ReleaseDC(hwnd, dc);
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(610, 410) == 0xFAF00Au; }));
    EXPECT_TRUE(ScreenShowsWindow(hwnd));
    // Hidden, it leaves; shown again, it is back without a second "mapped".
    ShowWindow(hwnd, SW_HIDE);
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(610, 410) != 0xFAF00Au; }));
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    EXPECT_TRUE(ScreenShowsWindow(hwnd));
    EXPECT_EQ(TimesMapped(hwnd), 1u);
    const uint32_t shown = x_->Pixel(610, 410);
    DestroyWindow(hwnd);
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(610, 410) != shown; }));
}

TEST_F(PresenterTest, AnExposedWindowIsPutAgain) {
    HWND hwnd = Show(400, 300, 120, 80);
    ASSERT_TRUE(WaitMapped(hwnd));
    ASSERT_TRUE(ScreenShowsWindow(hwnd));
    // Another client scribbles black over the window's X window, then has the server
    // report it exposed, as uncovering it would.
    Display* d = x_->display();
    const Window at = x_->WindowAt(410, 310);
    ASSERT_NE(at, 0u);
    GC gc = XCreateGC(d, at, 0, nullptr);
    XSetForeground(d, gc, 0);
    XFillRectangle(d, at, gc, 0, 0, 120, 80);
    XFreeGC(d, gc);
    XSync(d, False);
    ASSERT_EQ(x_->Pixel(410, 310), 0u);
    XClearArea(d, at, 0, 0, 0, 0, True);
    XSync(d, False);
    EXPECT_TRUE(ScreenShowsWindow(hwnd));
}

TEST_F(PresenterTest, XWindowsFollowTheWindowsZOrder) {
    // Where they overlap, the back window is green and the front one red.
    HWND back = Show(100, 100, 200, 100);
    HWND front = Show(250, 100, 200, 100);
    ASSERT_TRUE(WaitMapped(back));
    ASSERT_TRUE(WaitMapped(front));
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(260, 110) == kRed; }));
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(PumpUntil([&] { return x_->Pixel(260, 110) == kGreen; }));
    EXPECT_TRUE(ScreenShowsWindow(back));
}

}  // namespace
