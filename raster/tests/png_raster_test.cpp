#include "raster/png_raster.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "png_writer.h"
#include "win32_unixpath.h"

namespace {

using Gui::Image;
using Gui::MakeRGBA;
using Gui::RGBA;
using testpng::Spec;

Image Decode(const std::vector<png_byte>& bytes) {
    raster::PNGRaster r;
    return r.LoadMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
}

// A w x h RGBA image whose pixels vary in every channel, alpha included.
Spec Rgba(int cx, int cy) {
    Spec s;
    s.cx = cx;
    s.cy = cy;
    s.type = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < cy; ++y) {
        std::vector<png_byte> row;
        for (int x = 0; x < cx; ++x) {
            row.push_back(static_cast<png_byte>(x * 37 + y));
            row.push_back(static_cast<png_byte>(y * 53 + x));
            row.push_back(static_cast<png_byte>(200 - x * y));
            row.push_back(static_cast<png_byte>(x * 29 + y * 11));
        }
        s.rows.push_back(row);
    }
    return s;
}

RGBA Premultiplied(int r, int g, int b, int a) {
    return MakeRGBA(static_cast<BYTE>(r * a / 255), static_cast<BYTE>(g * a / 255),
                    static_cast<BYTE>(b * a / 255), static_cast<BYTE>(a));
}

TEST(PNGRaster, RgbRowsArriveInBlueGreenRedOrderAndOpaque) {
    Spec s;
    s.cx = 3;
    s.cy = 2;
    s.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 20, 30, 40, 50, 60, 70, 80, 90}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetSize(), Gui::Size(3, 2));
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(1, 2, 3, 255));
    EXPECT_EQ(img.GetRow(0)[2], MakeRGBA(7, 8, 9, 255));
    EXPECT_EQ(img.GetRow(1)[1], MakeRGBA(40, 50, 60, 255));
    EXPECT_EQ(img.GetRow(1)[2], MakeRGBA(70, 80, 90, 255));
}

TEST(PNGRaster, RgbaPixelsArePremultipliedRoundingDown) {
    Spec s;
    s.cx = 3;
    s.type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = {{255, 0, 0, 128, 200, 100, 50, 77, 9, 9, 9, 0}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetSize(), Gui::Size(3, 1));
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(128, 0, 0, 128));
    EXPECT_EQ(img.GetRow(0)[1], MakeRGBA(60, 30, 15, 77));
    EXPECT_EQ(img.GetRow(0)[2], MakeRGBA(0, 0, 0, 0));
}

TEST(PNGRaster, EveryRgbaPixelMatchesItsSource) {
    Spec s = Rgba(9, 7);
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetSize(), Gui::Size(9, 7));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const png_byte* p = &s.rows[y][x * 4];
            EXPECT_EQ(img.GetRow(y)[x], Premultiplied(p[0], p[1], p[2], p[3])) << x << "," << y;
        }
}

TEST(PNGRaster, GreyIsCopiedIntoBlueGreenAndRed) {
    Spec s;
    s.cx = 2;
    s.type = PNG_COLOR_TYPE_GRAY;
    s.rows = {{0, 173}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetSize(), Gui::Size(2, 1));
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(0, 0, 0, 255));
    EXPECT_EQ(img.GetRow(0)[1], MakeRGBA(173, 173, 173, 255));
}

TEST(PNGRaster, LowDepthGreyExpandsToTheFullRange) {
    struct Case {
        int depth;
        png_byte packed;
        std::vector<int> values;
    };
    const Case cases[] = {
        {1, 0xA0, {255, 0, 255, 0}},   // 1 0 1 0
        {2, 0x1B, {0, 85, 170, 255}},  // 00 01 10 11
        {4, 0x3C, {51, 204}},          // 3 and 12, times 17
    };
    for (const Case& c : cases) {
        Spec s;
        s.cx = static_cast<int>(c.values.size());
        s.type = PNG_COLOR_TYPE_GRAY;
        s.depth = c.depth;
        s.rows = {{c.packed}};
        Image img = Decode(testpng::Write(s));
        ASSERT_EQ(img.GetWidth(), s.cx) << c.depth;
        for (int x = 0; x < s.cx; ++x) {
            const auto v = static_cast<BYTE>(c.values[x]);
            EXPECT_EQ(img.GetRow(0)[x], MakeRGBA(v, v, v, 255)) << c.depth << " " << x;
        }
    }
}

TEST(PNGRaster, SixteenBitGreyKeepsTheHighByte) {
    Spec s;
    s.cx = 3;
    s.type = PNG_COLOR_TYPE_GRAY;
    s.depth = 16;
    s.rows = {{0xAB, 0x00, 0xFF, 0xFF, 0x12, 0x34}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetWidth(), 3);
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(0xAB, 0xAB, 0xAB, 255));
    EXPECT_EQ(img.GetRow(0)[1], MakeRGBA(0xFF, 0xFF, 0xFF, 255));
    EXPECT_EQ(img.GetRow(0)[2], MakeRGBA(0x12, 0x12, 0x12, 255));
}

TEST(PNGRaster, SixteenBitColourAndAlphaAreStrippedThenPremultiplied) {
    Spec rgb;
    rgb.depth = 16;
    rgb.rows = {{0x10, 0xFF, 0x20, 0x00, 0x30, 0x80}};
    EXPECT_EQ(Decode(testpng::Write(rgb)).GetRow(0)[0], MakeRGBA(0x10, 0x20, 0x30, 255));
    Spec rgba;
    rgba.depth = 16;
    rgba.type = PNG_COLOR_TYPE_RGB_ALPHA;
    rgba.rows = {{0xFF, 0x00, 0x80, 0x00, 0x40, 0x00, 0x80, 0x7F}};
    EXPECT_EQ(Decode(testpng::Write(rgba)).GetRow(0)[0], Premultiplied(0xFF, 0x80, 0x40, 0x80));
}

TEST(PNGRaster, GreyWithAlphaIsPremultiplied) {
    Spec s;
    s.cx = 2;
    s.type = PNG_COLOR_TYPE_GRAY_ALPHA;
    s.rows = {{200, 100, 50, 255}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetWidth(), 2);
    EXPECT_EQ(img.GetRow(0)[0], Premultiplied(200, 200, 200, 100));
    EXPECT_EQ(img.GetRow(0)[1], MakeRGBA(50, 50, 50, 255));
}

Spec PaletteSpec(int depth) {
    Spec s;
    s.type = PNG_COLOR_TYPE_PALETTE;
    s.depth = depth;
    s.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    return s;
}

TEST(PNGRaster, PaletteIndicesOfEveryDepthBecomeTheirColours) {
    struct Case {
        int depth;
        std::vector<png_byte> row;
        std::vector<int> indices;
    };
    const Case cases[] = {
        {1, {0x40}, {0, 1}},
        {2, {0x1B}, {0, 1, 2, 3}},
        {4, {0x30, 0x21}, {3, 0, 2, 1}},
        {8, {3, 2, 1, 0}, {3, 2, 1, 0}},
    };
    for (const Case& c : cases) {
        Spec s = PaletteSpec(c.depth);
        if (c.depth == 1) s.palette.resize(2);
        s.cx = static_cast<int>(c.indices.size());
        s.rows = {c.row};
        Image img = Decode(testpng::Write(s));
        ASSERT_EQ(img.GetWidth(), s.cx) << c.depth;
        for (int x = 0; x < s.cx; ++x) {
            const png_color& e = s.palette[c.indices[x]];
            EXPECT_EQ(img.GetRow(0)[x], MakeRGBA(e.red, e.green, e.blue, 255))
                << c.depth << " " << x;
        }
    }
}

TEST(PNGRaster, PaletteTransparencyGivesPerPixelAlpha) {
    Spec s = PaletteSpec(8);
    s.cx = 4;
    s.trans_alpha = {0, 128, 255};  // the fourth entry stays opaque
    s.rows = {{0, 1, 2, 3}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetWidth(), 4);
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(img.GetRow(0)[1], Premultiplied(0, 255, 0, 128));
    EXPECT_EQ(img.GetRow(0)[2], MakeRGBA(0, 0, 255, 255));
    EXPECT_EQ(img.GetRow(0)[3], MakeRGBA(10, 20, 30, 255));
}

TEST(PNGRaster, ATransparentColourBecomesAlphaZero) {
    Spec rgb;
    rgb.cx = 2;
    rgb.has_trans_color = true;
    rgb.trans_color.red = 1;
    rgb.trans_color.green = 2;
    rgb.trans_color.blue = 3;
    rgb.rows = {{1, 2, 3, 1, 2, 4}};
    Image img = Decode(testpng::Write(rgb));
    ASSERT_EQ(img.GetWidth(), 2);
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(img.GetRow(0)[1], MakeRGBA(1, 2, 4, 255));

    Spec grey;
    grey.cx = 2;
    grey.type = PNG_COLOR_TYPE_GRAY;
    grey.has_trans_color = true;
    grey.trans_color.gray = 9;
    grey.rows = {{9, 10}};
    img = Decode(testpng::Write(grey));
    ASSERT_EQ(img.GetWidth(), 2);
    EXPECT_EQ(img.GetRow(0)[0], MakeRGBA(0, 0, 0, 0));
    EXPECT_EQ(img.GetRow(0)[1], MakeRGBA(10, 10, 10, 255));
}

TEST(PNGRaster, AnInterlacedFileDecodesLikeItsTwin) {
    Spec plain = Rgba(13, 11);
    Spec laced = plain;
    laced.interlaced = true;
    const std::vector<png_byte> a = testpng::Write(plain), b = testpng::Write(laced);
    ASSERT_NE(a, b);
    Image pa = Decode(a), pb = Decode(b);
    ASSERT_EQ(pb.GetSize(), Gui::Size(13, 11));
    EXPECT_TRUE(pa == pb);

    Spec pal = PaletteSpec(2);
    pal.cx = 9;
    pal.cy = 9;
    for (int y = 0; y < 9; ++y) pal.rows.push_back({static_cast<png_byte>(y * 27), 0xE4, 0x40});
    Spec pal_laced = pal;
    pal_laced.interlaced = true;
    Image qa = Decode(testpng::Write(pal)), qb = Decode(testpng::Write(pal_laced));
    ASSERT_EQ(qb.GetSize(), Gui::Size(9, 9));
    EXPECT_TRUE(qa == qb);
}

TEST(PNGRaster, CorruptOrTruncatedDataGivesTheEmptyImage) {
    const std::vector<png_byte> good = testpng::Write(Rgba(16, 16));
    ASSERT_FALSE(Decode(good).IsEmpty());
    raster::PNGRaster r;
    EXPECT_TRUE(r.LoadMemory(nullptr, 100).IsEmpty());
    EXPECT_TRUE(r.LoadMemory(good.data(), 0).IsEmpty());
    EXPECT_TRUE(r.LoadMemory(good.data(), 7).IsEmpty());
    // Every cut, in the header, in the pixel data and before the end chunk.
    for (size_t n = 8; n < good.size(); n += (n < 64 ? 1 : 7)) {
        EXPECT_TRUE(r.LoadMemory(good.data(), static_cast<DWORD>(n)).IsEmpty()) << n;
    }
    std::vector<png_byte> bad_sig = good;
    bad_sig[1] ^= 0xFF;
    EXPECT_TRUE(Decode(bad_sig).IsEmpty());
    std::vector<png_byte> bad_data = good;
    bad_data[good.size() / 2] ^= 0x55;  // inside the compressed pixels: checksum fails
    EXPECT_TRUE(Decode(bad_data).IsEmpty());
    std::vector<png_byte> bad_header = good;
    bad_header[8 + 8 + 8] = 7;  // bit depth 7 (the checksum no longer matches either)
    EXPECT_TRUE(Decode(bad_header).IsEmpty());
}

TEST(PNGRaster, AHeaderAskingForTooManyPixelsGivesTheEmptyImage) {
    std::vector<png_byte> file = testpng::Write(Rgba(2, 2));
    testpng::PatchSize(file, 1000000, 1000000);
    EXPECT_TRUE(Decode(file).IsEmpty());
}

TEST(PNGRaster, HasNoRowInterface) {
    raster::PNGRaster r;
    EXPECT_EQ(r.GetSize(), Gui::Size(0, 0));
    Gui::Raster::Line line = r.GetLine(0);
    EXPECT_EQ(line.GetData(), nullptr);
    std::unique_ptr<Gui::Raster> made(raster::PNGRaster::Create());
    ASSERT_NE(made, nullptr);
    EXPECT_NE(dynamic_cast<raster::PNGRaster*>(made.get()), nullptr);
}

class PNGFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/pngraster.XXXXXX";
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        for (const std::string& f : files_) unlink(f.c_str());
        rmdir(dir_.c_str());
    }
    std::wstring Put(const std::string& name, const std::vector<png_byte>& bytes) {
        const std::string path = dir_ + "/" + name;
        FILE* f = fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        files_.push_back(path);
        return UnixPathToWin32(path);
    }
    std::wstring Missing(const std::string& name) { return UnixPathToWin32(dir_ + "/" + name); }

    std::string dir_;
    std::vector<std::string> files_;
};

TEST_F(PNGFiles, TheExtensionIsMatchedWithoutRegardToCase) {
    const std::vector<png_byte> bytes = testpng::Write(Rgba(3, 3));
    raster::PNGRaster r;
    Image img = r.LoadFile(Put("Logo.PNG", bytes).c_str());
    EXPECT_EQ(img.GetSize(), Gui::Size(3, 3));
    EXPECT_TRUE(img == Decode(bytes));
    EXPECT_TRUE(r.LoadFile(Put("logo.png.bak", bytes).c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(Put("logo", bytes).c_str()).IsEmpty());
}

TEST_F(PNGFiles, MissingEmptyOrForeignFilesGiveTheEmptyImage) {
    raster::PNGRaster r;
    EXPECT_TRUE(r.LoadFile(Missing("none.png").c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(Put("empty.png", {}).c_str()).IsEmpty());
    const std::vector<png_byte> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
    EXPECT_TRUE(r.LoadFile(Put("photo.png", jpeg).c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(nullptr).IsEmpty());
}

}  // namespace
