#include "gui/geometry.h"

#include <gtest/gtest.h>

#include "gui/color.h"

namespace {

TEST(Color, PacksRedGreenBlueLowByteFirst) {
    EXPECT_EQ(Gui::Color(0x12, 0x34, 0x56).GetRaw(), 0x563412u);
    Gui::Color c(1, 2, 3);
    EXPECT_EQ(c.GetR(), 1);
    EXPECT_EQ(c.GetG(), 2);
    EXPECT_EQ(c.GetB(), 3);
    EXPECT_EQ(static_cast<COLORREF>(c), 0x030201u);
}

TEST(Color, DefaultIsNullAndWhiteIsNot) {
    Gui::Color c;
    EXPECT_TRUE(c.IsNull());
    EXPECT_EQ(static_cast<int>(c.GetRaw()), -1);
    EXPECT_FALSE(Gui::White().IsNull());
    EXPECT_EQ(Gui::White().GetRaw(), 0xFFFFFFu);
    EXPECT_NE(Gui::White(), c);
}

TEST(Rect, RectCWithZeroWidthIsEmptyAtItsLeft) {
    Gui::Rect r = Gui::RectC(10, 20, 0, 5);
    EXPECT_EQ(r.right, r.left);
    EXPECT_EQ(r.Width(), 0);
    EXPECT_EQ(r.Height(), 5);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(Gui::RectC(1, 2, 3, 4), Gui::Rect(1, 2, 4, 6));
}

TEST(Rect, FromASizeStartsAtTheOrigin) {
    Gui::Rect r(Gui::Size(30, 40));
    EXPECT_EQ(r, Gui::Rect(0, 0, 30, 40));
    EXPECT_EQ(r.GetSize(), Gui::Size(30, 40));
    EXPECT_EQ(r.TopLeft(), Gui::Point(0, 0));
}

TEST(Rect, IntersectionOfDisjointRectanglesHasNoNegativeExtent) {
    Gui::Rect a(0, 0, 10, 10);
    Gui::Rect right_of(20, 0, 30, 10);
    Gui::Rect i = a.Intersection(right_of);
    EXPECT_EQ(i.left, 20);
    EXPECT_EQ(i.Width(), 0);
    Gui::Rect below(0, 20, 10, 30);
    Gui::Rect j = a.Intersection(below);
    EXPECT_EQ(j.top, 20);
    EXPECT_EQ(j.Height(), 0);
    Gui::Rect k(0, 0, 10, 10);
    k.Intersect(Gui::Rect(5, 5, 20, 20));
    EXPECT_EQ(k, Gui::Rect(5, 5, 10, 10));
}

TEST(Rect, AReversedRectangleKeepsItsNegativeWidth) {
    Gui::Rect r(10, 10, 4, 2);
    EXPECT_EQ(r.Width(), -6);
    EXPECT_EQ(r.Height(), -8);
}

TEST(Rect, OffsetMovesBothEdges) {
    Gui::Rect r(1, 2, 3, 4);
    r.Offset(10, 20);
    EXPECT_EQ(r, Gui::Rect(11, 22, 13, 24));
    r.OffsetHorz(-1);
    EXPECT_EQ(r, Gui::Rect(10, 22, 12, 24));
    r.OffsetVert(-2);
    EXPECT_EQ(r, Gui::Rect(10, 20, 12, 22));
    EXPECT_EQ(Gui::OffsetRect(r, 1, 1), Gui::Rect(11, 21, 13, 23));
}

TEST(Rect, HasTheLayoutOfAWindowsRect) {
    Gui::Rect r(1, 2, 3, 4);
    const RECT* raw = r.AsRECT();
    EXPECT_EQ(raw->left, 1);
    EXPECT_EQ(raw->top, 2);
    EXPECT_EQ(raw->right, 3);
    EXPECT_EQ(raw->bottom, 4);
}

TEST(Geometry, IntegerNullMarksTheFirstField) {
    Gui::Rect r;
    EXPECT_FALSE(r.IsNull());
    r.SetNull();
    EXPECT_TRUE(r.IsNull());
    EXPECT_EQ(static_cast<unsigned>(r.left), 0x80000000u);
    Gui::Point p;
    p.SetNull();
    EXPECT_TRUE(p.IsNull());
    EXPECT_NE(p, Gui::Point(0, 0));
    Gui::Size unset(-1, -1);
    EXPECT_FALSE(unset.IsNull());
    EXPECT_TRUE(Gui::Size(0, 0).IsEmpty());
}

}  // namespace
