// Images painted onto a device context through their cached DIB sections.
#include <gtest/gtest.h>

#include <vector>

#include "gui/image.h"
#include "testing/dib_canvas.h"

namespace {

using Gui::Image;
using Gui::MakeRGBA;
using Gui::Rect;

constexpr uint32_t kGround = 0xFF0A141E;

Image Pixels(int w, std::vector<Gui::RGBA> px) {
    Gui::ImageBuffer b(w, static_cast<int>(px.size()) / w);
    for (size_t i = 0; i < px.size(); ++i) b.Begin()[i] = px[i];
    return Image(b);
}

TEST(ImagePaint, PixelsComposeOverTheTargetWithinTheirRectangle) {
    const Image img = Pixels(2, {MakeRGBA(255, 0, 0, 255), MakeRGBA(0, 255, 0, 255),
                                 MakeRGBA(0, 0, 255, 255), MakeRGBA(0, 0, 0, 0)});
    const int before = Gui::GetImageSystemObjectCount();
    const struct {
        Image img;
        int x, y;
        Rect src;
        Gui::Color color;
        bool painted;
        std::vector<uint32_t> want;  // the 3 x 2 target after
    } rows[] = {
        {img,
         1,
         0,
         Rect(0, 0, 2, 2),
         Gui::Color(),
         true,
         {kGround, 0xFFFF0000, 0xFF00FF00, kGround, 0xFF0000FF, kGround}},
        {img,
         0,
         0,
         Rect(1, -1, 5, 1),
         Gui::Color(),
         true,  // only the overlap, at x, y
         {0xFF00FF00, kGround, kGround, kGround, kGround, kGround}},
        {img, 0, 0, Rect(2, 0, 4, 2), Gui::Color(), false, std::vector<uint32_t>(6, kGround)},
        {img, 0, 0, Rect(0, 0, 2, 2), Gui::White(), false, std::vector<uint32_t>(6, kGround)},
        {Image(), 0, 0, Rect(0, 0, 1, 1), Gui::Color(), false, std::vector<uint32_t>(6, kGround)},
    };
    for (const auto& row : rows) {
        testing_support::DibCanvas t(3, 2);
        t.fill(kGround);
        EXPECT_EQ(row.img.PaintDC(t.dc(), row.x, row.y, row.src, row.color), row.painted);
        EXPECT_EQ(std::vector<uint32_t>(t.bits(), t.bits() + 6), row.want) << row.src.left;
    }
    testing_support::DibCanvas t(1, 1);
    t.fill(kGround);
    ASSERT_TRUE(Pixels(1, {MakeRGBA(100, 0, 0, 128)})
                    .PaintDC(t.dc(), 0, 0, Rect(0, 0, 1, 1), Gui::Color()));
    EXPECT_NEAR((t.at(0, 0) >> 16) & 0xFF, 100 + 10 * 127 / 255, 1);  // premultiplied over
    EXPECT_NEAR(t.at(0, 0) & 0xFF, 30 * 127 / 255, 1);
    // Painting the same data again, through any copy, keeps one section until it dies.
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), before + 1);
    Image copy = img;
    ASSERT_TRUE(copy.PaintDC(t.dc(), 0, 0, Rect(0, 0, 1, 1), Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), before + 1);
}

TEST(ImagePaint, TheCacheReleasesTheLeastRecentlyPaintedBeyondTheLimit) {
    ASSERT_LT(GetVersion(), 0x80000000u);  // an NT system keeps 250
    testing_support::DibCanvas t(1, 1);
    const Rect one(0, 0, 1, 1);
    std::vector<Image> images;
    ASSERT_EQ(Gui::GetImageSystemObjectCount(), 0);
    for (int i = 0; i < 251; ++i) {
        images.push_back(Pixels(1, {MakeRGBA(i, 0, 0, 255)}));
        ASSERT_TRUE(images.back().PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    }
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 251);
    // The next painting trims the least recent, then repaints the last from its section.
    ASSERT_TRUE(images.back().PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 250);
    ASSERT_TRUE(images[1].PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 250);
    ASSERT_TRUE(images[0].PaintDC(t.dc(), 0, 0, one, Gui::Color()));  // released: made anew
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 251);
    // Image 1 was painted lately, so image 2 is the one to go now.
    ASSERT_TRUE(images[1].PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 250);
    EXPECT_EQ(t.at(0, 0), 0xFF010000u);
    images.clear();
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 0);
}

}  // namespace
