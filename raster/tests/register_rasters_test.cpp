#include "raster/register_rasters.h"

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "gui/raster.h"
#include "png_writer.h"
#include "raster/jpg_raster.h"
#include "raster/png_raster.h"
#include "support/jpeg_writer.h"
#include "win32_unixpath.h"

namespace {

TEST(RegisterRasters, PutsPngFirstThenJpeg) {
    const int before = Gui::Raster::GetFactories().items;
    raster::RegisterRasters();
    const Gui::VectorBase& v = Gui::Raster::GetFactories();
    ASSERT_EQ(v.items, before + 2);
    const auto* f = static_cast<const Gui::Raster::Factory*>(v.vector);
    EXPECT_EQ(f[before], &raster::PNGRaster::Create);
    EXPECT_EQ(f[before + 1], &raster::JPGRaster::Create);
}

TEST(RegisterRasters, AJpegNamedPngFailsAsAFileButLoadsFromMemory) {
    raster::RegisterRasters();
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    const std::vector<unsigned char> jpeg =
        testjpeg::Write(3, 2, [](int, int) { return 0x406080u; });
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/rasterjpeg.XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    const std::string name = dir + "/photo.png";
    FILE* f = fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(jpeg.data(), 1, jpeg.size(), f);
    fclose(f);
    Gui::Image from_file = Gui::Raster::LoadAnyFile(UnixPathToWin32(name).c_str());
    Gui::Image from_memory =
        Gui::Raster::LoadAnyMemory(jpeg.data(), static_cast<DWORD>(jpeg.size()));
    unlink(name.c_str());
    rmdir(dir.c_str());
    GdiplusShutdown(token);
    EXPECT_TRUE(from_file.IsEmpty());
    ASSERT_EQ(from_memory.GetSize(), Gui::Size(3, 2));
    EXPECT_EQ(from_memory.GetPixels()[0].a, 255);
}

TEST(RegisterRasters, TheListThenLoadsPngFromMemory) {
    raster::RegisterRasters();
    testpng::Spec s;
    s.cx = 2;
    s.cy = 2;
    s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    const std::vector<png_byte> bytes = testpng::Write(s);
    Gui::Image img = Gui::Raster::LoadAnyMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
    ASSERT_EQ(img.GetSize(), Gui::Size(2, 2));
    EXPECT_EQ(img.GetRow(1)[1], Gui::MakeRGBA(10, 11, 12, 255));
    const char junk[] = "not an image at all";
    EXPECT_TRUE(Gui::Raster::LoadAnyMemory(junk, sizeof junk).IsEmpty());
}

TEST(RegisterRasters, TheListLoadsAPngFileButNotAPngWithAnotherExtension) {
    raster::RegisterRasters();
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/rasterlist.XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    testpng::Spec s;
    s.rows = {{9, 8, 7}};
    const std::vector<png_byte> bytes = testpng::Write(s);
    const std::string names[] = {dir + "/a.png", dir + "/a.jpg"};
    for (const std::string& name : names) {
        FILE* f = fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    Gui::Image img = Gui::Raster::LoadAnyFile(UnixPathToWin32(names[0]).c_str());
    Gui::Image other = Gui::Raster::LoadAnyFile(UnixPathToWin32(names[1]).c_str());
    for (const std::string& name : names) unlink(name.c_str());
    rmdir(dir.c_str());
    ASSERT_EQ(img.GetSize(), Gui::Size(1, 1));
    EXPECT_EQ(img.GetPixels()[0], Gui::MakeRGBA(9, 8, 7, 255));
    EXPECT_TRUE(other.IsEmpty());
}

TEST(RegisterRasters, ImagesAboveTheLimitGiveTheEmptyImageOnEveryPath) {
    raster::RegisterRasters();
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    // 8193 x 8193 is just above 64 x 2^20 pixels: a whole 1-bit PNG, and a JPEG whose
    // frame header claims that size (its data then ends early).
    testpng::Spec s;
    s.cx = s.cy = 8193;
    s.type = PNG_COLOR_TYPE_GRAY;
    s.depth = 1;
    s.rows.assign(8193, std::vector<png_byte>(1025, 0));
    const std::vector<png_byte> png = testpng::Write(s);
    std::vector<unsigned char> jpeg = testjpeg::Write(16, 16, [](int, int) { return 0x808080u; });
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = 0x20;
            jpeg[i + 6] = jpeg[i + 8] = 0x01;
            break;
        }
    raster::PNGRaster p;
    raster::JPGRaster j;
    EXPECT_TRUE(p.LoadMemory(png.data(), static_cast<DWORD>(png.size())).IsEmpty());
    EXPECT_TRUE(j.LoadMemory(jpeg.data(), static_cast<DWORD>(jpeg.size())).IsEmpty());
    EXPECT_TRUE(Gui::Raster::LoadAnyMemory(png.data(), static_cast<DWORD>(png.size())).IsEmpty());
    EXPECT_TRUE(Gui::Raster::LoadAnyMemory(jpeg.data(), static_cast<DWORD>(jpeg.size())).IsEmpty());
    GdiplusShutdown(token);
}

}  // namespace
