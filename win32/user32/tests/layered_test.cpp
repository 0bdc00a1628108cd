// Layered windows: content and alpha handed over by UpdateLayeredWindow, and the
// attributes set with SetLayeredWindowAttributes.
#include "user32_test_support.h"

#include <win32_debug.h>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "testing/win32_window_pixels.h"

using namespace user32_test;

namespace {

// A 10x8 picture: premultiplied half-transparent red on the left, opaque blue on the
// right, fully transparent in the top row.
struct Picture : testing_support::DibCanvas {
    explicit Picture(int width = 10, int height = 8) : DibCanvas(width, height) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                at(x, y) = y == 0 ? 0u : x < width / 2 ? 0x80800000u : 0xFF0000FFu;
    }
};

int g_paints = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    g_paints += msg == WM_PAINT;
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

// The window's pixels as PrintWindow copies them, all four bytes.
std::vector<uint32_t> Print(HWND hwnd, int width, int height) {
    return testing_support::WindowPixels(hwnd, width, height, 0, ~0u);
}

BOOL Update(HWND h, const POINT* to, const SIZE* size, HDC src, POINT from = {0, 0}) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return UpdateLayeredWindow(h, nullptr, const_cast<POINT*>(to), const_cast<SIZE*>(size), src,
                               src ? &from : nullptr, 0, &blend, ULW_ALPHA);
}

class LayeredTest : public ::testing::Test {
protected:
    void SetUp() override { g_paints = 0; }
    void TearDown() override {
        for (HWND h : windows_) DestroyWindow(h);
    }
    HWND Make(DWORD ex_style, RECT r) {
        std::wstring name = UniqueClassName(L"layered");
        RegisterTestClass(name, CountingProc);
        HWND h =
            CreateWindowExW(ex_style, name.c_str(), L"", WS_POPUP | WS_VISIBLE, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
        windows_.push_back(h);
        return h;
    }
    std::vector<HWND> windows_;
};

TEST_F(LayeredTest, UpdateCopiesPixelsWithTheirAlphaAndPlacesTheWindow) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 4, 4});
    Picture picture;
    ASSERT_TRUE(Update(h, nullptr, nullptr, picture.dc(), {4, 1}));
    auto px = Print(h, 4, 4);
    ASSERT_EQ(px.size(), 16u);
    EXPECT_EQ(std::pair(px[0], px[1]), std::pair(0x80800000u, 0xFF0000FFu));  // columns 4, 5
    const POINT to{40, 50};
    const SIZE size{10, 8};
    ASSERT_TRUE(Update(h, &to, &size, picture.dc()));
    EXPECT_EQ(WindowRect(h), (RECT{40, 50, 50, 58}));
    px = Print(h, 10, 8);
    ASSERT_EQ(px.size(), 80u);
    EXPECT_EQ(std::tuple(px[0], px[1 * 10 + 2], px[7 * 10 + 9]),
              std::tuple(0u, 0x80800000u, 0xFF0000FFu));
    // Moving alone keeps the size and the pixels.
    const POINT again{5, 6};
    ASSERT_TRUE(Update(h, &again, nullptr, nullptr));
    EXPECT_EQ(WindowRect(h), (RECT{5, 6, 15, 14}));
    EXPECT_EQ(Print(h, 10, 8), px);
    // A source smaller than the window is refused, and nothing moves.
    Picture small(4, 4);
    SetLastError(0);
    EXPECT_EQ(Failed(!Update(h, &to, nullptr, small.dc())), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WindowRect(h).left, 5);
}

// A window whose content is handed over gets no WM_PAINT, until attributes hand the
// painting back to it; from then on it takes no content.
TEST_F(LayeredTest, AttributesHandPaintingBackToTheWindow) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    Picture picture;
    ASSERT_TRUE(Update(h, nullptr, nullptr, picture.dc()));
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    Drain();
    EXPECT_EQ(g_paints, 0);
    COLORREF key = 1;
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_FALSE(GetLayeredWindowAttributes(h, &key, &alpha, &flags));
    ASSERT_TRUE(SetLayeredWindowAttributes(h, RGB(1, 2, 3), 128, LWA_ALPHA | LWA_COLORKEY));
    ASSERT_TRUE(GetLayeredWindowAttributes(h, &key, &alpha, &flags));
    EXPECT_EQ(std::tuple(key, alpha, flags),
              std::tuple(RGB(1, 2, 3), BYTE{128}, DWORD{LWA_ALPHA | LWA_COLORKEY}));
    Drain();
    EXPECT_EQ(g_paints, 1);
    SetLastError(0);
    EXPECT_EQ(Failed(!Update(h, nullptr, nullptr, picture.dc())), ERROR_INVALID_PARAMETER);
    // A window that is not layered takes neither.
    HWND plain = Make(0, {0, 0, 10, 8});
    SetLastError(0);
    EXPECT_EQ(Failed(!SetLayeredWindowAttributes(plain, 0, 128, LWA_ALPHA)),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Failed(!Update(plain, nullptr, nullptr, nullptr)), ERROR_INVALID_PARAMETER);
}

// The debugging dumps: Win32DumpWindowPng, and WIN32_PAINT_DUMP_DIR after each paint.
TEST_F(LayeredTest, DumpsArePngsOfTheWindowKeepingPerPixelAlpha) {
    testing_support::TempDir dir;
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    Picture picture;
    ASSERT_TRUE(Update(h, nullptr, nullptr, picture.dc()));
    const std::string file = dir.file("w.png");
    ASSERT_TRUE(Win32DumpWindowPng(h, dir.winfile("w.png").c_str()));  // wherever the clone is
    EXPECT_FALSE(Win32DumpWindowPng(reinterpret_cast<HWND>(0x7777), L"/nowhere.png"));
    const std::string bytes = testing_support::ReadAll(file);
    // Signature, IHDR length and type, width, height, depth, then the colour type (6: RGBA).
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(std::tuple(bytes[19], bytes[23], bytes[25]), std::tuple(10, 8, 6));
    testing_support::ScopedEnv dump("WIN32_PAINT_DUMP_DIR", dir.path());
    HWND plain = Make(0, {0, 0, 12, 12});
    UpdateWindow(plain);
    char name[64];
    snprintf(name, sizeof name, "window-%08lx.png",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(plain)));
    EXPECT_TRUE(testing_support::Exists(dir.file(name)));
}

}  // namespace
