// Update regions, WM_PAINT and window DCs, checked through the windows' pixels.
#include "user32_test_support.h"
#include "testing/win32_window_pixels.h"

using namespace user32_test;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// What each WM_PAINT saw, and what it fills the whole client area with (when set).
struct PaintLog {
    std::vector<PAINTSTRUCT> paints;
    std::vector<RECT> clip_boxes;
    HBRUSH fill = nullptr;
} g_paint;

LRESULT CALLBACK PaintingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg != WM_PAINT) return RecordingProc(hwnd, msg, wparam, lparam);
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT box{}, all;
    GetClipBox(hdc, &box);
    GetClientRect(hwnd, &all);
    if (g_paint.fill) FillRect(hdc, &all, g_paint.fill);
    g_paint.paints.push_back(ps);
    g_paint.clip_boxes.push_back(box);
    EndPaint(hwnd, &ps);
    return 0;
}

bool PaintQueued() { return Next(nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE) != 0; }

// A copy of a window's pixels (client area or whole window) read back through PrintWindow.
struct Snapshot {
    Snapshot(HWND hwnd, bool client_only) {
        RECT r{};
        client_only ? GetClientRect(hwnd, &r) : GetWindowRect(hwnd, &r);
        width = r.right - r.left;
        px = testing_support::WindowPixels(hwnd, width, r.bottom - r.top,
                                           client_only ? PW_CLIENTONLY : 0);
    }
    bool ok() const { return !px.empty(); }
    uint32_t at(int x, int y) const { return ok() ? px.at(y * width + x) : ~0u; }

    int width = 0;
    std::vector<uint32_t> px;
};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        g_paint = PaintLog{};
    }
    void TearDown() override {
        for (HWND h : windows_) DestroyWindow(h);
        for (HGDIOBJ b : brushes_) DeleteObject(b);
    }
    HBRUSH Brush(COLORREF c) {
        brushes_.push_back(CreateSolidBrush(c));
        return static_cast<HBRUSH>(brushes_.back());
    }
    // A window of a painting class with the given background colour (none: -1).
    HWND Make(RECT r, DWORD style = WS_POPUP | WS_VISIBLE, HWND parent = nullptr,
              COLORREF background = CLR_INVALID) {
        std::wstring name = UniqueClassName(L"paint");
        WNDCLASSW wc{};
        wc.lpfnWndProc = PaintingProc;
        wc.hbrBackground = background == CLR_INVALID ? nullptr : Brush(background);
        wc.lpszClassName = name.c_str();
        RegisterClassW(&wc);
        HWND h = CreateWindowExW(0, name.c_str(), L"", style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, parent, nullptr, nullptr, nullptr);
        if (!parent) windows_.push_back(h);
        return h;
    }
    void Fill(HWND hwnd, RECT r, COLORREF c, bool window_dc = false) {
        HDC hdc = window_dc ? GetWindowDC(hwnd) : GetDC(hwnd);
        FillRect(hdc, &r, Brush(c));
        ReleaseDC(hwnd, hdc);
    }
    std::vector<HWND> windows_;
    std::vector<HGDIOBJ> brushes_;
};

TEST_F(PaintTest, AShownWindowPaintsOnceAfterPostedMessagesAndBeforeTimers) {
    HWND hwnd = Make({0, 0, 60, 40}, WS_POPUP);
    EXPECT_FALSE(PaintQueued());
    ShowWindow(hwnd, SW_SHOW);
    ASSERT_EQ(SetTimer(hwnd, 7, 10, nullptr), 7u);
    Sleep(25);  // the timer is due before anything else is queued
    PostMessageW(hwnd, WM_USER + 1, 0, 0);
    std::vector<UINT> order;
    MSG msg;
    while (order.size() < 3 && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        order.push_back(msg.message);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_PAINT, WM_TIMER}));
    KillTimer(hwnd, 7);
    ASSERT_EQ(g_paint.paints.size(), 1u);
    EXPECT_EQ(g_paint.paints[0].rcPaint, (RECT{0, 0, 60, 40}));
    EXPECT_FALSE(PaintQueued());
    // DefWindowProcW validates a paint nobody handled.
    HWND plain = MakeWindow(WS_POPUP | WS_VISIBLE);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, plain);
    DispatchMessageW(&msg);
    EXPECT_FALSE(PaintQueued());
    DestroyWindow(plain);
}

TEST_F(PaintTest, InvalidationsCoalesceValidationsRemoveAndHiddenWindowsWait) {
    HWND hwnd = Make({0, 0, 100, 100});
    EXPECT_TRUE(UpdateWindow(hwnd));
    g_paint = PaintLog{};
    RECT a{10, 10, 20, 20}, b{50, 60, 70, 80}, box;
    InvalidateRect(hwnd, &a, FALSE);
    InvalidateRect(hwnd, &b, FALSE);
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_EQ(box, (RECT{10, 10, 70, 80}));
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetUpdateRgn(hwnd, rgn, FALSE), COMPLEXREGION);
    DeleteObject(rgn);
    Drain();
    ASSERT_EQ(g_paint.paints.size(), 1u);
    EXPECT_EQ(g_paint.paints[0].rcPaint, (RECT{10, 10, 70, 80}));
    EXPECT_FALSE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_TRUE(UpdateWindow(hwnd));  // nothing to paint: no paint
    EXPECT_EQ(g_paint.paints.size(), 1u);
    InvalidateRect(hwnd, &a, FALSE);
    ValidateRect(hwnd, &a);
    EXPECT_FALSE(PaintQueued());
    HRGN square = CreateRectRgn(0, 0, 20, 20), half = CreateRectRgn(0, 0, 20, 10);
    InvalidateRgn(hwnd, square, FALSE);
    ValidateRgn(hwnd, half);
    DeleteObject(square);
    DeleteObject(half);
    ASSERT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_EQ(box, (RECT{0, 10, 20, 20}));
    ValidateRgn(hwnd, nullptr);
    EXPECT_FALSE(PaintQueued());
    // A hidden window keeps its update region and waits.
    ShowWindow(hwnd, SW_HIDE);
    InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_FALSE(PaintQueued());
    UpdateWindow(hwnd);
    EXPECT_EQ(g_paint.paints.size(), 1u);
    EXPECT_FALSE(UpdateWindow(reinterpret_cast<HWND>(0x7777)));
}

TEST_F(PaintTest, BeginPaintClipsToTheUpdateRegionAfterErasingWithTheClassBrush) {
    HWND hwnd = Make({5, 5, 85, 65}, WS_POPUP | WS_VISIBLE, nullptr, RGB(0, 0, 255));
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.paints.size(), 1u);
    EXPECT_FALSE(g_paint.paints[0].fErase);  // DefWindowProcW erased it
    EXPECT_EQ(MessagesOf(hwnd, {WM_ERASEBKGND}).size(), 1u);
    EXPECT_EQ(Snapshot(hwnd, true).at(79, 59), kBlue);
    g_paint = PaintLog{};
    g_paint.fill = Brush(RGB(255, 0, 0));
    RECT part{10, 20, 30, 25};
    InvalidateRect(hwnd, &part, FALSE);  // no erase asked: none sent
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.clip_boxes.size(), 1u);
    EXPECT_EQ(g_paint.clip_boxes[0], part);
    EXPECT_EQ(MessagesOf(hwnd, {WM_ERASEBKGND}).size(), 1u);
    Snapshot shot(hwnd, true);
    ASSERT_TRUE(shot.ok());
    const std::pair<POINT, uint32_t> pixels[] = {
        {{10, 20}, kRed}, {{29, 24}, kRed}, {{30, 24}, kBlue}, {{9, 20}, kBlue}, {{10, 25}, kBlue}};
    for (auto [p, colour] : pixels) EXPECT_EQ(shot.at(p.x, p.y), colour) << p.x << "," << p.y;
    // GetUpdateRect may erase, once, and keeps the region.
    g_paint.fill = nullptr;
    ClearLog();
    InvalidateRect(hwnd, nullptr, TRUE);
    RECT box;
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, TRUE));
    EXPECT_TRUE(GetUpdateRect(hwnd, &box, TRUE));
    Drain();
    EXPECT_EQ(MessagesOf(hwnd, {WM_ERASEBKGND}).size(), 1u);
    EXPECT_FALSE(g_paint.paints.back().fErase);
    // Without a class brush the pixels stay and the program is asked to erase.
    HWND bare = Make({0, 0, 30, 30});
    UpdateWindow(bare);
    Fill(bare, {0, 0, 30, 30}, RGB(0, 255, 0));
    InvalidateRect(bare, nullptr, TRUE);
    UpdateWindow(bare);
    EXPECT_TRUE(g_paint.paints.back().fErase);
    EXPECT_EQ(Snapshot(bare, true).at(15, 15), kGreen);
}

TEST_F(PaintTest, ChildrenPaintAtTheirOffsetWithinTheirParentsAndSiblings) {
    HWND parent = Make({100, 100, 300, 250}, WS_POPUP | WS_VISIBLE, nullptr, RGB(255, 255, 255));
    HWND child = Make({20, 30, 70, 70}, WS_CHILD | WS_VISIBLE, parent, RGB(0, 255, 0));
    HWND inner = Make({40, 30, 90, 80}, WS_CHILD | WS_VISIBLE, child, RGB(0, 0, 255));
    HWND back = Make({100, 10, 150, 60}, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, parent);
    Make({120, 30, 160, 70}, WS_CHILD | WS_VISIBLE, parent, RGB(0, 255, 0));
    Drain();
    EXPECT_EQ(g_paint.paints.size(), 5u);
    Fill(back, {0, 0, 50, 50}, RGB(255, 0, 0));  // stays off the sibling in front
    Snapshot shot(parent, true);
    const std::pair<POINT, uint32_t> pixels[] = {
        {{20, 30}, kGreen}, {{59, 69}, kGreen}, {{19, 30}, kWhite}, {{70, 69}, kWhite},
        {{60, 60}, kBlue},  {{69, 69}, kBlue},  {{70, 70}, kWhite},  // inner, cut by child
        {{110, 20}, kRed},  {{130, 40}, kGreen}};
    for (auto [p, colour] : pixels) EXPECT_EQ(shot.at(p.x, p.y), colour) << p.x << "," << p.y;
    // Drawing through a child's DC stays inside the child; the parent's reaches it.
    Fill(inner, {-50, -50, 500, 500}, RGB(255, 0, 0));
    Snapshot after(parent, true);
    EXPECT_EQ(after.at(69, 69), kRed);
    EXPECT_EQ(after.at(70, 70), kWhite);
    EXPECT_EQ(after.at(59, 59), kGreen);
    // Moving a child repaints what it uncovered.
    MoveWindow(child, 0, 100, 50, 40, TRUE);
    Drain();
    Snapshot moved(parent, true);
    EXPECT_EQ(moved.at(25, 35), kWhite);
    EXPECT_EQ(moved.at(5, 105), kGreen);
}

TEST_F(PaintTest, ClipChildrenKeepsTheParentOffAndItsInvalidationsOutOfItsChildren) {
    for (DWORD clip : {DWORD{0}, DWORD{WS_CLIPCHILDREN}}) {
        HWND parent = Make({0, 0, 100, 100}, WS_POPUP | WS_VISIBLE | clip);
        HWND child = Make({10, 10, 40, 40}, WS_CHILD | WS_VISIBLE, parent, RGB(0, 255, 0));
        HWND far_child = Make({60, 60, 90, 90}, WS_CHILD | WS_VISIBLE, parent);
        Drain();
        RECT r{0, 0, 20, 20}, box;
        InvalidateRect(parent, &r, FALSE);
        EXPECT_EQ(GetUpdateRect(child, &box, FALSE), clip ? FALSE : TRUE);
        if (!clip) EXPECT_EQ(box, (RECT{0, 0, 10, 10}));  // the overlap, in the child's place
        EXPECT_FALSE(GetUpdateRect(far_child, &box, FALSE));
        Drain();
        Fill(parent, {0, 0, 100, 100}, RGB(255, 0, 0));
        EXPECT_EQ(Snapshot(parent, true).at(15, 15), clip ? kGreen : kRed);
    }
}

TEST_F(PaintTest, ResizingKeepsTheSurfaceTheWindowsSizeAndRepaintsIt) {
    HWND hwnd = Make({0, 0, 40, 30}, WS_POPUP | WS_VISIBLE, nullptr, RGB(0, 0, 255));
    UpdateWindow(hwnd);
    g_paint = PaintLog{};
    SetWindowPos(hwnd, nullptr, 0, 0, 90, 70, SWP_NOMOVE | SWP_NOZORDER);
    RECT box;
    ASSERT_TRUE(GetUpdateRect(hwnd, &box, FALSE));
    EXPECT_EQ(box, (RECT{0, 0, 90, 70}));
    UpdateWindow(hwnd);
    ASSERT_EQ(g_paint.paints.size(), 1u);
    Snapshot shot(hwnd, false);
    EXPECT_EQ(shot.width, 90);
    EXPECT_EQ(shot.at(89, 69), kBlue);
    // Shrinking keeps what is left.
    SetWindowPos(hwnd, nullptr, 0, 0, 20, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
    Snapshot small(hwnd, false);
    EXPECT_EQ(small.width, 20);
    EXPECT_EQ(small.at(19, 9), kBlue);
}

TEST_F(PaintTest, WindowDcsCoverTheFrameOrTheClientAreaAndAreOnlyReleased) {
    HWND hwnd = Make({10, 10, 210, 160}, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    Drain();
    RECT window;
    GetWindowRect(hwnd, &window);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    Fill(hwnd, {0, 0, 200, 150}, RGB(255, 0, 0), true);
    Fill(hwnd, {0, 0, 1, 1}, RGB(0, 255, 0));
    Snapshot shot(hwnd, false);
    EXPECT_EQ(shot.at(0, 0), kRed);
    EXPECT_EQ(shot.at(origin.x - window.left, origin.y - window.top), kGreen);
    HWND child = Make({10, 15, 30, 35}, WS_CHILD | WS_VISIBLE, hwnd);
    HDC hdc = GetDC(child);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetObjectType(hdc), static_cast<DWORD>(OBJ_DC));
    EXPECT_FALSE(DeleteDC(hdc));
    POINT p{1, 2};
    ASSERT_TRUE(LPtoDP(hdc, &p, 1));
    EXPECT_EQ(p.x, 1);
    RECT box;
    EXPECT_EQ(GetClipBox(hdc, &box), SIMPLEREGION);
    EXPECT_EQ(box, (RECT{0, 0, 20, 20}));
    EXPECT_EQ(ReleaseDC(child, hdc), 1);
    EXPECT_EQ(Failed(GetDC(reinterpret_cast<HWND>(0x7777)) == nullptr),
              ERROR_INVALID_WINDOW_HANDLE);
    p = {3, 4};  // a child's client area lies within its parent's, not its frame
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x * 1000 + p.y, (origin.x + 13) * 1000 + origin.y + 19);
}

// Another thread's invalidation wakes the loop; a painted window leaves it asleep.
TEST_F(PaintTest, OnlyAnInvalidationWakesTheLoopOfAPaintedWindow) {
    HWND hwnd = Make({0, 0, 30, 30});
    Drain();
    const double cpu = CpuMs();
    std::thread other = Later(200, [hwnd] { InvalidateRect(hwnd, nullptr, FALSE); });
    MSG msg;
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    EXPECT_LT(CpuMs() - cpu, 60.0);
    DispatchMessageW(&msg);
    other.join();
}

}  // namespace
