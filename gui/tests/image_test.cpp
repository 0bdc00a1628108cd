#include "gui/image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "gui/image_ops.h"
#include "testing/dib_canvas.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Point;
using Gui::RGBA;
using Gui::Size;

// Pixel (x, y) of a w x h image gets a value that names its place.
Image Numbered(int w, int h) {
    ImageBuffer b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b[y][x] = MakeRGBA(x, y, 7, 255);
    b.SetHotSpot(Point(1, 1));
    return Image(b);
}

TEST(ImageBuffer, BuffersCreateCopyAndHandOverPixelsWithTheirPairs) {
    ImageBuffer b(3, 2);
    b.SetHotSpot(Point(1, 1));
    b.SetSpot2(Point(2, 2));
    b.SetExtraPair(Point(3, 3));
    b.Create(4, 5);  // a new buffer starts without spots
    EXPECT_EQ(std::make_tuple(b.GetLength(), b.GetHotSpot(), b.GetSpot2(), b.GetExtraPair()),
              std::make_tuple(20, Point(0, 0), Point(0, 0), Point(0, 0)));
    EXPECT_THROW(b.Create(70000, 70000), std::bad_alloc);  // beyond 32 bits
    ImageBuffer a(2, 1);
    a[0][1] = MakeRGBA(5, 6, 7, 8);
    a.SetHotSpot(Point(1, 0));
    a.SetExtraPair(Point(9, 9));
    ImageBuffer c;
    c.CopyFrom(a);
    EXPECT_EQ(std::make_tuple(c[0][1], c.GetHotSpot(), c.GetExtraPair(), c.Begin() == a.Begin()),
              std::make_tuple(MakeRGBA(5, 6, 7, 8), Point(1, 0), Point(9, 9), false));
    RGBA* pixels = a.Begin();
    ImageBuffer p;
    p.Pick(a);
    EXPECT_EQ(std::make_tuple(p.Begin(), a.Begin(), p.GetSize()),
              std::make_tuple(pixels, nullptr, Size(2, 1)));
    // An image takes the buffer's pixels as they are.
    p.SetSpot2(Point(1, 1));
    Image img(p);
    EXPECT_EQ(std::make_tuple(img.GetPixels(), p.Begin(), img.GetSpot2()),
              std::make_tuple(pixels, nullptr, Point(1, 1)));
    // A buffer takes an image's pixels unless another image shares them.
    Image alone = Numbered(2, 2);
    const RGBA* alone_pixels = alone.GetPixels();
    ImageBuffer b2(alone);
    EXPECT_TRUE(alone.IsEmpty() && b2.Begin() == alone_pixels);
    Image shared = Numbered(2, 2), other = shared;
    ImageBuffer copy(shared);
    EXPECT_TRUE(shared.IsEmpty() && copy.Begin() != other.GetPixels());
    copy[0][0] = MakeRGBA(99, 99, 99, 99);
    EXPECT_EQ(other[0][0], MakeRGBA(0, 0, 7, 255));
    EXPECT_EQ(ImageBuffer(shared).GetLength(), 0);
}

// The header Windows asks for: 40 bytes, one plane, 32 bits, top-down, no palette.
TEST(Image, BitmapInfoDescribesATopDown32BitImage) {
    const auto bi = Gui::MakeBitmapInfo32(7, 5);
    const BITMAPINFOHEADER& h = bi->bmiHeader;
    EXPECT_EQ(std::vector<LONG>({LONG(h.biSize), h.biWidth, h.biHeight, h.biPlanes, h.biBitCount,
                                 LONG(h.biCompression), LONG(h.biClrUsed)}),
              std::vector<LONG>({40, 7, -5, 1, 32, BI_RGB, 0}));
}

TEST(Image, ABufferWithoutWidthOrHeightMakesTheEmptyImage) {
    ImageBuffer zero_w(0, 5), zero_h(5, 0);
    Image a(zero_w), b(zero_h);
    EXPECT_EQ(std::make_tuple(a.IsEmpty(), b.IsEmpty(), a.GetSize(), a.GetPixels(), a.GetSerialId(),
                              a == b),
              std::make_tuple(true, true, Size(0, 0), nullptr, 0u, true));
    // A buffer whose pixels an image took is empty too.
    ImageBuffer taken(3, 2);
    Image first(taken);
    Image second(taken);
    EXPECT_EQ(std::make_tuple(taken.GetSize(), second.IsEmpty(), first.GetSize()),
              std::make_tuple(Size(0, 0), true, Size(3, 2)));
}

TEST(Image, CopiesShareDataAndEveryNewDataGetsAUniqueSerial) {
    Image a = Numbered(3, 3), b = a;
    EXPECT_TRUE(a.GetPixels() == b.GetPixels() && a.GetSerialId() == b.GetSerialId());
    const Image& same = a;
    a = same;
    b = Image();
    EXPECT_EQ(a[2][1], MakeRGBA(1, 2, 7, 255));
    Image c(+[] { return Numbered(3, 3); });
    EXPECT_TRUE(a == c);
    EXPECT_NE(a.GetSerialId(), c.GetSerialId());
    std::vector<std::vector<uint64_t>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) seen[t].push_back(Numbered(1, 1).GetSerialId());
        });
    for (auto& t : threads) t.join();
    std::set<uint64_t> all;
    for (auto& v : seen) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), 800u);
    // Equality compares the pixel count and the bytes only.
    ImageBuffer x(2, 3), y(3, 2), z(3, 2);
    for (ImageBuffer* x : {&x, &y, &z}) memset(x->Begin(), 0x11, 24);
    z[1][2].a = 0x12;
    Image ix(x), iy(y);
    EXPECT_TRUE(ix == iy && ix != Image(z) && ix != Numbered(1, 1));
}

TEST(ImageOps, HotSpotsAndCropsMakeNewImagesAndLeaveTheSource) {
    Image img = Numbered(5, 4);
    Image a = Gui::WithHotSpot(img, 1, 2);
    Image b = Gui::WithHotSpots(img, 2, 1, 0, 2);
    EXPECT_EQ(
        std::make_tuple(img.GetHotSpot(), a.GetHotSpot(), b.GetHotSpot(), b.GetSpot2(), a == img),
        std::make_tuple(Point(1, 1), Point(1, 2), Point(2, 1), Point(0, 2), true));
    EXPECT_EQ(Gui::Crop(img, Gui::Rect(0, 0, 5, 4)).GetSerialId(), img.GetSerialId());
    const struct {
        Gui::Rect rect;
        Size size;
        Point first;  // the source pixel of the crop's top left
    } crops[] = {
        {{1, 2, 4, 4}, {3, 2}, {1, 2}},
        {{-2, 2, 2, 10}, {2, 2}, {0, 2}},  // clipped to the image
        {{5, 0, 8, 4}, {0, 0}, {}},
        {{2, 2, 2, 3}, {0, 0}, {}},
    };
    for (const auto& c : crops) {
        Image part = Gui::Crop(img, c.rect);
        ASSERT_EQ(part.GetSize(), c.size) << c.rect.left;
        if (part.IsEmpty()) continue;
        EXPECT_EQ(part.GetHotSpot(), Point(0, 0));
        for (int y = 0; y < c.size.cy; ++y)
            for (int x = 0; x < c.size.cx; ++x)
                EXPECT_EQ(part[y][x], img[c.first.y + y][c.first.x + x]);
    }
    EXPECT_TRUE(Gui::Crop(Image(), Gui::Rect(0, 0, 3, 3)).IsEmpty());
}

TEST(ImageOps, QuarterTurnsMoveEveryPixelAndOtherTurnsGrowTheImage) {
    double s, c;
    const double rs[] = {0, 1, 0, -1, 0}, rc[] = {1, 0, -1, 0, 1};
    for (int angle : {0, 900, 1800, 2700, 3600}) {
        Gui::SinCos(angle, s, c);
        EXPECT_TRUE(s == rs[angle / 900] && c == rc[angle / 900]) << angle;
    }
    Gui::SinCos(-900, s, c);
    EXPECT_TRUE(std::abs(s + 1) < 1e-12 && std::abs(c) < 1e-12);
    const Image img = Numbered(10, 20), same = Gui::Rotate(img, 0);
    EXPECT_TRUE(same == img && same.GetHotSpot() == Point(0, 0));
    const Image quarter = Gui::Rotate(img, 900), half = Gui::Rotate(img, 1800);
    ASSERT_EQ(quarter.GetSize(), Size(20, 10));
    ASSERT_EQ(half.GetSize(), Size(10, 20));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(quarter[x][19 - y], img[y][x]) << x << "," << y;
            ASSERT_EQ(half[19 - y][9 - x], img[y][x]) << x << "," << y;
        }
    const Image eighth = Gui::Rotate(Numbered(10, 10), 450);
    EXPECT_EQ(eighth.GetSize(), Size(14, 14));
    EXPECT_EQ(eighth[0][0], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(eighth[7][7].a, 255);
    EXPECT_TRUE(Gui::Rotate(Image(), 450).IsEmpty());
}

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
    const uint32_t g = kGround, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;
    const struct {
        Image img;
        int x;
        Rect src;
        Gui::Color color;
        bool painted;
        std::vector<uint32_t> want;  // the 3 x 2 target after
    } rows[] = {
        {img, 1, Rect(0, 0, 2, 2), Gui::Color(), true, {g, R, G, g, B, g}},
        {img, 0, Rect(1, -1, 5, 1), Gui::Color(), true, {G, g, g, g, g, g}},  // the overlap, at x
        {img, 0, Rect(2, 0, 4, 2), Gui::Color(), false, {g, g, g, g, g, g}},
        {img, 0, Rect(0, 0, 2, 2), Gui::White(), false, {g, g, g, g, g, g}},
        {Image(), 0, Rect(0, 0, 1, 1), Gui::Color(), false, {g, g, g, g, g, g}},
    };
    for (const auto& row : rows) {
        testing_support::DibCanvas t(3, 2);
        t.fill(kGround);
        EXPECT_EQ(row.img.PaintDC(t.dc(), row.x, 0, row.src, row.color), row.painted);
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
    // Sections other tests left go first: they are the least recently painted.
    ASSERT_LE(Gui::GetImageSystemObjectCount(), 250);
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
