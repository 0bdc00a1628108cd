#include <gtest/gtest.h>

#include "draw_support.h"
#include "gui/draw.h"
#include "gui/image.h"

namespace {

using Gui::Color;
using Gui::Rect;
using test::Surface;

constexpr uint32_t kBackground = 0x102030;

TEST(BackDrawTest, PutCopiesTheWholeBufferAtThePosition) {
    Surface s(50, 40);
    Gui::Draw target(s.dc());
    Gui::BackDraw back;
    back.Create(target, 20, 10);
    ASSERT_NE(back.GetHandle(), nullptr);
    EXPECT_TRUE(back.IsBack());
    back.DrawRect(0, 0, 20, 10, Color(0, 0, 0xFF));
    back.DrawRect(2, 3, 4, 5, Color(0xFF, 0, 0));
    back.Put(target, 7, 9);
    EXPECT_EQ(s.Count(7, 9, 27, 19, 0x0000FF) + s.Count(7, 9, 27, 19, 0xFF0000), 200);
    EXPECT_TRUE(s.Count(9, 12, 13, 17, 0xFF0000) == 20);
    EXPECT_EQ(s.CountAll(kBackground), 50 * 40 - 200);
}

TEST(BackDrawTest, PutIgnoresTheBuffersOwnOrigin) {
    Surface s(30, 30);
    Gui::Draw target(s.dc());
    Gui::BackDraw back;
    back.Create(target, 10, 10);
    back.DrawRect(0, 0, 10, 10, Color(0, 0xFF, 0));
    back.Offset(Gui::Point(4, 4));  // left open on purpose
    back.Put(target, 0, 0);
    EXPECT_TRUE(s.OnlyRect(0, 0, 10, 10, 0x00FF00));
}

TEST(BackDrawTest, IsPaintingMeansTouchingTheBuffer) {
    Gui::BackDraw back;
    back.Create(30, 20);
    EXPECT_TRUE(back.IsPainting(Rect(25, 15, 40, 40)));
    EXPECT_FALSE(back.IsPainting(Rect(30, 0, 40, 10)));
    EXPECT_FALSE(back.IsPainting(Rect(5, 5, 5, 10)));
    back.Offset(Gui::Point(-10, 0));
    EXPECT_TRUE(back.IsPainting(Rect(35, 0, 39, 5)));
    back.End();
}

TEST(BackDrawTest, CreateAgainReplacesTheBufferAndDestroyReleasesIt) {
    Surface s(10, 10);
    Gui::Draw target(s.dc());
    Gui::BackDraw back;
    back.Create(target, 5, 5);
    HBITMAP first = back.GetBitmap();
    back.Create(target, 8, 6);
    EXPECT_EQ(back.GetSize(), Gui::Size(8, 6));
    EXPECT_EQ(GetObjectType(first), 0u);
    BITMAP bm = {};
    ASSERT_NE(GetObjectW(back.GetBitmap(), sizeof(bm), &bm), 0);
    EXPECT_EQ(bm.bmWidth, 8);
    EXPECT_EQ(bm.bmHeight, 6);
    HBITMAP second = back.GetBitmap();
    back.Destroy();
    EXPECT_EQ(back.GetHandle(), nullptr);
    EXPECT_EQ(GetObjectType(second), 0u);
}

TEST(BackDrawTest, ScreenCompatibleBufferIs32BitColour) {
    Gui::BackDraw back;
    back.Create(4, 4);
    ASSERT_NE(back.GetHandle(), nullptr);
    EXPECT_FALSE(back.IsMonochrome());
    EXPECT_EQ(GetDeviceCaps(back.GetHandle(), BITSPIXEL), 32);
}

}  // namespace
