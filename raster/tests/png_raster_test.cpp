#include "raster/png_raster.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/image_files.h"
#include "testing/temp_dir.h"

namespace {

using Gui::Image;
using Gui::MakeRGBA;
using Gui::RGBA;
using image_files::PngSpec;
using Row = std::vector<png_byte>;

Image Decode(const std::string& bytes) {
    raster::PNGRaster r;
    return r.LoadMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
}

PngSpec Spec(int type, int depth, int cx, Row row) {
    PngSpec s;
    s.type = type, s.depth = depth, s.cx = cx;
    s.rows = {std::move(row)};
    s.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    if (type != PNG_COLOR_TYPE_PALETTE) s.palette.clear();
    if (type == PNG_COLOR_TYPE_PALETTE && depth == 1) s.palette.resize(2);
    return s;
}

// A w x h RGBA image whose pixels vary in every channel, alpha included.
PngSpec Rgba(int cx, int cy) {
    PngSpec s;
    s.cx = cx, s.cy = cy, s.type = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < cy; ++y) {
        s.rows.emplace_back();
        for (int x = 0; x < cx; ++x)
            s.rows.back().insert(s.rows.back().end(),
                                 {png_byte(x * 37 + y), png_byte(y * 53 + x), png_byte(200 - x * y),
                                  png_byte(x * 29 + y * 11)});
    }
    return s;
}

RGBA Grey(int v) { return MakeRGBA(v, v, v, 255); }
RGBA Premultiplied(int r, int g, int b, int a) {
    return MakeRGBA(r * a / 255, g * a / 255, b * a / 255, a);
}

TEST(PNGRaster, EveryColourTypeAndDepthBecomesPremultipliedBgra) {
    const int kGrey = PNG_COLOR_TYPE_GRAY, kRgb = PNG_COLOR_TYPE_RGB;
    const int kPalette = PNG_COLOR_TYPE_PALETTE, kRgba = PNG_COLOR_TYPE_RGB_ALPHA;
    PngSpec trans_rgb = Spec(kRgb, 8, 2, {1, 2, 3, 1, 2, 4});
    PngSpec trans_grey = Spec(kGrey, 8, 2, {9, 10});
    trans_rgb.has_trans_color = trans_grey.has_trans_color = true;
    trans_rgb.trans_color = {0, 1, 2, 3, 0};  // index, red, green, blue, grey
    trans_grey.trans_color.gray = 9;
    PngSpec trans_palette = Spec(kPalette, 8, 4, {0, 1, 2, 3});
    trans_palette.trans_alpha = {0, 128, 255};  // the fourth entry stays opaque
    const RGBA red = MakeRGBA(255, 0, 0, 255), green = MakeRGBA(0, 255, 0, 255);
    const RGBA blue = MakeRGBA(0, 0, 255, 255), dark = MakeRGBA(10, 20, 30, 255);
    const RGBA clear = MakeRGBA(0, 0, 0, 0);
    const struct {
        PngSpec spec;
        std::vector<RGBA> row;
    } cases[] = {
        {Spec(kRgb, 8, 2, {1, 2, 3, 7, 8, 9}), {MakeRGBA(1, 2, 3, 255), MakeRGBA(7, 8, 9, 255)}},
        {Spec(kRgba, 8, 3, {255, 0, 0, 128, 200, 100, 50, 77, 9, 9, 9, 0}),  // rounding down
         {MakeRGBA(128, 0, 0, 128), MakeRGBA(60, 30, 15, 77), clear}},
        {Spec(kGrey, 8, 2, {0, 173}), {Grey(0), Grey(173)}},
        {Spec(kGrey, 1, 4, {0xA0}), {Grey(255), Grey(0), Grey(255), Grey(0)}},
        {Spec(kGrey, 2, 4, {0x1B}), {Grey(0), Grey(85), Grey(170), Grey(255)}},
        {Spec(kGrey, 4, 2, {0x3C}), {Grey(51), Grey(204)}},
        {Spec(kGrey, 16, 3, {0xAB, 0, 0xFF, 0xFF, 0x12, 0x34}),
         {Grey(0xAB), Grey(0xFF), Grey(0x12)}},
        {Spec(kRgb, 16, 1, {0x10, 0xFF, 0x20, 0, 0x30, 0x80}), {MakeRGBA(0x10, 0x20, 0x30, 255)}},
        {Spec(kRgba, 16, 1, {0xFF, 0, 0x80, 0, 0x40, 0, 0x80, 0x7F}),
         {Premultiplied(0xFF, 0x80, 0x40, 0x80)}},
        {Spec(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2, {200, 100, 50, 255}),
         {Premultiplied(200, 200, 200, 100), Grey(50)}},
        {Spec(kPalette, 1, 2, {0x40}), {red, green}},
        {Spec(kPalette, 2, 4, {0x1B}), {red, green, blue, dark}},
        {Spec(kPalette, 4, 4, {0x30, 0x21}), {dark, red, blue, green}},
        {Spec(kPalette, 8, 4, {3, 2, 1, 0}), {dark, blue, green, red}},
        {trans_palette, {clear, Premultiplied(0, 255, 0, 128), blue, dark}},
        {trans_rgb, {clear, MakeRGBA(1, 2, 4, 255)}},
        {trans_grey, {clear, Grey(10)}},
    };
    for (const auto& c : cases) {
        const Image img = Decode(image_files::png(c.spec));
        ASSERT_EQ(img.GetSize(), Gui::Size(c.spec.cx, 1)) << c.spec.type << "/" << c.spec.depth;
        EXPECT_EQ(std::vector<RGBA>(img.GetRow(0), img.GetRow(0) + c.spec.cx), c.row)
            << c.spec.type << "/" << c.spec.depth;
    }
}

TEST(PNGRaster, EveryRowArrivesInPlaceAndInterlacedFilesDecodeLikeTheirTwins) {
    const PngSpec s = Rgba(13, 11);
    PngSpec palette = Spec(PNG_COLOR_TYPE_PALETTE, 2, 9, {});
    palette.cy = 9;
    palette.rows.clear();
    for (int y = 0; y < 9; ++y) palette.rows.push_back({png_byte(y * 27), 0xE4, 0x40});
    for (PngSpec plain : {s, palette}) {
        PngSpec laced = plain;
        laced.interlaced = true;
        const Image a = Decode(image_files::png(plain)), b = Decode(image_files::png(laced));
        ASSERT_EQ(b.GetSize(), Gui::Size(plain.cx, plain.cy));
        EXPECT_TRUE(a == b) << plain.type;
    }
    const Image img = Decode(image_files::png(s));
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) {
            const png_byte* p = &s.rows[y][x * 4];
            ASSERT_EQ(img.GetRow(y)[x], Premultiplied(p[0], p[1], p[2], p[3])) << x << "," << y;
        }
}

TEST(PNGRaster, CorruptTruncatedOrHugeDataGivesTheEmptyImage) {
    const std::string good = image_files::png(Rgba(16, 16));
    ASSERT_FALSE(Decode(good).IsEmpty());
    raster::PNGRaster r;
    EXPECT_TRUE(r.LoadMemory(nullptr, 100).IsEmpty() && r.LoadMemory(good.data(), 0).IsEmpty());
    // Every cut, in the signature, the header, the pixel data and before the end chunk,
    // with the rest of the file still there behind the end.
    for (size_t n = 7; n < good.size(); n += (n < 64 ? 1 : 7))
        EXPECT_TRUE(r.LoadMemory(good.data(), static_cast<DWORD>(n)).IsEmpty()) << n;
    std::string bad_sig = good, bad_data = good, bad_header = good;
    bad_sig[1] ^= 0xFF;
    bad_data[good.size() / 2] ^= 0x55;  // inside the compressed pixels: checksum fails
    bad_header[8 + 8 + 8] = 7;          // bit depth 7
    for (const std::string& bad : {bad_sig, bad_data, bad_header})
        EXPECT_TRUE(Decode(bad).IsEmpty());
    EXPECT_TRUE(Decode(image_files::with_png_size(good, 1000000, 1000000)).IsEmpty());
}

TEST(PNGRaster, FilesNeedThePngExtensionInAnyCaseAndReadableContents) {
    testing_support::TempDir dir;
    const std::string bytes = image_files::png(Rgba(3, 3));
    const std::string jpeg = {'\xFF', '\xD8', '\xFF', '\xE0', 0, 16, 'J', 'F', 'I', 'F', 0};
    for (const char* name : {"Logo.PNG", "logo.png.bak", "logo"})
        testing_support::WriteAll(dir.file(name), bytes);
    testing_support::WriteAll(dir.file("empty.png"), "");
    testing_support::WriteAll(dir.file("photo.png"), jpeg);
    raster::PNGRaster r;
    const Image img = r.LoadFile(dir.winfile("Logo.PNG").c_str());
    EXPECT_EQ(img.GetSize(), Gui::Size(3, 3));
    EXPECT_TRUE(img == Decode(bytes));
    for (const char* name : {"logo.png.bak", "logo", "none.png", "empty.png", "photo.png"})
        EXPECT_TRUE(r.LoadFile(dir.winfile(name).c_str()).IsEmpty()) << name;
    EXPECT_TRUE(r.LoadFile(nullptr).IsEmpty());
}

}  // namespace
