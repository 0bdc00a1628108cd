// Lines and (rounded) rectangles against hand-computed pixels.
#include "dib_canvas.h"

namespace {

// Draws with a pen of style/width in white on a black canvas.
class PenScope {
public:
    PenScope(HDC dc, int style, int width, COLORREF color = RGB(255, 255, 255))
        : dc_(dc), pen_(CreatePen(style, width, color)) {
        old_ = SelectObject(dc_, pen_);
    }
    ~PenScope() {
        SelectObject(dc_, old_);
        DeleteObject(pen_);
    }

private:
    HDC dc_;
    HPEN pen_;
    HGDIOBJ old_;
};

TEST(LineTo, HorizontalLineLeavesOutItsLastPixel) {
    DibCanvas c(6, 3);
    PenScope pen(c.dc(), PS_SOLID, 1);
    MoveToEx(c.dc(), 0, 1, nullptr);
    ASSERT_TRUE(LineTo(c.dc(), 4, 1));
    EXPECT_EQ(c.picture(0), "......\n####..\n......\n");
    POINT pos{};
    ASSERT_TRUE(GetCurrentPositionEx(c.dc(), &pos));
    EXPECT_EQ(pos.x, 4);
    EXPECT_EQ(pos.y, 1);
}

TEST(LineTo, DiagonalAndShallowLines) {
    DibCanvas c(5, 4);
    PenScope pen(c.dc(), PS_SOLID, 0);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 3, 3);
    EXPECT_EQ(c.picture(0), "#....\n.#...\n..#..\n.....\n");
    c.fill(0);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 4, 2);
    EXPECT_EQ(c.picture(0), "##...\n..##.\n.....\n.....\n");
}

TEST(LineTo, WritesAlphaByteZero) {
    DibCanvas c(3, 1);
    c.fill(0xFF000000);
    PenScope pen(c.dc(), PS_SOLID, 1, RGB(0x12, 0x34, 0x56));
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 2, 0);
    EXPECT_EQ(c.at(0, 0), 0x00123456u);
    EXPECT_EQ(c.at(1, 0), 0x00123456u);
    EXPECT_EQ(c.at(2, 0), 0xFF000000u);
}

TEST(LineTo, NullPenMovesWithoutDrawing) {
    DibCanvas c(4, 1);
    PenScope pen(c.dc(), PS_NULL, 0);
    MoveToEx(c.dc(), 0, 0, nullptr);
    ASSERT_TRUE(LineTo(c.dc(), 3, 0));
    EXPECT_EQ(c.picture(0), "....\n");
    POINT pos{};
    GetCurrentPositionEx(c.dc(), &pos);
    EXPECT_EQ(pos.x, 3);
}

TEST(LineTo, DottedPenDrawsThreeOnThreeOff) {
    DibCanvas c(12, 1);
    SetBkMode(c.dc(), TRANSPARENT);
    PenScope pen(c.dc(), PS_DOT, 1);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 11, 0);
    EXPECT_EQ(c.picture(0), "###...###...\n");
}

TEST(LineTo, OpaqueDottedPenFillsGapsWithBackground) {
    DibCanvas c(8, 1);
    c.fill(0xFF000000);
    SetBkMode(c.dc(), OPAQUE);
    SetBkColor(c.dc(), RGB(0, 0, 255));
    PenScope pen(c.dc(), PS_DOT, 1, RGB(255, 0, 0));
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 7, 0);
    EXPECT_EQ(c.at(0, 0), 0x00FF0000u);
    EXPECT_EQ(c.at(3, 0), 0x000000FFu);
    EXPECT_EQ(c.at(6, 0), 0x00FF0000u);
    EXPECT_EQ(c.at(7, 0), 0xFF000000u);
}

TEST(LineTo, WideDottedPenDrawsSolidAroundTheLine) {
    DibCanvas c(6, 5);
    PenScope pen(c.dc(), PS_DOT, 3);
    MoveToEx(c.dc(), 1, 2, nullptr);
    LineTo(c.dc(), 4, 2);
    EXPECT_EQ(c.picture(0), "......\n#####.\n#####.\n#####.\n......\n");
}

TEST(LineTo, ClippedAndOffsetByOrigin) {
    DibCanvas c(6, 2);
    PenScope pen(c.dc(), PS_SOLID, 1);
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 4, 2));
    SelectClipRgn(c.dc(), clip);
    SetViewportOrgEx(c.dc(), 1, 1, nullptr);
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 5, 0);
    EXPECT_EQ(c.picture(0), "......\n.###..\n");
}

TEST(RoundRect, ZeroCornersIsARectangleFrameWithFill) {
    DibCanvas c(6, 5);
    PenScope pen(c.dc(), PS_SOLID, 1, RGB(255, 255, 255));
    GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(0, 0, 255)));
    HGDIOBJ old = SelectObject(c.dc(), brush);
    ASSERT_TRUE(RoundRect(c.dc(), 0, 0, 5, 4, 0, 0));
    EXPECT_EQ(c.at(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(c.at(4, 3), 0x00FFFFFFu);
    EXPECT_EQ(c.at(1, 1), 0x000000FFu);
    EXPECT_EQ(c.at(3, 2), 0x000000FFu);
    EXPECT_EQ(c.at(5, 0), 0u);
    EXPECT_EQ(c.at(0, 4), 0u);
    SelectObject(c.dc(), old);
}

TEST(RoundRect, SmallCornersCutTheCornerPixels) {
    DibCanvas c(6, 6);
    PenScope pen(c.dc(), PS_SOLID, 1);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(RoundRect(c.dc(), 0, 0, 6, 6, 4, 4));
    EXPECT_EQ(c.picture(0),
              ".####.\n"
              "#....#\n"
              "#....#\n"
              "#....#\n"
              "#....#\n"
              ".####.\n");
}

TEST(RoundRect, FullCornersMakeACircle) {
    DibCanvas c(8, 8);
    PenScope pen(c.dc(), PS_SOLID, 1);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(RoundRect(c.dc(), 0, 0, 8, 8, 8, 8));
    EXPECT_EQ(c.picture(0),
              "..####..\n"
              ".#....#.\n"
              "#......#\n"
              "#......#\n"
              "#......#\n"
              "#......#\n"
              ".#....#.\n"
              "..####..\n");
}

TEST(RoundRect, BrushFillsInsideTheFrame) {
    DibCanvas c(6, 6);
    PenScope pen(c.dc(), PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(RoundRect(c.dc(), 0, 0, 6, 6, 4, 4));
    EXPECT_EQ(c.at(0, 0), 0u);
    EXPECT_EQ(c.at(1, 0), 0x00FF0000u);
    EXPECT_EQ(c.at(1, 1), 0x00FFFFFFu);
    EXPECT_EQ(c.at(4, 4), 0x00FFFFFFu);
    EXPECT_EQ(c.at(5, 4), 0x00FF0000u);
}

TEST(RoundRect, NullPenFillsOnePixelShort) {
    DibCanvas c(5, 5);
    PenScope pen(c.dc(), PS_NULL, 0);
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(Rectangle(c.dc(), 0, 0, 4, 4));
    EXPECT_EQ(c.picture(0), "###..\n###..\n###..\n.....\n.....\n");
}

TEST(RoundRect, WidePenFrameLiesInsideTheBox) {
    DibCanvas c(6, 6);
    PenScope pen(c.dc(), PS_SOLID, 2);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    ASSERT_TRUE(RoundRect(c.dc(), 0, 0, 6, 6, 0, 0));
    EXPECT_EQ(c.picture(0), "######\n######\n##..##\n##..##\n######\n######\n");
}

}  // namespace
