// Windows shown on a private Xvfb: the screen read back with XGetImage must hold
// exactly the pixels the window's own surface holds.
#include <windows.h>

#include <gtest/gtest.h>
// Xlib's macros (None, Bool, ...) after gtest, which uses those names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/x_desktop.h"

using testing_support::ReadAll;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WaitUntil;
using testing_support::XDesktop;

namespace {

LRESULT CALLBACK PaintColours(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    const LONG half = r.right / 2;
    HBRUSH red = CreateSolidBrush(RGB(220, 30, 40));
    HBRUSH green = CreateSolidBrush(RGB(20, 200, 60));
    HBRUSH blue = CreateSolidBrush(RGB(10, 40, 230));
    RECT left{0, 0, half, r.bottom}, right{half, 0, r.right, r.bottom}, box{20, 20, 60, 50};
    FillRect(dc, &left, red);
    FillRect(dc, &right, green);
    FillRect(dc, &box, blue);
    HBRUSH dark = CreateSolidBrush(RGB(1, 2, 3));
    RECT corner{r.right - 1, r.bottom - 1, r.right, r.bottom};
    FillRect(dc, &corner, dark);
    DeleteObject(dark);
    DeleteObject(red);
    DeleteObject(green);
    DeleteObject(blue);
    EndPaint(hwnd, &ps);
    return 0;
}

class PresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XDesktop::Installed()) GTEST_SKIP() << "Xvfb or openbox is not installed";
        // One desktop for the program: the layer's presenter connects once per process.
        xvfb_ = XDesktop::Get();
        ASSERT_TRUE(xvfb_) << "no X desktop could be started";
        log_ = dir_.file("x11.log");
        display_env_ = std::make_unique<ScopedEnv>("DISPLAY", xvfb_->name());
        log_env_ = std::make_unique<ScopedEnv>("WIN32_X11_LOG", log_);
        WNDCLASSW wc{};
        wc.lpfnWndProc = PaintColours;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PresenterTestWindow";
        RegisterClassW(&wc);
    }
    void TearDown() override {
        if (hwnd_) DestroyWindow(hwnd_);
    }

    HWND Create(int x, int y, int w, int h) {
        hwnd_ = CreateWindowExW(0, L"PresenterTestWindow", L"shown", WS_POPUP, x, y, w, h, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        return hwnd_;
    }
    void ShowAndPaint(HWND hwnd) {
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
    }
    std::string MappedLine(HWND hwnd) const {
        char line[64];
        snprintf(line, sizeof line, "mapped %08lx\n",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)));
        return line;
    }
    bool WaitMapped(HWND hwnd) {
        const std::string line = MappedLine(hwnd);
        return WaitUntil([&] { return ReadAll(log_).find(line) != std::string::npos; }, 5000);
    }

    // The window's pixels as PrintWindow gives them, 0x00RRGGBB, top row first.
    std::vector<uint32_t> SurfacePixels(HWND hwnd, int* width, int* height) {
        RECT r;
        GetWindowRect(hwnd, &r);
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = *width;
        bi.bmiHeader.biHeight = -*height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC mem = CreateCompatibleDC(nullptr);
        HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(mem, bmp);
        std::vector<uint32_t> out;
        if (PrintWindow(hwnd, mem, 0)) {
            const auto* p = static_cast<const uint32_t*>(bits);
            out.assign(p, p + static_cast<size_t>(*width) * *height);
            for (auto& v : out) v &= 0xFFFFFF;
        }
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        return out;
    }

    // The root window's pixels at a screen rectangle, 0x00RRGGBB.
    std::vector<uint32_t> ScreenPixels(int x, int y, int width, int height) {
        Display* d = xvfb_->display();
        XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), AllPlanes, ZPixmap);
        std::vector<uint32_t> out;
        if (!img) return out;
        out.reserve(static_cast<size_t>(width) * height);
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                out.push_back(static_cast<uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF);
        XDestroyImage(img);
        return out;
    }

    // True once the screen at the window's rectangle equals its surface exactly.
    bool ScreenMatchesWindow(HWND hwnd) {
        return WaitUntil(
            [&] {
                int w = 0, h = 0;
                auto surface = SurfacePixels(hwnd, &w, &h);
                RECT r;
                GetWindowRect(hwnd, &r);
                return !surface.empty() && ScreenPixels(r.left, r.top, w, h) == surface;
            },
            3000);
    }

    TempDir dir_;
    std::string log_;
    XDesktop* xvfb_ = nullptr;
    std::unique_ptr<ScopedEnv> display_env_, log_env_;
    HWND hwnd_ = nullptr;
};

constexpr uint32_t kRed = 0xDC1E28, kGreen = 0x14C83C, kBlue = 0x0A28E6;

// Runs first when the whole program runs in one process (this file sorts before the
// other X tests): the presenter starts once.
TEST_F(PresenterTest, NoDisplayKnobKeepsWindowsOffTheServer) {
    ScopedEnv off("WIN32_NO_DISPLAY", "1");
    HWND hwnd = Create(300, 200, 80, 60);
    ASSERT_NE(hwnd, nullptr);
    ShowAndPaint(hwnd);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(ReadAll(log_).find("mapped"), std::string::npos);
    auto screen = ScreenPixels(300, 200, 80, 60);
    ASSERT_FALSE(screen.empty());
    EXPECT_NE(screen[0], kRed);
}

TEST_F(PresenterTest, ShownWindowOnScreenEqualsItsSurface) {
    HWND hwnd = Create(100, 80, 200, 120);
    ASSERT_NE(hwnd, nullptr);
    ShowAndPaint(hwnd);
    ASSERT_TRUE(WaitMapped(hwnd));
    EXPECT_TRUE(ScreenMatchesWindow(hwnd));
    auto screen = ScreenPixels(100, 80, 200, 120);
    EXPECT_EQ(screen[0], kRed);
    EXPECT_EQ(screen[150], kGreen);
    EXPECT_EQ(screen[30 * 200 + 30], kBlue);
    EXPECT_EQ(screen.back(), 0x010203u);
}

TEST_F(PresenterTest, MappedIsLoggedOnceForAWindow) {
    HWND hwnd = Create(50, 50, 40, 40);
    ShowAndPaint(hwnd);
    ASSERT_TRUE(WaitMapped(hwnd));
    ShowWindow(hwnd, SW_HIDE);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    EXPECT_TRUE(ScreenMatchesWindow(hwnd));
    const std::string log = ReadAll(log_), line = MappedLine(hwnd);
    EXPECT_EQ(log.find(line), log.rfind(line));
}

TEST_F(PresenterTest, SetWindowPosMovesAndResizesTheXWindow) {
    HWND hwnd = Create(100, 100, 120, 90);
    ShowAndPaint(hwnd);
    ASSERT_TRUE(WaitMapped(hwnd));
    ASSERT_TRUE(ScreenMatchesWindow(hwnd));
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 600, 400, 160, 100, SWP_NOZORDER | SWP_NOACTIVATE));
    UpdateWindow(hwnd);
    EXPECT_TRUE(ScreenMatchesWindow(hwnd));
    // The old place shows the root again.
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(105, 105, 1, 1)[0] != kRed; }));
    EXPECT_EQ(ScreenPixels(600, 400, 1, 1)[0], kRed);
    EXPECT_EQ(ScreenPixels(600 + 159, 400, 1, 1)[0], kGreen);
}

TEST_F(PresenterTest, DrawingThroughGetDcReachesTheScreen) {
    HWND hwnd = Create(200, 150, 100, 80);
    ShowAndPaint(hwnd);
    ASSERT_TRUE(WaitMapped(hwnd));
    HDC dc = GetDC(hwnd);
    HBRUSH yellow = CreateSolidBrush(RGB(250, 240, 10));
    RECT r{0, 0, 100, 80};
    FillRect(dc, &r, yellow);
    DeleteObject(yellow);
    ReleaseDC(hwnd, dc);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(210, 160, 1, 1)[0] == 0xFAF00Au; }));
    EXPECT_TRUE(ScreenMatchesWindow(hwnd));
}

TEST_F(PresenterTest, HiddenAndDestroyedWindowsLeaveTheScreen) {
    HWND a = Create(100, 100, 60, 60);
    ShowAndPaint(a);
    ASSERT_TRUE(WaitMapped(a));
    ShowWindow(a, SW_HIDE);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(110, 110, 1, 1)[0] != kRed; }));
    ShowWindow(a, SW_SHOW);
    UpdateWindow(a);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(110, 110, 1, 1)[0] == kRed; }));
    DestroyWindow(a);
    hwnd_ = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(110, 110, 1, 1)[0] != kRed; }));
}

TEST_F(PresenterTest, ExposedWindowIsPutAgain) {
    HWND hwnd = Create(400, 300, 120, 80);
    ShowAndPaint(hwnd);
    ASSERT_TRUE(WaitMapped(hwnd));
    ASSERT_TRUE(ScreenMatchesWindow(hwnd));
    // Another client scribbles black over the window's X window, then has the
    // server report the window as exposed, as uncovering it would.
    Display* d = xvfb_->display();
    // The deepest window there: under a window manager ours sits in its frame.
    Window at = DefaultRootWindow(d), shown = 0;
    int x = 410, y = 310;
    while (XTranslateCoordinates(d, at, at, x, y, &x, &y, &shown) && shown) {
        XTranslateCoordinates(d, at, shown, x, y, &x, &y, &at);
        at = shown;
    }
    shown = at;
    ASSERT_NE(shown, DefaultRootWindow(d));
    GC gc = XCreateGC(d, shown, 0, nullptr);
    XSetForeground(d, gc, 0);
    XFillRectangle(d, shown, gc, 0, 0, 120, 80);
    XFreeGC(d, gc);
    XSync(d, False);
    ASSERT_EQ(ScreenPixels(410, 310, 1, 1)[0], 0u);
    XClearArea(d, shown, 0, 0, 0, 0, True);
    XSync(d, False);
    EXPECT_TRUE(ScreenMatchesWindow(hwnd));
}

TEST_F(PresenterTest, XWindowsFollowTheWindowsZOrder) {
    // Where they overlap, the back window is green and the front one red.
    HWND back = Create(100, 100, 200, 100);
    ShowAndPaint(back);
    HWND front = CreateWindowExW(0, L"PresenterTestWindow", L"front", WS_POPUP, 250, 100, 200, 100,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(front, nullptr);
    ShowAndPaint(front);
    ASSERT_TRUE(WaitMapped(back));
    ASSERT_TRUE(WaitMapped(front));
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(260, 110, 1, 1)[0] == kRed; }));
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(260, 110, 1, 1)[0] == kGreen; }));
    EXPECT_TRUE(ScreenMatchesWindow(back));
    DestroyWindow(front);
}

}  // namespace
