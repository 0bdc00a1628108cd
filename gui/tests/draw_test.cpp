#include "gui/draw.h"

#include <gtest/gtest.h>

#include <vector>

#include "draw_support.h"
#include "gui/image.h"

namespace {

using Gui::Color;
using Gui::Point;
using Gui::Rect;
using test::Surface;

constexpr uint32_t kBackground = 0x102030;
const Color kRed(0xFF, 0, 0);
const Color kGreen(0, 0xFF, 0);
const Color kBlue(0, 0, 0xFF);
constexpr uint32_t kRedPixel = 0xFF0000;  // DIB words read as 0xAARRGGBB
constexpr uint32_t kGreenPixel = 0x00FF00;
constexpr uint32_t kBluePixel = 0x0000FF;

TEST(DrawTest, RectFillsExactlyItsPixelsInDibOrder) {
    Surface s(40, 30);
    Gui::Draw w(s.dc());
    w.DrawRect(Rect(5, 6, 15, 10), kRed);
    EXPECT_TRUE(s.OnlyRect(5, 6, 15, 10, kRedPixel));
    w.DrawRect(20, 20, 3, 2, kBlue);
    EXPECT_TRUE(s.Count(20, 20, 23, 22, kBluePixel) == 6);
    EXPECT_EQ(s.Rgb(19, 20), kBackground);
    EXPECT_EQ(s.Rgb(23, 21), kBackground);
}

TEST(DrawTest, NullColourOrEmptyRectTouchesNothingAndSelectsNoBrush) {
    Surface s(20, 20);
    HGDIOBJ brush = GetCurrentObject(s.dc(), OBJ_BRUSH);
    Gui::Draw w(s.dc());
    w.DrawRect(0, 0, 10, 10, Color());
    w.DrawRect(0, 0, 0, 10, kRed);
    w.DrawRect(0, 0, 10, -1, kRed);
    EXPECT_EQ(s.CountAll(kBackground), 400);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
}

TEST(DrawTest, OneBrushPerColourRunAndTheOldOneIsDeleted) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    w.DrawRect(0, 0, 2, 2, kRed);
    HGDIOBJ first = GetCurrentObject(s.dc(), OBJ_BRUSH);
    w.DrawRect(4, 4, 2, 2, kRed);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), first);
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BRUSH));
    w.DrawRect(8, 8, 2, 2, kGreen);
    HGDIOBJ second = GetCurrentObject(s.dc(), OBJ_BRUSH);
    EXPECT_NE(second, first);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(s.Rgb(8, 8), kGreenPixel);
}

TEST(DrawTest, NegativePenWidthIsADottedPenAndZeroANullPen) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    w.DrawLine(0, 0, 10, 0, -3, kRed);
    LOGPEN pen = {};
    ASSERT_NE(GetObjectW(GetCurrentObject(s.dc(), OBJ_PEN), sizeof(pen), &pen), 0);
    EXPECT_EQ(pen.lopnStyle, static_cast<UINT>(PS_DOT));
    EXPECT_EQ(pen.lopnWidth.x, 3);
    EXPECT_EQ(pen.lopnColor, 0xFFu);
    w.DrawLine(0, 5, 10, 5, 0, kRed);
    ASSERT_NE(GetObjectW(GetCurrentObject(s.dc(), OBJ_PEN), sizeof(pen), &pen), 0);
    EXPECT_EQ(pen.lopnStyle, static_cast<UINT>(PS_NULL));
    EXPECT_EQ(s.Count(0, 5, 20, 6, kRedPixel), 0);
}

TEST(DrawTest, SolidLineLeavesOutItsLastPixel) {
    Surface s(20, 10);
    Gui::Draw w(s.dc());
    w.DrawLine(2, 5, 10, 5, 1, kBlue);
    EXPECT_TRUE(s.OnlyRect(2, 5, 10, 6, kBluePixel));
}

TEST(DrawTest, FrameIsInsideForPositiveWidthAndOutsideForNegative) {
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    w.DrawFrame(10, 10, 10, 8, kRed, 2);
    EXPECT_EQ(s.CountAll(kRedPixel), 10 * 8 - 6 * 4);
    EXPECT_EQ(s.Count(10, 10, 20, 18, kRedPixel), 10 * 8 - 6 * 4);
    EXPECT_EQ(s.Rgb(12, 12), kBackground);
    s.Fill(kBackground);
    w.DrawFrame(Rect(10, 10, 20, 18), -2, kBlue);
    EXPECT_EQ(s.CountAll(kBluePixel), 14 * 12 - 10 * 8);
    EXPECT_EQ(s.Count(8, 8, 22, 20, kBluePixel), 14 * 12 - 10 * 8);
}

TEST(DrawTest, OffsetMovesTheOriginUntilTheLevelCloses) {
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    w.Offset(Point(7, 3));
    EXPECT_EQ(w.GetOffset(), Point(7, 3));
    EXPECT_EQ(w.LPtoDP(Point(1, 1)), Point(8, 4));
    EXPECT_EQ(w.DPtoLP(Point(8, 4)), Point(1, 1));
    w.DrawRect(0, 0, 4, 4, kRed);
    EXPECT_TRUE(s.OnlyRect(7, 3, 11, 7, kRedPixel));
    w.End();
    EXPECT_EQ(w.GetOffset(), Point(0, 0));
    w.DrawRect(0, 0, 2, 2, kBlue);
    EXPECT_EQ(s.Count(0, 0, 2, 2, kBluePixel), 4);
}

TEST(DrawTest, ViewportOriginOfTheContextCountsOnceInEveryLevel) {
    Surface s(40, 40);
    SetViewportOrgEx(s.dc(), 5, 6, nullptr);
    Gui::Draw w(s.dc());
    EXPECT_EQ(w.GetOffset(), Point(5, 6));
    w.DrawRect(0, 0, 2, 2, kRed);
    EXPECT_TRUE(s.OnlyRect(5, 6, 7, 8, kRedPixel));
    w.Offset(Point(10, 0));
    w.DrawRect(0, 0, 2, 2, kBlue);
    EXPECT_TRUE(s.OnlyRect(15, 6, 17, 8, kBluePixel));
    w.End();
    w.ClipOffset(Rect(0, 0, 3, 3));
    w.DrawRect(0, 0, 10, 10, kGreen);
    EXPECT_TRUE(s.OnlyRect(5, 6, 8, 9, kGreenPixel));
    w.End();
}

TEST(DrawTest, ClipOffsetDrawsInsideTheRectAndEndRestoresClipAndOrigin) {
    Surface s(100, 100);
    Gui::Draw w(s.dc());
    EXPECT_TRUE(w.ClipOffset(Rect(10, 10, 50, 50)));
    EXPECT_EQ(w.GetClip(), Rect(0, 0, 40, 40));
    w.DrawRect(0, 0, 100, 100, kRed);
    EXPECT_TRUE(s.OnlyRect(10, 10, 50, 50, kRedPixel));
    w.End();
    EXPECT_EQ(w.GetLevel(), 0);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(s.dc(), rgn), 0);
    DeleteObject(rgn);
    w.DrawRect(0, 0, 100, 100, kBlue);
    EXPECT_EQ(s.CountAll(kBluePixel), 100 * 100);
}

TEST(DrawTest, NestedLevelsRestoreTheEnclosingClipExactly) {
    Surface s(60, 60);
    Gui::Draw w(s.dc());
    w.Clip(Rect(0, 0, 30, 30));
    w.ClipOffset(Rect(20, 20, 50, 50));  // the inner level is only 10 by 10
    w.DrawRect(0, 0, 60, 60, kRed);
    EXPECT_TRUE(s.OnlyRect(20, 20, 30, 30, kRedPixel));
    w.End();
    w.DrawRect(0, 0, 60, 60, kBlue);
    EXPECT_TRUE(s.OnlyRect(0, 0, 30, 30, kBluePixel));
    w.End();
    EXPECT_EQ(w.GetLevel(), 0);
}

TEST(DrawTest, ExcludedRectStaysUntouched) {
    Surface s(30, 30);
    Gui::Draw w(s.dc());
    w.Offset(Point(5, 5));
    EXPECT_TRUE(w.ExcludeClip(Rect(0, 0, 10, 10)));
    w.DrawRect(-5, -5, 30, 30, kGreen);
    EXPECT_EQ(s.Count(5, 5, 15, 15, kGreenPixel), 0);
    EXPECT_EQ(s.CountAll(kGreenPixel), 900 - 100);
}

TEST(DrawTest, ClipToNothingAnswersFalseAndDrawsNothing) {
    Surface s(30, 30);
    Gui::Draw w(s.dc());
    w.Clip(Rect(0, 0, 10, 10));
    EXPECT_FALSE(w.IntersectClip(Rect(20, 20, 25, 25)));
    w.DrawRect(0, 0, 30, 30, kRed);
    EXPECT_EQ(s.CountAll(kRedPixel), 0);
    EXPECT_FALSE(w.IsPainting(Rect(0, 0, 30, 30)));
}

TEST(DrawTest, IsPaintingFollowsTheClip) {
    Surface s(50, 50);
    Gui::Draw w(s.dc());
    w.Clip(Rect(10, 10, 20, 20));
    EXPECT_TRUE(w.IsPainting(Rect(15, 15, 30, 30)));
    EXPECT_FALSE(w.IsPainting(Rect(30, 30, 40, 40)));
}

TEST(DrawTest, RoundRectWithNullFillDrawsOnlyTheOutline) {
    Surface s(40, 40);
    Gui::Draw w(s.dc());
    w.DrawRoundRect(kRed, Color(), Rect(5, 5, 35, 35), 6, 1);
    EXPECT_EQ(s.Rgb(20, 5), kRedPixel);
    EXPECT_EQ(s.Rgb(5, 20), kRedPixel);
    EXPECT_EQ(s.Rgb(34, 20), kRedPixel);
    EXPECT_EQ(s.Rgb(20, 20), kBackground);
    EXPECT_EQ(s.Rgb(5, 5), kBackground);  // the corner is rounded off
    EXPECT_EQ(s.Count(0, 0, 40, 5, kRedPixel), 0);
    w.DrawRoundRect(kRed, kBlue, Rect(5, 5, 35, 35), 6, 1);
    EXPECT_EQ(s.Rgb(20, 20), kBluePixel);
}

TEST(DrawTest, DetachGivesBackThePriorPenBrushAndFont) {
    Surface s(20, 20);
    HGDIOBJ pen = GetCurrentObject(s.dc(), OBJ_PEN);
    HGDIOBJ brush = GetCurrentObject(s.dc(), OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(s.dc(), OBJ_FONT);
    {
        Gui::Draw w(s.dc());
        w.DrawRect(0, 0, 2, 2, kRed);
        w.DrawLine(0, 5, 5, 5, 2, kBlue);
        w.DrawText(0, 0, L"a", test::RealiseSkinFont(12), kGreen);
        w.Offset(Point(3, 3));
        EXPECT_NE(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
        EXPECT_NE(GetCurrentObject(s.dc(), OBJ_FONT), font);
        w.Detach();
        EXPECT_EQ(w.GetLevel(), 0);
    }
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_FONT), font);
    POINT org = {1, 1};
    GetWindowOrgEx(s.dc(), &org);
    EXPECT_EQ(org.x, 0);
    EXPECT_EQ(org.y, 0);
}

TEST(DrawTest, GdiBracketRestoresObjectsAndLevel) {
    Surface s(20, 20);
    HGDIOBJ brush = GetCurrentObject(s.dc(), OBJ_BRUSH);
    Gui::Draw w(s.dc());
    w.DrawRect(0, 0, 2, 2, kRed);
    HDC dc = w.BeginGdi();
    EXPECT_EQ(dc, s.dc());
    EXPECT_EQ(w.GetLevel(), 1);
    w.EndGdi();
    EXPECT_EQ(w.GetLevel(), 0);
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
    w.DrawRect(4, 4, 2, 2, kRed);  // the cache was reset, so a brush is made again
    EXPECT_EQ(s.Count(4, 4, 6, 6, kRedPixel), 4);
}

TEST(DrawTest, AttachSetsTransparentBaselineAndReadsTheDevice) {
    Surface s(20, 20);
    Gui::Draw w(s.dc());
    EXPECT_EQ(GetBkMode(s.dc()), TRANSPARENT);
    EXPECT_EQ(GetTextAlign(s.dc()), static_cast<UINT>(TA_BASELINE));
    EXPECT_FALSE(w.IsPaletteDevice());
    EXPECT_FALSE(w.IsMonochrome());
    EXPECT_FALSE(w.IsBack());
    EXPECT_TRUE(w.GetFlags() & Gui::Draw::kPlain);
    EXPECT_EQ(w.GetPageSize().cx, GetDeviceCaps(s.dc(), HORZRES));
    EXPECT_EQ(w.GetPixelsPerInch().cy, GetDeviceCaps(s.dc(), LOGPIXELSY));
}

TEST(DrawTest, ScreenDrawIsOneInstanceOnAnInformationContext) {
    Gui::ScreenDraw& a = Gui::ScreenDraw::GetInstance();
    Gui::ScreenDraw& b = Gui::ScreenDraw::GetInstance();
    EXPECT_EQ(&a, &b);
    ASSERT_NE(a.GetHandle(), nullptr);
    EXPECT_EQ(Gui::ScreenHDC(), a.GetHandle());
    EXPECT_EQ(a.GetPageSize().cx, GetDeviceCaps(a.GetHandle(), HORZRES));
    EXPECT_GT(a.GetPageSize().cx, 0);
    EXPECT_EQ(a.GetPixelsPerInch().cx, GetDeviceCaps(a.GetHandle(), LOGPIXELSX));
}

}  // namespace
