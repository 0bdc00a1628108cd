// Gui::Draw, BackDraw and ScreenDraw over a DIB surface: shapes, levels, GDI objects
// and images.
#include "gui/draw.h"

#include <gtest/gtest.h>

#include <functional>
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
constexpr uint32_t kRedPixel = 0xFF0000, kGreenPixel = 0x00FF00, kBluePixel = 0x0000FF;

struct Probe {
    int x, y;
    uint32_t rgb;
};

TEST(DrawTest, ShapesCoverExactlyTheirPixels) {
    const struct {
        std::function<void(Gui::Draw&)> draw;
        Rect bounds;  // every pixel of the colour lies inside
        int count;
        std::vector<Probe> probes;
    } rows[] = {
        {[](Gui::Draw& w) { w.DrawRect(Rect(5, 6, 15, 10), kRed); }, Rect(5, 6, 15, 10), 40, {}},
        {[](Gui::Draw& w) { w.DrawRect(20, 20, 3, 2, kRed); }, Rect(20, 20, 23, 22), 6, {}},
        {[](Gui::Draw& w) {
             w.DrawRect(0, 0, 10, 10, Color());
             w.DrawRect(0, 0, 0, 10, kRed);
             w.DrawRect(0, 0, 10, -1, kRed);
             w.DrawLine(0, 5, 10, 5, 0, kRed);  // a null pen
         },
         Rect(),
         0,
         {}},
        {[](Gui::Draw& w) { w.DrawLine(2, 5, 10, 5, 1, kRed); }, Rect(2, 5, 10, 6), 8, {}},
        {[](Gui::Draw& w) { w.DrawFrame(10, 10, 10, 8, kRed, 2); },
         Rect(10, 10, 20, 18),
         10 * 8 - 6 * 4,
         {{12, 12, kBackground & 0xFFFFFF}}},
        {[](Gui::Draw& w) { w.DrawFrame(Rect(10, 10, 20, 18), -2, kRed); },
         Rect(8, 8, 22, 20),
         14 * 12 - 10 * 8,
         {{10, 10, kBackground & 0xFFFFFF}}},
        {[](Gui::Draw& w) { w.DrawRoundRect(kRed, Color(), Rect(5, 5, 35, 35), 6, 1); },
         Rect(5, 5, 35, 35),
         -1,
         {{20, 5, kRedPixel},
          {5, 20, kRedPixel},
          {34, 20, kRedPixel},
          {20, 20, kBackground & 0xFFFFFF},
          {5, 5, kBackground & 0xFFFFFF}}},
        {[](Gui::Draw& w) { w.DrawRoundRect(kRed, kBlue, Rect(5, 5, 35, 35), 6, 1); },
         Rect(5, 5, 35, 35),
         -1,
         {{20, 5, kRedPixel}, {20, 20, kBluePixel}}},
    };
    for (const auto& row : rows) {
        Surface s(40, 40);
        {
            Gui::Draw w(s.dc());
            row.draw(w);
        }
        const Rect& b = row.bounds;
        EXPECT_EQ(s.count(b.left, b.top, b.right, b.bottom, kRedPixel), s.count(kRedPixel))
            << b.left << "," << b.top;
        if (row.count >= 0) {
            EXPECT_EQ(s.count(kRedPixel), row.count) << b.left << "," << b.top;
        }
        for (const Probe& p : row.probes) EXPECT_EQ(s.rgb(p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
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
        EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
        w.DrawRect(0, 0, 2, 2, kRed);
        const HGDIOBJ first = GetCurrentObject(s.dc(), OBJ_BRUSH);
        w.DrawRect(4, 4, 2, 2, kRed);
        EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), first);
        w.DrawRect(8, 8, 2, 2, kGreen);
        EXPECT_EQ(GetObjectType(first), 0u);  // the replaced brush is deleted
        EXPECT_EQ(s.rgb(8, 8), kGreenPixel);
        w.DrawLine(0, 0, 10, 0, -3, kRed);
        LOGPEN lp = {};
        ASSERT_NE(GetObjectW(GetCurrentObject(s.dc(), OBJ_PEN), sizeof(lp), &lp), 0);
        EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_DOT));
        EXPECT_EQ(lp.lopnWidth.x, 3);
        EXPECT_EQ(lp.lopnColor, 0xFFu);
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
    EXPECT_TRUE(w.IsPainting(Rect(25, 25, 40, 40)));
    EXPECT_FALSE(w.IsPainting(Rect(30, 30, 40, 40)));
    s.fill(kBackground);
    EXPECT_TRUE(w.ExcludeClip(Rect(0, 0, 10, 10)));
    w.DrawRect(0, 0, 60, 60, kGreen);
    EXPECT_EQ(s.count(kGreenPixel), 900 - 100);
    EXPECT_EQ(s.count(0, 0, 10, 10, kGreenPixel), 0);
    EXPECT_FALSE(w.IntersectClip(Rect(40, 40, 45, 45)));
    EXPECT_FALSE(w.IsPainting(Rect(0, 0, 60, 60)));
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
    EXPECT_TRUE(back.IsPainting(Rect(15, 5, 40, 40)));
    EXPECT_FALSE(back.IsPainting(Rect(16, 0, 40, 10)));
    EXPECT_FALSE(back.IsPainting(Rect(5, 5, 5, 10)));
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

TEST(DrawTest, ImagesLandPixelForPixelAtTheirLogicalPlaceWithinTheClip) {
    Rect null_rect;
    null_rect.SetNull();
    const struct {
        std::function<void(Gui::Draw&)> draw;
        int drawn;  // pixels changed
        std::vector<Probe> probes;
    } rows[] = {
        {[](Gui::Draw& w) {
             w.Offset(Point(5, 6));
             w.DrawImage(1, 2, Quadrants(3, 2));
         },
         24,
         {{6, 8, 0xFF0000}, {9, 8, 0x00FF00}, {6, 10, 0x0000FF}, {11, 11, 0xFFFFFF}}},
        {[](Gui::Draw& w) { w.DrawImage(4, 4, Quadrants(2, 2), Rect(2, 2, 4, 4)); },
         4,
         {{4, 4, 0xFFFFFF}, {5, 5, 0xFFFFFF}}},
        {[](Gui::Draw& w) {
             w.Clip(Rect(0, 0, 3, 20));
             w.DrawImage(Rect(1, 1, 5, 5), Quadrants(2, 2));
         },
         8,
         {{1, 1, 0xFF0000}, {2, 3, 0x0000FF}}},
        {[&](Gui::Draw& w) {
             w.DrawImage(0, 0, 8, 8, Quadrants(2, 2));  // never scaled
             w.DrawImage(0, 0, 4, 4, Quadrants(2, 2), Rect(0, 0, 2, 2));
             w.DrawImageOp(0, 0, 4, 4, Quadrants(2, 2), null_rect, Color());
             w.DrawImage(0, 0, Image());
             w.DrawImage(0, 0, Quadrants(2, 2), Color());
             w.DrawImage(Rect(0, 0, 4, 4), Quadrants(2, 2), Color());
         },
         0,
         {}},
        {[](Gui::Draw& w) {
             Gui::BackDraw back;
             back.Create(w, 6, 6);
             back.DrawRect(0, 0, 6, 6, Color(0, 0, 0));
             back.DrawImage(1, 1, Quadrants(2, 2));
             back.Put(w, 10, 10);
         },
         36,
         {{11, 11, 0xFF0000}, {14, 14, 0xFFFFFF}, {10, 10, 0}}},
    };
    for (const auto& row : rows) {
        Surface s(20, 20);
        {
            Gui::Draw w(s.dc());
            row.draw(w);
        }
        EXPECT_EQ(s.count(kBackground, 0xFFFFFFFF), 400 - row.drawn) << row.drawn;
        for (const Probe& p : row.probes) EXPECT_EQ(s.rgb(p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
    Surface s(4, 4, 0xFF000000);
    Gui::Draw w(s.dc());
    Gui::ImageBuffer half(1, 1);
    half[0][0] = MakeRGBA(128, 0, 0, 128);  // premultiplied half red composes over black
    w.DrawImage(2, 2, Image(half));
    EXPECT_EQ(s.at(2, 2), 0xFF800000u);
}

}  // namespace
