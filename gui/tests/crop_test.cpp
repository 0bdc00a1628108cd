#include <gtest/gtest.h>

#include "gui/image_ops.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Rect;

Image Numbered(int w, int h) {
    ImageBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b[y][x] = MakeRGBA(static_cast<BYTE>(x), static_cast<BYTE>(y), 7, 255);
    b.SetHotSpot(Gui::Point(1, 1));
    return Image(b);
}

TEST(Crop, TheWholeImageSharesItsData) {
    Image img = Numbered(4, 3);
    Image same = Gui::Crop(img, Rect(0, 0, 4, 3));
    EXPECT_EQ(same.GetSerialId(), img.GetSerialId());
}

TEST(Crop, APartCopiesExactlyThosePixels) {
    Image img = Numbered(5, 4);
    Image part = Gui::Crop(img, Rect(1, 2, 4, 4));
    ASSERT_EQ(part.GetSize(), Gui::Size(3, 2));
    EXPECT_NE(part.GetSerialId(), img.GetSerialId());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(part.GetRow(y)[x],
                      MakeRGBA(static_cast<BYTE>(x + 1), static_cast<BYTE>(y + 2), 7, 255));
    EXPECT_EQ(part.GetHotSpot(), Gui::Point(0, 0));  // hot spots are not carried over
}

TEST(Crop, ARectangleReachingOutsideIsClipped) {
    Image img = Numbered(4, 4);
    Image part = Gui::Crop(img, Rect(-2, 2, 2, 10));
    ASSERT_EQ(part.GetSize(), Gui::Size(2, 2));
    EXPECT_EQ(part.GetRow(0)[0], MakeRGBA(0, 2, 7, 255));
    EXPECT_EQ(part.GetRow(1)[1], MakeRGBA(1, 3, 7, 255));
}

TEST(Crop, ARectangleOutsideOrEmptyGivesTheEmptyImage) {
    Image img = Numbered(4, 4);
    EXPECT_TRUE(Gui::Crop(img, Rect(4, 0, 8, 4)).IsEmpty());
    EXPECT_TRUE(Gui::Crop(img, Rect(2, 2, 2, 3)).IsEmpty());
    EXPECT_TRUE(Gui::Crop(Image(), Rect(0, 0, 3, 3)).IsEmpty());
}

}  // namespace
