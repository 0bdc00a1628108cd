// Layered windows: content and alpha handed over by UpdateLayeredWindow, and the
// attributes set with SetLayeredWindowAttributes.
#include "user32_test_support.h"

#include <win32_debug.h>

#include <fstream>
#include <iterator>

using namespace user32_test;

namespace {

// A 32-bpp top-down DIB section selected into a memory DC.
class Dib {
public:
    Dib(int width, int height) : width_(width) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Dib() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    uint32_t& at(int x, int y) { return bits_[y * width_ + x]; }
    bool ok() const { return bits_ != nullptr; }

private:
    int width_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

int g_paints = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_PAINT) {
        ++g_paints;
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class LayeredTest : public ::testing::Test {
protected:
    void SetUp() override { g_paints = 0; }
    void TearDown() override {
        for (HWND h : windows_) DestroyWindow(h);
    }
    HWND Make(DWORD ex_style, RECT r) {
        std::wstring name = UniqueClassName(L"layered");
        WNDCLASSW wc{};
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = name.c_str();
        RegisterClassW(&wc);
        HWND h = CreateWindowExW(ex_style, name.c_str(), L"", WS_POPUP | WS_VISIBLE, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr,
                                 nullptr);
        if (h) windows_.push_back(h);
        return h;
    }
    // A 10x8 picture: premultiplied half-transparent red on the left, opaque blue
    // on the right, fully transparent in the top row.
    static void Paint(Dib& dib) {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x)
                dib.at(x, y) = y == 0 ? 0u : x < 5 ? 0x80800000u : 0xFF0000FFu;
    }
    std::vector<HWND> windows_;
};

// The window's pixels as PrintWindow copies them, all four bytes.
std::vector<uint32_t> Print(HWND hwnd, int width, int height) {
    Dib dib(width, height);
    std::vector<uint32_t> out;
    if (!dib.ok() || !PrintWindow(hwnd, dib.dc(), 0)) return out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(dib.at(x, y));
    return out;
}

TEST_F(LayeredTest, UpdateCopiesPixelsWithTheirAlpha) {
    HWND h = Make(WS_EX_LAYERED, {10, 10, 20, 18});
    ASSERT_TRUE(h);
    Dib dib(10, 8);
    ASSERT_TRUE(dib.ok());
    Paint(dib);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    POINT src{0, 0};
    ASSERT_TRUE(UpdateLayeredWindow(h, nullptr, nullptr, nullptr, dib.dc(), &src, 0, &blend,
                                    ULW_ALPHA));
    auto px = Print(h, 10, 8);
    ASSERT_EQ(px.size(), 80u);
    EXPECT_EQ(px[0], 0u);
    EXPECT_EQ(px[1 * 10 + 2], 0x80800000u);
    EXPECT_EQ(px[7 * 10 + 9], 0xFF0000FFu);
}

TEST_F(LayeredTest, SourcePointPicksTheCopiedPart) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 4, 4});
    ASSERT_TRUE(h);
    Dib dib(10, 8);
    Paint(dib);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    POINT src{4, 1};
    ASSERT_TRUE(UpdateLayeredWindow(h, nullptr, nullptr, nullptr, dib.dc(), &src, 0, &blend,
                                    ULW_ALPHA));
    auto px = Print(h, 4, 4);
    ASSERT_EQ(px.size(), 16u);
    EXPECT_EQ(px[0], 0x80800000u);  // source column 4
    EXPECT_EQ(px[1], 0xFF0000FFu);  // source column 5
}

TEST_F(LayeredTest, UpdateMovesAndResizesTheWindow) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 3, 3});
    ASSERT_TRUE(h);
    Dib dib(10, 8);
    Paint(dib);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 200, AC_SRC_ALPHA};
    POINT dst{40, 50}, src{0, 0};
    SIZE size{10, 8};
    ASSERT_TRUE(
        UpdateLayeredWindow(h, nullptr, &dst, &size, dib.dc(), &src, 0, &blend, ULW_ALPHA));
    RECT r;
    ASSERT_TRUE(GetWindowRect(h, &r));
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 58);
    auto px = Print(h, 10, 8);
    ASSERT_EQ(px.size(), 80u);
    EXPECT_EQ(px[7 * 10 + 9], 0xFF0000FFu);

    // Moving alone keeps the size and the pixels.
    POINT again{5, 6};
    ASSERT_TRUE(UpdateLayeredWindow(h, nullptr, &again, nullptr, nullptr, nullptr, 0, &blend,
                                    ULW_ALPHA));
    ASSERT_TRUE(GetWindowRect(h, &r));
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 10);
    EXPECT_EQ(Print(h, 10, 8), px);
}

TEST_F(LayeredTest, UpdatedWindowGetsNoPaint) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    ASSERT_TRUE(h);
    Dib dib(20, 16);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    SIZE size{20, 16};
    POINT src{0, 0};
    ASSERT_TRUE(
        UpdateLayeredWindow(h, nullptr, nullptr, &size, dib.dc(), &src, 0, &blend, ULW_ALPHA));
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    Drain();
    EXPECT_EQ(g_paints, 0);

    // A plain window shown the same way is painted, so the count can move.
    HWND plain = Make(0, {0, 0, 10, 8});
    ASSERT_TRUE(plain);
    Drain();
    EXPECT_GT(g_paints, 0);
}

TEST_F(LayeredTest, ConstantAlphaIsRecorded) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    ASSERT_TRUE(h);
    COLORREF key = 1;
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_FALSE(GetLayeredWindowAttributes(h, &key, &alpha, &flags));
    ASSERT_TRUE(SetLayeredWindowAttributes(h, RGB(1, 2, 3), 128, LWA_ALPHA | LWA_COLORKEY));
    ASSERT_TRUE(GetLayeredWindowAttributes(h, &key, &alpha, &flags));
    EXPECT_EQ(key, RGB(1, 2, 3));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA | LWA_COLORKEY));
}

TEST_F(LayeredTest, AttributesHandPaintingBackToTheWindow) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    ASSERT_TRUE(h);
    Dib dib(10, 8);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    POINT src{0, 0};
    ASSERT_TRUE(UpdateLayeredWindow(h, nullptr, nullptr, nullptr, dib.dc(), &src, 0, &blend,
                                    ULW_ALPHA));
    Drain();
    ASSERT_EQ(g_paints, 0);
    ASSERT_TRUE(SetLayeredWindowAttributes(h, 0, 200, LWA_ALPHA));
    Drain();
    EXPECT_EQ(g_paints, 1);
    SetLastError(0);
    EXPECT_FALSE(UpdateLayeredWindow(h, nullptr, nullptr, nullptr, dib.dc(), &src, 0, &blend,
                                     ULW_ALPHA));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(LayeredTest, NonLayeredWindowIsRefused) {
    HWND h = Make(0, {0, 0, 10, 8});
    ASSERT_TRUE(h);
    SetLastError(0);
    EXPECT_FALSE(SetLayeredWindowAttributes(h, 0, 128, LWA_ALPHA));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    SetLastError(0);
    EXPECT_FALSE(UpdateLayeredWindow(h, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &blend,
                                     ULW_ALPHA));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(LayeredTest, SourceSmallerThanTheWindowIsRefusedAndNothingMoves) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    ASSERT_TRUE(h);
    Dib dib(4, 4);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    POINT dst{30, 30}, src{0, 0};
    SetLastError(0);
    EXPECT_FALSE(
        UpdateLayeredWindow(h, nullptr, &dst, nullptr, dib.dc(), &src, 0, &blend, ULW_ALPHA));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    RECT r;
    ASSERT_TRUE(GetWindowRect(h, &r));
    EXPECT_EQ(r.left, 0);
}

TEST_F(LayeredTest, PngDumpKeepsPerPixelAlpha) {
    HWND h = Make(WS_EX_LAYERED, {0, 0, 10, 8});
    ASSERT_TRUE(h);
    Dib dib(10, 8);
    Paint(dib);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    POINT src{0, 0};
    ASSERT_TRUE(UpdateLayeredWindow(h, nullptr, nullptr, nullptr, dib.dc(), &src, 0, &blend,
                                    ULW_ALPHA));
    char dir[] = "/tmp/layered_test_XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string file = std::string(dir) + "/w.png";
    std::wstring wide(file.begin(), file.end());
    ASSERT_TRUE(Win32DumpWindowPng(h, wide.c_str()));
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    in.close();
    unlink(file.c_str());
    rmdir(dir);
    // Signature, IHDR length and type, width, height, depth, then the colour type.
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[19], 10);  // width
    EXPECT_EQ(bytes[23], 8);   // height
    EXPECT_EQ(bytes[25], 6);   // RGBA
}

}  // namespace
