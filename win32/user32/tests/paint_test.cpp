// Update regions, WM_PAINT and window DCs, checked through the windows' pixels.
#include "user32_test_support.h"

#include <win32_debug.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace user32_test;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// What each WM_PAINT saw, and what it draws.
struct PaintLog {
    std::vector<HWND> windows;
    std::vector<PAINTSTRUCT> paints;
    std::vector<RECT> clip_boxes;
    HBRUSH fill = nullptr;  // filled over the whole client area when set
};

PaintLog g_paint;

LRESULT CALLBACK PaintingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT box{};
        GetClipBox(hdc, &box);
        if (g_paint.fill) {
            RECT all;
            GetClientRect(hwnd, &all);
            FillRect(hdc, &all, g_paint.fill);
        }
        g_paint.windows.push_back(hwnd);
        g_paint.paints.push_back(ps);
        g_paint.clip_boxes.push_back(box);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return RecordingProc(hwnd, msg, wparam, lparam);
}

HWND MakePaintWindow(HBRUSH background, DWORD style, HWND parent, RECT rect) {
    std::wstring name = UniqueClassName(L"paint");
    WNDCLASSW wc{};
    wc.lpfnWndProc = PaintingProc;
    wc.hbrBackground = background;
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc);
    return CreateWindowExW(0, name.c_str(), L"", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, nullptr, nullptr, nullptr);
}

// Handles every message already waiting, WM_PAINT included.
void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// A copy of a window's pixels (client area or whole window) read back through PrintWindow.
class Snapshot {
public:
    Snapshot(HWND hwnd, bool client_only) {
        RECT r;
        if (client_only) {
            GetClientRect(hwnd, &r);
        } else {
            GetWindowRect(hwnd, &r);
        }
        width_ = r.right - r.left;
        height_ = r.bottom - r.top;
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width_;
        bmi.bmiHeader.biHeight = -height_;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        ok_ = PrintWindow(hwnd, dc_, client_only ? PW_CLIENTONLY : 0) != FALSE;
    }
    ~Snapshot() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    bool ok() const { return ok_; }
    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t at(int x, int y) const { return bits_[y * width_ + x] & 0xFFFFFF; }

private:
    int width_ = 0, height_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
    bool ok_ = false;
};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        hook() = nullptr;
        g_paint = PaintLog{};
    }
    void TearDown() override {
        for (HGDIOBJ b : brushes_) DeleteObject(b);
    }
    HBRUSH Brush(COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        brushes_.push_back(b);
        return b;
    }
    std::vector<HGDIOBJ> brushes_;
};

TEST_F(PaintTest, ShowingAWindowMakesItPaintOnce) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP, nullptr, RECT{0, 0, 60, 40});
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, hwnd, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ShowWindow(hwnd, SW_SHOW);
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    Drain();
    ASSERT_EQ(g_paint.windows.size(), 1u);
    EXPECT_EQ(g_paint.paints[0].rcPaint.right, 60);
    EXPECT_EQ(g_paint.paints[0].rcPaint.bottom, 40);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, PaintComesAfterPostedMessagesAndBeforeTimers) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 50, 50});
    Drain();
    ASSERT_EQ(SetTimer(hwnd, 7, 10, nullptr), 7u);
    Sleep(25);  // the timer is due before anything else is queued
    InvalidateRect(hwnd, nullptr, FALSE);
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    std::vector<UINT> order;
    MSG msg;
    while (order.size() < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        order.push_back(msg.message);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_PAINT, WM_TIMER}));
    KillTimer(hwnd, 7);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, InvalidationsCoalesceIntoOnePaint) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 100, 100});
    Drain();
    g_paint = PaintLog{};
    RECT a{10, 10, 20, 20}, b{50, 60, 70, 80};
    InvalidateRect(hwnd, &a, FALSE);
    InvalidateRect(hwnd, &b, FALSE);
    RECT box;
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 70);
    EXPECT_EQ(box.bottom, 80);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetUpdateRgn(hwnd, rgn, FALSE), COMPLEXREGION);
    DeleteObject(rgn);
    Drain();
    ASSERT_EQ(g_paint.windows.size(), 1u);
    EXPECT_EQ(g_paint.paints[0].rcPaint.left, 10);
    EXPECT_EQ(g_paint.paints[0].rcPaint.bottom, 80);
    EXPECT_FALSE(GetUpdateRect(hwnd, &box, FALSE));
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, BeginPaintClipsDrawingToTheUpdateRegion) {
    HWND hwnd = MakePaintWindow(Brush(RGB(255, 255, 255)), WS_POPUP | WS_VISIBLE, nullptr,
                                RECT{0, 0, 80, 60});
    Drain();
    g_paint = PaintLog{};
    g_paint.fill = Brush(RGB(255, 0, 0));
    RECT part{10, 20, 30, 25};
    InvalidateRect(hwnd, &part, FALSE);
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.windows.size(), 1u);
    EXPECT_EQ(g_paint.clip_boxes[0].left, 10);
    EXPECT_EQ(g_paint.clip_boxes[0].top, 20);
    EXPECT_EQ(g_paint.clip_boxes[0].right, 30);
    EXPECT_EQ(g_paint.clip_boxes[0].bottom, 25);
    Snapshot shot(hwnd, true);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.at(10, 20), kRed);
    EXPECT_EQ(shot.at(29, 24), kRed);
    EXPECT_EQ(shot.at(30, 24), kWhite);
    EXPECT_EQ(shot.at(9, 20), kWhite);
    EXPECT_EQ(shot.at(10, 25), kWhite);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, EraseFillsWithTheClassBrush) {
    HWND hwnd =
        MakePaintWindow(Brush(RGB(0, 0, 255)), WS_POPUP | WS_VISIBLE, nullptr, RECT{5, 5, 45, 35});
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.paints.size(), 1u);
    EXPECT_FALSE(g_paint.paints[0].fErase);  // DefWindowProcW erased it
    EXPECT_EQ(MessagesOf(hwnd, {WM_ERASEBKGND}).size(), 1u);
    Snapshot shot(hwnd, true);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.at(0, 0), kBlue);
    EXPECT_EQ(shot.at(39, 29), kBlue);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, WithoutAClassBrushEraseLeavesThePixelsAndAsksTheProgram) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 30, 30});
    UpdateWindow(hwnd);
    HDC hdc = GetDC(hwnd);
    RECT all{0, 0, 30, 30};
    FillRect(hdc, &all, Brush(RGB(0, 255, 0)));
    ReleaseDC(hwnd, hdc);
    g_paint = PaintLog{};
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.paints.size(), 1u);
    EXPECT_TRUE(g_paint.paints[0].fErase);
    Snapshot shot(hwnd, true);
    EXPECT_EQ(shot.at(15, 15), kGreen);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, InvalidateWithoutEraseSendsNoEraseBackground) {
    HWND hwnd =
        MakePaintWindow(Brush(RGB(0, 0, 255)), WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 30, 30});
    UpdateWindow(hwnd);
    ClearLog();
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    EXPECT_TRUE(MessagesOf(hwnd, {WM_ERASEBKGND}).empty());
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, ChildWindowsPaintAtTheirOffsetClippedToThemselves) {
    HWND parent = MakePaintWindow(Brush(RGB(255, 255, 255)), WS_POPUP | WS_VISIBLE, nullptr,
                                  RECT{100, 100, 300, 250});
    HWND child =
        MakePaintWindow(Brush(RGB(0, 255, 0)), WS_CHILD | WS_VISIBLE, parent, RECT{20, 30, 70, 70});
    ASSERT_NE(child, nullptr);
    Drain();
    EXPECT_EQ(g_paint.windows.size(), 2u);
    Snapshot shot(parent, true);
    EXPECT_EQ(shot.at(20, 30), kGreen);
    EXPECT_EQ(shot.at(69, 69), kGreen);
    EXPECT_EQ(shot.at(19, 30), kWhite);
    EXPECT_EQ(shot.at(70, 69), kWhite);
    EXPECT_EQ(shot.at(20, 70), kWhite);

    // Drawing through the child's DC stays inside the child.
    HDC hdc = GetDC(child);
    RECT huge{-50, -50, 500, 500};
    FillRect(hdc, &huge, Brush(RGB(255, 0, 0)));
    ReleaseDC(child, hdc);
    Snapshot after(parent, true);
    EXPECT_EQ(after.at(20, 30), kRed);
    EXPECT_EQ(after.at(69, 69), kRed);
    EXPECT_EQ(after.at(19, 29), kWhite);
    EXPECT_EQ(after.at(70, 70), kWhite);
    DestroyWindow(parent);
}

TEST_F(PaintTest, AChildIsAlsoClippedByItsParent) {
    HWND parent = MakePaintWindow(Brush(RGB(255, 255, 255)), WS_POPUP | WS_VISIBLE, nullptr,
                                  RECT{0, 0, 100, 100});
    HWND middle =
        MakePaintWindow(Brush(RGB(0, 0, 255)), WS_CHILD | WS_VISIBLE, parent, RECT{10, 10, 50, 50});
    HWND inner =
        MakePaintWindow(Brush(RGB(0, 255, 0)), WS_CHILD | WS_VISIBLE, middle, RECT{30, 30, 80, 80});
    ASSERT_NE(inner, nullptr);
    Drain();
    Snapshot shot(parent, true);
    EXPECT_EQ(shot.at(40, 40), kGreen);  // inner's (0, 0)
    EXPECT_EQ(shot.at(49, 49), kGreen);
    EXPECT_EQ(shot.at(50, 50), kWhite);  // beyond the middle window
    EXPECT_EQ(shot.at(39, 39), kBlue);
    DestroyWindow(parent);
}

TEST_F(PaintTest, ClipChildrenKeepsTheParentOffItsChildren) {
    HWND parent = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, nullptr,
                                  RECT{0, 0, 60, 60});
    HWND child =
        MakePaintWindow(Brush(RGB(0, 255, 0)), WS_CHILD | WS_VISIBLE, parent, RECT{10, 10, 20, 20});
    ASSERT_NE(child, nullptr);
    Drain();
    HDC hdc = GetDC(parent);
    RECT all{0, 0, 60, 60};
    FillRect(hdc, &all, Brush(RGB(255, 0, 0)));
    ReleaseDC(parent, hdc);
    Snapshot shot(parent, true);
    EXPECT_EQ(shot.at(15, 15), kGreen);
    EXPECT_EQ(shot.at(5, 5), kRed);
    DestroyWindow(parent);
}

TEST_F(PaintTest, UpdateWindowSendsPaintAtOnceOnlyWhenSomethingIsInvalid) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 40, 40});
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(g_paint.windows.size(), 1u);
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(g_paint.windows.size(), 1u);
    RECT r{0, 0, 5, 5};
    InvalidateRect(hwnd, &r, FALSE);
    EXPECT_TRUE(UpdateWindow(hwnd));
    EXPECT_EQ(g_paint.windows.size(), 2u);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_FALSE(UpdateWindow(reinterpret_cast<HWND>(0x7777)));
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, ValidatedWindowsGetNoPaint) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 40, 40});
    Drain();
    MSG msg;
    RECT r{0, 0, 10, 10};
    InvalidateRect(hwnd, &r, FALSE);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ValidateRect(hwnd, &r);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));

    HRGN rgn = CreateRectRgn(0, 0, 20, 20);
    InvalidateRgn(hwnd, rgn, FALSE);
    HRGN half = CreateRectRgn(0, 0, 20, 10);
    ValidateRgn(hwnd, half);
    RECT box;
    ASSERT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.bottom, 20);
    ValidateRgn(hwnd, nullptr);
    EXPECT_FALSE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    DeleteObject(rgn);
    DeleteObject(half);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, HiddenWindowsKeepTheirUpdateRegionButGetNoPaint) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP, nullptr, RECT{0, 0, 40, 40});
    InvalidateRect(hwnd, nullptr, FALSE);
    RECT box;
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    UpdateWindow(hwnd);
    EXPECT_TRUE(g_paint.windows.empty());
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, DefWindowProcValidatesAnUnhandledPaint) {
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    DispatchMessageW(&msg);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, ResizingKeepsTheSurfaceTheWindowsSizeAndRepaintsIt) {
    HWND hwnd =
        MakePaintWindow(Brush(RGB(0, 0, 255)), WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 40, 30});
    UpdateWindow(hwnd);
    g_paint = PaintLog{};
    SetWindowPos(hwnd, nullptr, 0, 0, 90, 70, SWP_NOMOVE | SWP_NOZORDER);
    RECT box;
    ASSERT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_EQ(box.right, 90);
    EXPECT_EQ(box.bottom, 70);
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.windows.size(), 1u);
    Snapshot shot(hwnd, false);
    ASSERT_TRUE(shot.ok());
    EXPECT_EQ(shot.width(), 90);
    EXPECT_EQ(shot.at(89, 69), kBlue);
    EXPECT_EQ(shot.at(0, 0), kBlue);

    // Shrinking keeps what is left.
    SetWindowPos(hwnd, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
    Snapshot small(hwnd, false);
    EXPECT_EQ(small.width(), 20);
    EXPECT_EQ(small.at(19, 9), kBlue);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, MovingAChildRepaintsWhatItUncovered) {
    HWND parent = MakePaintWindow(Brush(RGB(255, 255, 255)), WS_POPUP | WS_VISIBLE, nullptr,
                                  RECT{0, 0, 100, 100});
    HWND child =
        MakePaintWindow(Brush(RGB(0, 255, 0)), WS_CHILD | WS_VISIBLE, parent, RECT{0, 0, 20, 20});
    Drain();
    MoveWindow(child, 50, 50, 20, 20, TRUE);
    Drain();
    Snapshot shot(parent, true);
    EXPECT_EQ(shot.at(5, 5), kWhite);
    EXPECT_EQ(shot.at(55, 55), kGreen);
    DestroyWindow(parent);
}

TEST_F(PaintTest, WindowDcCoversTheFrameAndTheClientDcStartsAtTheClientArea) {
    HWND hwnd =
        MakePaintWindow(nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{10, 10, 210, 160});
    Drain();
    RECT window;
    GetWindowRect(hwnd, &window);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    HDC wdc = GetWindowDC(hwnd);
    ASSERT_NE(wdc, nullptr);
    RECT frame{0, 0, 200, 150};
    FillRect(wdc, &frame, Brush(RGB(255, 0, 0)));
    ReleaseDC(hwnd, wdc);
    HDC cdc = GetDC(hwnd);
    RECT corner{0, 0, 1, 1};
    FillRect(cdc, &corner, Brush(RGB(0, 255, 0)));
    ReleaseDC(hwnd, cdc);
    Snapshot shot(hwnd, false);
    EXPECT_EQ(shot.at(0, 0), kRed);
    EXPECT_EQ(shot.at(origin.x - window.left, origin.y - window.top), kGreen);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, ScreenAndClientCoordinatesAgreeForChildren) {
    HWND parent = MakePaintWindow(nullptr, WS_OVERLAPPEDWINDOW, nullptr, RECT{40, 50, 340, 250});
    HWND child = MakePaintWindow(nullptr, WS_CHILD, parent, RECT{15, 25, 65, 75});
    POINT p{3, 4};
    ClientToScreen(child, &p);
    POINT parent_origin{0, 0};
    ClientToScreen(parent, &parent_origin);
    EXPECT_EQ(p.x, parent_origin.x + 15 + 3);
    EXPECT_EQ(p.y, parent_origin.y + 25 + 4);
    ScreenToClient(child, &p);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 4);
    DestroyWindow(parent);
}

TEST_F(PaintTest, AnotherThreadsInvalidationWakesTheMessageLoop) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 30, 30});
    Drain();
    std::thread other([hwnd] {
        Sleep(30);
        InvalidateRect(hwnd, nullptr, FALSE);
    });
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageW(&msg);
    other.join();
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, InvalidatingAParentReachesItsChildrenUnlessItClipsThem) {
    for (DWORD clip : {DWORD{0}, DWORD{WS_CLIPCHILDREN}}) {
        HWND parent =
            MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE | clip, nullptr, RECT{0, 0, 100, 100});
        HWND child = MakePaintWindow(nullptr, WS_CHILD | WS_VISIBLE, parent, RECT{10, 10, 40, 40});
        HWND far_child =
            MakePaintWindow(nullptr, WS_CHILD | WS_VISIBLE, parent, RECT{60, 60, 90, 90});
        Drain();
        RECT r{0, 0, 20, 20};
        InvalidateRect(parent, &r, FALSE);
        RECT box;
        EXPECT_EQ(GetUpdateRect(child, &box, FALSE), clip ? FALSE : TRUE);
        if (!clip) {
            EXPECT_EQ(box.left, 0);
            EXPECT_EQ(box.right, 10);  // the overlap, in the child's own coordinates
        }
        EXPECT_FALSE(GetUpdateRect(far_child, &box, FALSE));
        DestroyWindow(parent);
    }
}

TEST_F(PaintTest, ClipSiblingsKeepsAChildOffTheSiblingsInFront) {
    HWND parent = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 100, 100});
    HWND back = MakePaintWindow(nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, parent,
                                RECT{0, 0, 50, 50});
    HWND front =
        MakePaintWindow(Brush(RGB(0, 255, 0)), WS_CHILD | WS_VISIBLE, parent, RECT{20, 20, 60, 60});
    Drain();
    HDC hdc = GetDC(back);
    RECT all{0, 0, 50, 50};
    FillRect(hdc, &all, Brush(RGB(255, 0, 0)));
    ReleaseDC(back, hdc);
    Snapshot shot(parent, true);
    EXPECT_EQ(shot.at(10, 10), kRed);
    EXPECT_EQ(shot.at(30, 30), kGreen);
    (void)front;
    DestroyWindow(parent);
}

TEST_F(PaintTest, WindowDcsAreReleasedNotDeletedAndCountFromTheWindow) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 40, 40});
    HWND child = MakePaintWindow(nullptr, WS_CHILD | WS_VISIBLE, hwnd, RECT{10, 15, 30, 35});
    HDC hdc = GetDC(child);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetObjectType(hdc), static_cast<DWORD>(OBJ_DC));
    EXPECT_FALSE(DeleteDC(hdc));
    POINT p{1, 2};
    ASSERT_TRUE(LPtoDP(hdc, &p, 1));
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    RECT box;
    EXPECT_EQ(GetClipBox(hdc, &box), SIMPLEREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 20);
    EXPECT_EQ(ReleaseDC(child, hdc), 1);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x7777)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, GetUpdateRectWithEraseErasesOnceAndKeepsTheRegion) {
    HWND hwnd =
        MakePaintWindow(Brush(RGB(0, 0, 255)), WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 30, 30});
    Drain();
    ClearLog();
    InvalidateRect(hwnd, nullptr, TRUE);
    RECT box;
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, TRUE));
    EXPECT_EQ(MessagesOf(hwnd, {WM_ERASEBKGND}).size(), 1u);
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, TRUE));
    Drain();
    EXPECT_EQ(MessagesOf(hwnd, {WM_ERASEBKGND}).size(), 1u);
    ASSERT_FALSE(g_paint.paints.empty());
    EXPECT_FALSE(g_paint.paints.back().fErase);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, TheDumpFolderGetsAPngAfterEachPaint) {
    char dir_template[] = "/tmp/paint-dump-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    setenv("WIN32_PAINT_DUMP_DIR", dir_template, 1);
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 12, 12});
    UpdateWindow(hwnd);
    unsetenv("WIN32_PAINT_DUMP_DIR");
    char name[64];
    snprintf(name, sizeof name, "/window-%08lx.png",
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)));
    std::string file = std::string(dir_template) + name;
    EXPECT_EQ(access(file.c_str(), R_OK), 0);
    std::remove(file.c_str());
    rmdir(dir_template);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, APaintedWindowLeavesTheLoopAsleep) {
    HWND hwnd = MakePaintWindow(nullptr, WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 30, 30});
    Drain();
    auto cpu_ms = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
        return ms(usage.ru_utime) + ms(usage.ru_stime);
    };
    const DWORD me = GetCurrentThreadId();
    const double before = cpu_ms();
    std::thread other([me] {
        Sleep(200);
        PostThreadMessageW(me, WM_USER + 9, 0, 0);
    });
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
    other.join();
    EXPECT_LT(cpu_ms() - before, 60.0);
    DestroyWindow(hwnd);
}

TEST_F(PaintTest, DumpWritesTheWindowAsAPng) {
    HWND hwnd =
        MakePaintWindow(Brush(RGB(0, 0, 255)), WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 33, 17});
    UpdateWindow(hwnd);
    char dir_template[] = "/tmp/paint-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    std::string file = std::string(dir_template) + "/window.png";
    std::wstring wide(file.begin(), file.end());
    ASSERT_TRUE(Win32DumpWindowPng(hwnd, wide.c_str()));
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 24u);
    const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), bytes.begin()));
    auto be32 = [&](size_t at) {
        return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    };
    EXPECT_EQ(be32(16), 33);  // IHDR width
    EXPECT_EQ(be32(20), 17);  // IHDR height
    std::remove(file.c_str());
    rmdir(dir_template);
    EXPECT_FALSE(Win32DumpWindowPng(reinterpret_cast<HWND>(0x7777), wide.c_str()));
    DestroyWindow(hwnd);
}

}  // namespace
