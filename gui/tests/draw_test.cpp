// Gui::Draw, BackDraw and ScreenDraw over a DIB surface: shapes, levels, GDI objects
// and images.
#include "gui/draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "draw_support.h"
#include "gui/image.h"

namespace {

using Gui::Color;
using Gui::Image;
using Gui::MakeRGBA;
using Gui::Point;
using Gui::Rect;
using test::kBackground;
using test::Surface;

const Color kRed(0xFF, 0, 0), kGreen(0, 0xFF, 0), kBlue(0, 0, 0xFF);
constexpr uint32_t kBack = kBackground & 0xFFFFFF;
constexpr uint32_t kRedPixel = 0xFF0000, kGreenPixel = 0x00FF00, kBluePixel = 0x0000FF;

using Op = std::function<void(Gui::Draw&)>;

TEST(DrawTest, ShapesCoverExactlyTheirPixels) {
    const struct {
        Op draw;
        Rect bounds;  // every red pixel lies inside
        int count;
    } rows[] = {
        {[](Gui::Draw& w) { w.DrawRect(Rect(5, 6, 15, 10), kRed); }, {5, 6, 15, 10}, 40},
        {[](Gui::Draw& w) { w.DrawRect(20, 20, 3, 2, kRed); }, {20, 20, 23, 22}, 6},
        {[](Gui::Draw& w) { w.DrawLine(2, 5, 10, 5, 1, kRed); }, {2, 5, 10, 6}, 8},  // not the end
        {[](Gui::Draw& w) { w.DrawFrame(10, 10, 10, 8, kRed, 2); }, {10, 10, 20, 18}, 80 - 24},
        {[](Gui::Draw& w) { w.DrawFrame(Rect(10, 10, 20, 18), -2, kRed); }, {8, 8, 22, 20}, 88},
        {[](Gui::Draw& w) { w.DrawLine(0, 5, 10, 5, 0, kRed); }, {}, 0},  // a null pen
    };
    for (const auto& row : rows) {
        Surface s(40, 40);
        Gui::Draw w(s.dc());
        row.draw(w);
        const Rect& b = row.bounds;
        EXPECT_EQ(s.count(b.left, b.top, b.right, b.bottom, kRedPixel), row.count) << b.left;
        EXPECT_EQ(s.count(kRedPixel), row.count) << b.left;
    }
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    w.DrawRoundRect(kRed, Color(), Rect(5, 5, 35, 35), 6, 1);
    EXPECT_EQ(s.count(5, 5, 35, 35, kRedPixel), s.count(kRedPixel));
    EXPECT_EQ(s.rgb(20, 5) & s.rgb(5, 20) & s.rgb(34, 20), kRedPixel);
    EXPECT_EQ(s.rgb(20, 20) | s.rgb(5, 5), kBackground & 0xFFFFFF);  // hollow, round corners
    w.DrawRoundRect(kRed, kBlue, Rect(5, 5, 35, 35), 6, 1);
    EXPECT_EQ(s.rgb(20, 20), kBluePixel);
}

TEST(DrawTest, PensAndBrushesAreMadeOncePerColourAndGivenBackAtTheEnd) {
    Surface s(20, 20);
    const HGDIOBJ pen = GetCurrentObject(s.dc(), OBJ_PEN);
    const HGDIOBJ brush = GetCurrentObject(s.dc(), OBJ_BRUSH);
    const HGDIOBJ font = GetCurrentObject(s.dc(), OBJ_FONT);
    {
        Gui::Draw w(s.dc());
        EXPECT_EQ(GetBkMode(s.dc()), TRANSPARENT);
        w.DrawRect(0, 0, 10, 10, Color());
        w.DrawRect(0, 0, 0, 10, kRed);
        w.DrawRect(0, 0, 10, -1, kRed);
        EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);  // nothing to draw, no brush
        w.DrawRect(0, 0, 2, 2, kRed);
        const HGDIOBJ first = GetCurrentObject(s.dc(), OBJ_BRUSH);
        w.DrawRect(4, 4, 2, 2, kRed);
        EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), first);
        w.DrawRect(8, 8, 2, 2, kGreen);
        EXPECT_EQ(GetObjectType(first), 0u);  // the replaced brush is deleted
        EXPECT_EQ(s.rgb(8, 8), kGreenPixel);
        w.DrawLine(0, 0, 10, 0, 3, kRed);
        // Code calling GDI itself gets the objects back and a level of its own.
        EXPECT_EQ(w.BeginGdi(), s.dc());
        EXPECT_EQ(w.GetLevel(), 1);
        w.EndGdi();
        EXPECT_EQ(w.GetLevel(), 0);
        EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
        w.DrawRect(4, 4, 2, 2, kRed);  // the cache was reset, so a brush is made again
        EXPECT_EQ(s.count(4, 4, 6, 6, kRedPixel), 4);
        w.DrawText(0, 0, L"a", test::RealiseSkinFont(12), kGreen);
        w.Offset(Point(3, 3));
        EXPECT_NE(GetCurrentObject(s.dc(), OBJ_FONT), font);
    }
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_FONT), font);
    POINT org = {1, 1};
    GetWindowOrgEx(s.dc(), &org);
    EXPECT_EQ(Point(org.x, org.y), Point(0, 0));
}

TEST(DrawTest, LevelsMoveTheOriginAndClipUntilTheyClose) {
    Surface s(60, 60);
    Gui::Draw w(s.dc());
    w.Offset(Point(7, 3));
    EXPECT_EQ(w.LPtoDP(Point(1, 1)), Point(8, 4));
    EXPECT_EQ(w.DPtoLP(Point(8, 4)), Point(1, 1));
    w.DrawRect(0, 0, 4, 4, kRed);
    EXPECT_TRUE(s.only_rect(7, 3, 11, 7, kRedPixel));
    w.End();
    EXPECT_EQ(w.GetOffset(), Point(0, 0));
    w.Clip(Rect(0, 0, 30, 30));
    EXPECT_TRUE(w.ClipOffset(Rect(20, 20, 50, 50)));  // 10 by 10 within the outer clip
    EXPECT_EQ(w.GetClip(), Rect(0, 0, 10, 10));
    w.DrawRect(0, 0, 60, 60, kBlue);
    EXPECT_TRUE(s.only_rect(20, 20, 30, 30, kBluePixel));
    w.End();
    EXPECT_TRUE(w.IsPainting(Rect(25, 25, 40, 40)) && !w.IsPainting(Rect(30, 30, 40, 40)));
    s.fill(kBackground);
    EXPECT_TRUE(w.ExcludeClip(Rect(0, 0, 10, 10)));
    w.DrawRect(0, 0, 60, 60, kGreen);
    EXPECT_EQ(s.count(kGreenPixel), 900 - 100);
    EXPECT_EQ(s.count(0, 0, 10, 10, kGreenPixel), 0);
    EXPECT_FALSE(w.IntersectClip(Rect(40, 40, 45, 45)) || w.IsPainting(Rect(0, 0, 60, 60)));
    w.DrawRect(0, 0, 60, 60, kRed);
    EXPECT_EQ(s.count(kRedPixel), 0);
    w.End();
    EXPECT_EQ(w.GetLevel(), 0);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(s.dc(), rgn), 0);
    DeleteObject(rgn);
}

TEST(DrawTest, AViewportOriginOfTheContextCountsOnceInEveryLevel) {
    Surface s(40, 40);
    SetViewportOrgEx(s.dc(), 5, 6, nullptr);
    Gui::Draw w(s.dc());
    EXPECT_EQ(w.GetOffset(), Point(5, 6));
    w.DrawRect(0, 0, 2, 2, kRed);
    EXPECT_TRUE(s.only_rect(5, 6, 7, 8, kRedPixel));
    w.Offset(Point(10, 0));
    w.DrawRect(0, 0, 2, 2, kBlue);
    EXPECT_TRUE(s.only_rect(15, 6, 17, 8, kBluePixel));
    w.End();
    w.ClipOffset(Rect(0, 0, 3, 3));
    w.DrawRect(0, 0, 10, 10, kGreen);
    EXPECT_TRUE(s.only_rect(5, 6, 8, 9, kGreenPixel));
    w.End();
}

TEST(DrawTest, ABackBufferIsCopiedWholeAndReplacedOrReleasedWithItsBitmap) {
    Surface s(50, 40);
    Gui::Draw target(s.dc());
    Gui::BackDraw back;
    back.Create(target, 5, 5);
    const HBITMAP first = back.GetBitmap();
    back.Create(target, 20, 10);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_TRUE(back.IsBack());
    back.DrawRect(0, 0, 20, 10, kBlue);
    back.DrawRect(2, 3, 4, 5, kRed);
    back.Offset(Point(4, 4));  // left open: Put ignores the buffer's own origin
    back.Put(target, 7, 9);
    EXPECT_EQ(s.count(7, 9, 27, 19, kBluePixel), 200 - 20);
    EXPECT_EQ(s.count(9, 12, 13, 17, kRedPixel), 20);
    EXPECT_EQ(s.count(kBackground), 50 * 40 - 200);
    const HBITMAP second = back.GetBitmap();
    back.Destroy();
    EXPECT_EQ(back.GetHandle(), nullptr);
    EXPECT_EQ(GetObjectType(second), 0u);
    // Without a target the buffer is made for the screen's information context.
    Gui::ScreenDraw& screen = Gui::ScreenDraw::GetInstance();
    EXPECT_EQ(&screen, &Gui::ScreenDraw::GetInstance());
    EXPECT_EQ(Gui::ScreenHDC(), screen.GetHandle());
    back.Create(4, 4);
    EXPECT_EQ(GetDeviceCaps(back.GetHandle(), BITSPIXEL), 32);
}

// Four opaque colours in a 2x2 grid, each quadrant w by h.
Image Quadrants(int w, int h) {
    Gui::ImageBuffer b(2 * w, 2 * h);
    const Gui::RGBA colours[] = {MakeRGBA(255, 0, 0, 255), MakeRGBA(0, 255, 0, 255),
                                 MakeRGBA(0, 0, 255, 255), MakeRGBA(255, 255, 255, 255)};
    for (int y = 0; y < 2 * h; ++y)
        for (int x = 0; x < 2 * w; ++x) b[y][x] = colours[(y >= h) * 2 + (x >= w)];
    return Image(b);
}

// Images compose at their own size at the logical place, within the level's clip; a
// null source or colour draws nothing.
TEST(DrawTest, ImagesLandPixelForPixelAtTheirLogicalPlaceWithinTheClip) {
    Rect null_rect;
    null_rect.SetNull();
    const Image q = Quadrants(2, 2);
    const uint32_t R = kRedPixel, G = kGreenPixel, B = kBluePixel, o = kBack;
    const struct {
        Op draw;
        int drawn;                          // pixels changed
        std::vector<uint32_t> at_2_3_to_5;  // colours at (2, 3), (3, 3), (4, 3), (5, 3)
    } rows[] = {
        {[&](Gui::Draw& w) { w.Offset(Point(1, 1)), w.DrawImage(1, 2, q); }, 16, {R, R, G, G}},
        {[&](Gui::Draw& w) { w.DrawImage(3, 3, q, Rect(1, 1, 3, 3)); }, 4, {o, R, G, o}},
        {[&](Gui::Draw& w) { w.Clip(Rect(0, 0, 4, 20)), w.DrawImage(Rect(2, 1, 6, 5), q); },
         8,
         {B, B, o, o}},
        {[](Gui::Draw& w) {
             Gui::BackDraw back;
             back.Create(w, 4, 2);
             back.DrawImage(0, 0, Quadrants(2, 1));
             back.Put(w, 2, 3);
         },
         8,
         {R, R, G, G}},
        {[&](Gui::Draw& w) {
             w.DrawImage(0, 0, 8, 8, q);  // never scaled
             w.DrawImage(0, 0, 4, 4, q, Rect(0, 0, 2, 2));
             w.DrawImageOp(0, 0, 4, 4, q, null_rect, Color());
             w.DrawImage(0, 0, Image());
             w.DrawImage(0, 0, q, Color());
             w.DrawImage(Rect(0, 0, 4, 4), q, Color());
         },
         0,
         {o, o, o, o}},
    };
    for (const auto& row : rows) {
        Surface s(20, 20);
        Gui::Draw w(s.dc());
        row.draw(w);
        EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 400 - row.drawn) << row.drawn;
        EXPECT_EQ((std::vector<uint32_t>{s.rgb(2, 3), s.rgb(3, 3), s.rgb(4, 3), s.rgb(5, 3)}),
                  row.at_2_3_to_5)
            << row.drawn;
    }
    Surface s(4, 4, 0xFF000000);
    Gui::Draw w(s.dc());
    Gui::ImageBuffer half(1, 1);
    half[0][0] = MakeRGBA(128, 0, 0, 128);  // premultiplied half red composes over black
    w.DrawImage(2, 2, Image(half));
    EXPECT_EQ(s.at(2, 2), 0xFF800000u);
}

const Color kWhite(0xFF, 0xFF, 0xFF);

// The bounds of every pixel other than the background.
struct Ink {
    int top = -1, bottom = -1, left = -1, right = -1;
};

Ink FindInk(const Surface& s) {
    Ink ink;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            if (s.rgb(x, y) == kBack) continue;
            if (ink.top < 0) ink.top = y;
            ink.bottom = y + 1;
            if (ink.left < 0 || x < ink.left) ink.left = x;
            if (x + 1 > ink.right) ink.right = x + 1;
        }
    return ink;
}

// Where the ink of "H" drawn alone at x, 0 lies.
Ink InkOfH(const Gui::Font& f, int x) {
    Surface s(100, 30);
    Gui::Draw w(s.dc());
    w.DrawText(x, 0, L"H", f, kWhite);
    return FindInk(s);
}

TEST(DrawTextTest, TextHangsBelowYOnItsBaselineAndFollowsTheLevel) {
    const Gui::Font f = test::RealiseSkinFont(20);
    Surface by_draw(120, 60), by_gdi(120, 60);
    {
        Gui::Draw w(by_draw.dc());
        w.DrawText(10, 5, L"HHH", f, kWhite);
    }
    HGDIOBJ prior = SelectObject(by_gdi.dc(), f.GetHandle());
    SetBkMode(by_gdi.dc(), TRANSPARENT);
    SetTextAlign(by_gdi.dc(), TA_BASELINE);
    SetTextColor(by_gdi.dc(), 0xFFFFFF);
    ExtTextOutW(by_gdi.dc(), 10, 25, 0, nullptr, L"HHH", 3, nullptr);
    SelectObject(by_gdi.dc(), prior);
    EXPECT_TRUE(std::equal(by_draw.bits(), by_draw.bits() + 120 * 60, by_gdi.bits()));
    const Ink whole = FindInk(by_draw);
    EXPECT_EQ(whole.bottom, 25);  // letters without descenders end on the baseline
    EXPECT_GE(whole.top, 5);
    EXPECT_LE(whole.right, 10 + Gui::GetTextSize(L"HHH", f).cx);

    Surface moved(120, 60);
    Gui::Draw w(moved.dc());
    const int half = (whole.right - whole.left) / 2;
    w.ClipOffset(Gui::Rect(30, 20, 40 + half, 60));
    w.DrawText(10, 5, L"HHH", f, kWhite);
    w.End();
    const Ink ink = FindInk(moved);
    EXPECT_EQ(std::make_tuple(ink.top, ink.bottom, ink.left),
              std::make_tuple(whole.top + 20, whole.bottom + 20, whole.left + 30));
    EXPECT_LE(ink.right, 40 + half);
}

TEST(DrawTextTest, NullInkOrAnAngleDrawsNothing) {
    Surface s(60, 30);
    Gui::Draw w(s.dc());
    SetTextColor(s.dc(), 0x123456);
    w.DrawText(0, 0, L"abc", test::RealiseSkinFont(14), Color());
    EXPECT_EQ(GetTextColor(s.dc()), 0x123456u);  // not even the colour changes
    w.DrawText(0, 0, 900, std::wstring(L"abc"), test::RealiseSkinFont(14), Color(1, 2, 3));
    EXPECT_EQ(GetTextColor(s.dc()), 0x030201u);
    EXPECT_EQ(s.count(kBack), 60 * 30);
}

// Records every call of the text slot before drawing it.
class RecordingDraw : public Gui::Draw {
public:
    using Gui::Draw::Draw;
    void DrawTextOp(int x, int y, int angle, const wchar_t* text, Gui::Font font, Color ink, int n,
                    const int* dx) override {
        calls.push_back({x, n, static_cast<int>(text - first), dx});
        Gui::Draw::DrawTextOp(x, y, angle, text, font, ink, n, dx);
    }
    struct Call {
        int x, n, offset;
        const int* dx;
    };
    std::vector<Call> calls;
    const wchar_t* first = nullptr;
};

// GDI takes at most 30000 characters at once; each piece starts where the one
// before ended, by the advances given or else by its measured width.
TEST(DrawTextTest, LongTextGoesToGdiInPiecesThatFollowEachOther) {
    const Gui::Font f = test::RealiseSkinFont(12);
    const int piece = Gui::GetTextSize(std::wstring(30000, L' '), f).cx;
    ASSERT_GT(piece, 0);
    std::vector<int> dx(65000, 0);
    dx[0] = 5;
    dx[29999] = 2;
    dx[30000] = 7;
    dx[60000] = 20;
    for (const bool advances : {true, false}) {
        std::wstring text(advances ? 65000 : 60001, L' ');
        text[advances ? 64000 : 60000] = L'H';  // shows where the last piece starts
        const int x = advances ? 3 : 40 - 2 * piece;
        Surface s(100, 30);
        RecordingDraw w(s.dc());
        w.first = text.c_str();
        w.DrawText(x, 0, text, f, kWhite, advances ? dx.data() : nullptr);
        // The whole text, then its two full pieces through the slot; the rest is drawn last.
        ASSERT_EQ(w.calls.size(), 3u);
        const auto& [first, second] = std::tie(w.calls[1], w.calls[2]);
        EXPECT_EQ(std::make_tuple(first.n, first.x, second.n, second.offset, second.x),
                  std::make_tuple(30000, x, 30000, 30000, advances ? x + 7 : x + piece));
        if (advances) EXPECT_EQ(second.dx, dx.data() + 30000);
        const Ink ink = FindInk(s), alone = InkOfH(f, advances ? 3 + 7 + 7 + 20 : 40);
        EXPECT_EQ(std::tie(ink.left, ink.right, ink.bottom),
                  std::tie(alone.left, alone.right, alone.bottom))
            << advances;
    }
}

}  // namespace
