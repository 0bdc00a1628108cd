#include "gui/rescale.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Rect;
using Gui::RGBA;
using Gui::Size;

Image Greys(int cx, int cy, const std::vector<BYTE>& greys) {
    ImageBuffer b(cx, cy);
    for (size_t i = 0; i < greys.size(); ++i)
        b.Begin()[i] = MakeRGBA(greys[i], greys[i], greys[i], 255);
    return Image(b);
}

std::vector<BYTE> Reds(const Image& img) {
    std::vector<BYTE> out;
    for (int i = 0; i < img.GetLength(); ++i) out.push_back(img.GetPixels()[i].r);
    return out;
}

TEST(Rescale, EdgeCasesShareCopyOrLeaveTransparent) {
    const Image img = Greys(4, 4, std::vector<BYTE>(16, 90));
    EXPECT_EQ(Gui::Rescale(img, Size(4, 4)).GetSerialId(), img.GetSerialId());
    EXPECT_TRUE(Gui::Rescale(img, 0, 5).IsEmpty() && Gui::Rescale(img, 5, 0).IsEmpty());
    const Image row = Greys(5, 1, {1, 2, 3, 4, 5});
    EXPECT_EQ(Reds(Gui::Rescale(row, Size(3, 1), Rect(1, 0, 4, 1))), (std::vector<BYTE>{2, 3, 4}));
    // A source reaching past the image leaves those target pixels transparent and the
    // covered ones where they are; a mirrored one gives nothing.
    const Image out = Gui::Rescale(img, Size(6, 4), Rect(-2, 0, 4, 4));
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(out[1][x], x < 2 ? MakeRGBA(0, 0, 0, 0) : MakeRGBA(90, 90, 90, 255)) << x;
    const Image past = Gui::Rescale(img, Size(6, 6), Rect(0, 0, 6, 6));
    EXPECT_EQ(std::vector<RGBA>({past[3][3], past[0][5], past[5][0]}),
              std::vector<RGBA>({MakeRGBA(90, 90, 90, 255), RGBA{}, RGBA{}}));
    const Image mirrored = Gui::Rescale(img, Size(3, 3), Rect(4, 0, 0, 4));
    EXPECT_EQ(std::vector<RGBA>(mirrored.GetPixels(), mirrored.GetPixels() + mirrored.GetLength()),
              std::vector<RGBA>(9));
}

}  // namespace

// Every byte of many rescales, folded into one FNV-1a hash per group. The expected
// values were recorded from the first, plain implementation of the filter, so any
// faster one must give exactly its bytes.
class RescaleOutput : public ::testing::Test {
protected:
    static Image Noise(int cx, int cy) {
        ImageBuffer b(cx, cy);
        uint32_t x = static_cast<uint32_t>(cx * 7919 + cy);
        for (int i = 0; i < cx * cy; ++i) {
            x = x * 1103515245u + 12345u;
            b.Begin()[i] = MakeRGBA(x >> 24, x >> 16, x >> 8, x >> 20);
        }
        return Image(b);
    }
    void Add(const Image& img) {
        const Size s = img.GetSize();
        Fold(&s, sizeof s);
        for (int y = 0; y < s.cy; ++y) Fold(img.GetRow(y), static_cast<size_t>(s.cx) * 4);
    }
    void Fold(const void* p, size_t n) {
        for (size_t i = 0; i < n; ++i)
            hash_ = (hash_ ^ static_cast<const BYTE*>(p)[i]) * 0x100000001b3ull;
    }
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

TEST_F(RescaleOutput, ManySizesGiveTheRecordedBytes) {
    const int from[] = {1, 2, 3, 5, 9, 17, 40, 301};
    const int to[] = {1, 2, 3, 5, 8, 13, 27, 61, 100};
    for (int sw : from)
        for (int sh : from) {
            const Image src = Noise(sw, sh);
            for (int tw : to)
                for (int th : to) Add(Gui::Rescale(src, tw, th));
        }
    EXPECT_EQ(hash_, 985273436615987112u);
}

TEST_F(RescaleOutput, SourceRectanglesGiveTheRecordedBytes) {
    const Image src = Noise(23, 17);
    uint32_t x = 99;
    auto next = [&x](int range) {
        x = x * 1103515245u + 12345u;
        return static_cast<int>((x >> 16) % range);
    };
    for (int i = 0; i < 3000; ++i) {
        const int left = next(40) - 10, top = next(30) - 8;
        const Rect r(left, top, left + next(45) + 1, top + next(35) + 1);
        Add(Gui::Rescale(src, Size(next(60) + 1, next(50) + 1), r));
        Add(Gui::Rescale(src, Size(r.right - r.left, r.bottom - r.top), r));
    }
    EXPECT_EQ(hash_, 7729280757723412066u);
}
