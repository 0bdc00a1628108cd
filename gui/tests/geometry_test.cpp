#include "gui/geometry.h"

#include <gtest/gtest.h>

#include "gui/color.h"

namespace {

TEST(Geometry, ColoursAreColorrefsAndTheNullColourIsAllOnes) {
    const Gui::Color c(0x12, 0x34, 0x56);
    EXPECT_EQ(static_cast<COLORREF>(c), 0x563412u);
    EXPECT_EQ(c.GetR() * 0x10000 + c.GetG() * 0x100 + c.GetB(), 0x123456);
    EXPECT_TRUE(Gui::Color().IsNull());
    EXPECT_EQ(Gui::Color().GetRaw(), 0xFFFFFFFFu);
    EXPECT_FALSE(Gui::White().IsNull());
}

TEST(Geometry, AnEmptyIntersectionHasNoNegativeExtent) {
    const Gui::Rect a(0, 0, 10, 10);
    EXPECT_EQ(a.Intersection(Gui::Rect(20, 0, 30, 10)), Gui::Rect(20, 0, 20, 10));
    EXPECT_EQ(a.Intersection(Gui::Rect(0, 20, 10, 30)), Gui::Rect(0, 20, 10, 20));
    EXPECT_EQ(a.Intersection(Gui::Rect(5, 5, 20, 20)), Gui::Rect(5, 5, 10, 10));
    EXPECT_TRUE(Gui::RectC(10, 20, 0, 5).IsEmpty());
    EXPECT_EQ(Gui::RectC(1, 2, 3, 4), Gui::Rect(1, 2, 4, 6));
    Gui::Rect r;
    EXPECT_FALSE(r.IsNull());
    r.SetNull();
    EXPECT_TRUE(r.IsNull());
    Gui::Point p;
    p.SetNull();
    EXPECT_NE(p, Gui::Point(0, 0));
}

}  // namespace
