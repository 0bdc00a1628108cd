#include "raster/jpg_raster.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "testing/image_files.h"
#include "testing/temp_dir.h"

namespace {

using Gui::Image;

std::string Gradient(int cx, int cy) {
    return image_files::jpeg(cx, cy, [](int x, int y) {
        return static_cast<uint32_t>((x * 20) << 16 | (y * 30) << 8 | 0x80);
    });
}

Image Decode(const std::string& bytes, DWORD length) {
    raster::JPGRaster r;
    return r.LoadMemory(bytes.data(), length);
}
Image Decode(const std::string& bytes) { return Decode(bytes, static_cast<DWORD>(bytes.size())); }

class JPGRaster : public ::testing::Test {
protected:
    void SetUp() override {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(token_); }
    std::wstring Put(const std::string& name, const std::string& bytes) {
        testing_support::WriteAll(dir_.file(name), bytes);
        return dir_.winfile(name);
    }

    ULONG_PTR token_ = 0;
    testing_support::TempDir dir_;
};

TEST_F(JPGRaster, PixelsAreWhatGdiplusReadsWithAlpha255) {
    const std::string bytes = Gradient(9, 6);
    const std::wstring path = Put("g.jpg", bytes);
    const Image img = Decode(bytes);
    ASSERT_EQ(img.GetSize(), Gui::Size(9, 6));
    GpBitmap* bmp = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &bmp), Ok);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            ARGB v = 0;
            ASSERT_EQ(GdipBitmapGetPixel(bmp, x, y, &v), Ok);
            EXPECT_EQ(img.GetRow(y)[x], Gui::MakeRGBA(v >> 16, v >> 8, v, 255));
        }
    GdipDisposeImage(bmp);
    // From memory anything GDI+ reads, always opaque.
    const std::string png =
        image_files::png(1, 1, image_files::PngKind::Rgba, [](int, int) { return 0x0A326496u; });
    ASSERT_EQ(Decode(png).GetSize(), Gui::Size(1, 1));
    EXPECT_EQ(Decode(png).GetRow(0)[0].a, 255);
}

TEST_F(JPGRaster, FilesNeedTheJpgOrJpegExtensionInAnyCaseAndReadableContents) {
    const std::string bytes = Gradient(2, 2);
    raster::JPGRaster r;
    for (const char* name : {"photo.JPEG", "photo.Jpg"})
        EXPECT_EQ(r.LoadFile(Put(name, bytes).c_str()).GetSize(), Gui::Size(2, 2)) << name;
    for (const char* name : {"photo.jpg.bak", "photo.png"})
        EXPECT_TRUE(r.LoadFile(Put(name, bytes).c_str()).IsEmpty()) << name;
    EXPECT_TRUE(r.LoadFile(dir_.winfile("missing.jpg").c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(Put("empty.jpg", "").c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(nullptr).IsEmpty() && r.LoadMemory(nullptr, 10).IsEmpty());
    for (const auto& [data, size] :
         {std::pair{std::string("certainly not a picture"), 23}, {bytes, 0}, {bytes, 20}})
        EXPECT_TRUE(Decode(data, size).IsEmpty()) << size;
}

TEST_F(JPGRaster, SavedBitmapsUseTheJpegEncoderAndLoadBack) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 6, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(hbm, nullptr);
    for (int i = 0; i < 24; ++i) static_cast<DWORD*>(bits)[i] = 0x00C04010;
    EXPECT_TRUE(raster::SaveJpeg(dir_.winfile("saved.jpg"), hbm));
    EXPECT_FALSE(raster::SaveJpeg(dir_.winfile("none.jpg"), nullptr));
    DeleteObject(hbm);
    EXPECT_EQ(testing_support::ReadAll(dir_.file("saved.jpg")).substr(0, 3), "\xFF\xD8\xFF");
    raster::JPGRaster r;
    Image img = r.LoadFile(dir_.winfile("saved.jpg").c_str());
    ASSERT_EQ(img.GetSize(), Gui::Size(6, 4));
    const Gui::RGBA p = img.GetRow(2)[3];
    EXPECT_TRUE(abs(p.r - 0xC0) <= 3 && abs(p.g - 0x40) <= 3 && abs(p.b - 0x10) <= 3)
        << int(p.r) << "," << int(p.g) << "," << int(p.b);
}

}  // namespace
