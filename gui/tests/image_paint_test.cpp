#include <gtest/gtest.h>

#include <vector>

#include "gui/image.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::RGBA;

// A memory device context drawing into a top-down 32-bit DIB that the test reads.
class Target {
public:
    Target(int w, int h) : w_(w) {
        auto info = Gui::MakeBitmapInfo32(w, h);
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<RGBA*>(bits);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < w * h; ++i) bits_[i] = MakeRGBA(10, 20, 30, 255);
    }
    ~Target() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    RGBA At(int x, int y) const { return bits_[y * w_ + x]; }

private:
    int w_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    RGBA* bits_;
};

Image Solid(int w, int h, RGBA p) {
    ImageBuffer b(w, h);
    for (int i = 0; i < w * h; ++i) b.Begin()[i] = p;
    return Image(b);
}

Image TwoByTwo() {
    ImageBuffer b(2, 2);
    b[0][0] = MakeRGBA(255, 0, 0, 255);
    b[0][1] = MakeRGBA(0, 255, 0, 255);
    b[1][0] = MakeRGBA(0, 0, 255, 255);
    b[1][1] = MakeRGBA(0, 0, 0, 0);
    return Image(b);
}

TEST(ImagePaint, OpaquePixelsReplaceAndTransparentOnesKeepTheTarget) {
    Target t(4, 4);
    Image img = TwoByTwo();
    ASSERT_TRUE(img.PaintDC(t.dc(), 1, 1, Gui::Rect(0, 0, 2, 2), Gui::Color()));
    EXPECT_EQ(t.At(1, 1), MakeRGBA(255, 0, 0, 255));
    EXPECT_EQ(t.At(2, 1), MakeRGBA(0, 255, 0, 255));
    EXPECT_EQ(t.At(1, 2), MakeRGBA(0, 0, 255, 255));
    EXPECT_EQ(t.At(2, 2), MakeRGBA(10, 20, 30, 255));
    EXPECT_EQ(t.At(0, 0), MakeRGBA(10, 20, 30, 255));
}

TEST(ImagePaint, HalfTransparentPremultipliedPixelsCompose) {
    Target t(1, 1);
    Image img = Solid(1, 1, MakeRGBA(100, 0, 0, 128));
    ASSERT_TRUE(img.PaintDC(t.dc(), 0, 0, Gui::Rect(0, 0, 1, 1), Gui::Color()));
    const RGBA p = t.At(0, 0);
    EXPECT_NEAR(p.r, 100 + 10 * 127 / 255, 1);
    EXPECT_NEAR(p.b, 30 * 127 / 255, 1);
}

TEST(ImagePaint, ARectanglePartlyOutsidePaintsOnlyTheOverlapAtXY) {
    Target t(4, 4);
    Image img = TwoByTwo();
    ASSERT_TRUE(img.PaintDC(t.dc(), 0, 0, Gui::Rect(1, -1, 5, 1), Gui::Color()));
    EXPECT_EQ(t.At(0, 0), MakeRGBA(0, 255, 0, 255));
    EXPECT_EQ(t.At(1, 0), MakeRGBA(10, 20, 30, 255));
    EXPECT_EQ(t.At(0, 1), MakeRGBA(10, 20, 30, 255));
}

TEST(ImagePaint, TheEmptyImagePaintsNothing) {
    Target t(1, 1);
    EXPECT_FALSE(Image().PaintDC(t.dc(), 0, 0, Gui::Rect(0, 0, 1, 1), Gui::Color()));
    EXPECT_EQ(t.At(0, 0), MakeRGBA(10, 20, 30, 255));
}

TEST(ImagePaint, OutsideRectanglesAndColoursDrawNothing) {
    Target t(2, 2);
    Image img = TwoByTwo();
    const int before = Gui::GetImageSystemObjectCount();
    EXPECT_FALSE(img.PaintDC(t.dc(), 0, 0, Gui::Rect(2, 0, 4, 2), Gui::Color()));
    EXPECT_FALSE(img.PaintDC(t.dc(), 0, 0, Gui::Rect(0, 0, 2, 2), Gui::White()));
    EXPECT_EQ(t.At(0, 0), MakeRGBA(10, 20, 30, 255));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), before);
}

TEST(ImagePaint, OneSectionPerImageIsKeptUntilTheImageDies) {
    Target t(2, 2);
    const int before = Gui::GetImageSystemObjectCount();
    {
        Image img = TwoByTwo();
        Image copy = img;
        ASSERT_TRUE(img.PaintDC(t.dc(), 0, 0, Gui::Rect(0, 0, 2, 2), Gui::Color()));
        EXPECT_EQ(Gui::GetImageSystemObjectCount(), before + 1);
        ASSERT_TRUE(copy.PaintDC(t.dc(), 0, 0, Gui::Rect(0, 0, 1, 1), Gui::Color()));
        EXPECT_EQ(Gui::GetImageSystemObjectCount(), before + 1);
    }
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), before);
}

TEST(ImagePaint, TheCacheReleasesTheLeastRecentlyPaintedBeyondTheLimit) {
    ASSERT_LT(GetVersion(), 0x80000000u);  // an NT system keeps 250
    Target t(1, 1);
    const Gui::Rect one(0, 0, 1, 1);
    std::vector<Image> images;
    for (int i = 0; i < 251; ++i) {
        images.push_back(Solid(1, 1, MakeRGBA(static_cast<BYTE>(i), 0, 0, 255)));
        ASSERT_TRUE(images.back().PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    }
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 251);
    // The next painting trims the first image, then repaints the last from its section.
    ASSERT_TRUE(images[250].PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 250);
    ASSERT_TRUE(images[1].PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 250);
    // The first image was released and gets a new section.
    ASSERT_TRUE(images[0].PaintDC(t.dc(), 0, 0, one, Gui::Color()));
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 251);
    EXPECT_EQ(t.At(0, 0), MakeRGBA(0, 0, 0, 255));
    images.clear();
    EXPECT_EQ(Gui::GetImageSystemObjectCount(), 0);
}

}  // namespace
