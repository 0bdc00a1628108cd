#include "raster/jpg_raster.h"

#include <gdiplus.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "png_writer.h"
#include "support/jpeg_writer.h"
#include "win32_unixpath.h"

namespace {

using Gui::Image;

std::vector<unsigned char> Gradient(int cx, int cy) {
    return testjpeg::Write(cx, cy, [](int x, int y) {
        return static_cast<uint32_t>((x * 20) << 16 | (y * 30) << 8 | 0x80);
    });
}

std::vector<unsigned char> Solid(int cx, int cy, uint32_t rgb) {
    return testjpeg::Write(
        cx, cy, [rgb](int, int) { return rgb; }, 100);
}

bool Near(int a, int b) { return std::abs(a - b) <= 3; }

class JPGRaster : public ::testing::Test {
protected:
    void SetUp() override {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
        const char* tmp = getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/jpgraster.XXXXXX";
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        for (const std::string& f : files_) unlink(f.c_str());
        rmdir(dir_.c_str());
        GdiplusShutdown(token_);
    }
    std::wstring Put(const std::string& name, const std::vector<unsigned char>& bytes) {
        const std::string path = Name(name);
        FILE* f = fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        return UnixPathToWin32(path);
    }
    std::string Name(const std::string& name) {
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }
    Image Decode(const std::vector<unsigned char>& bytes) {
        raster::JPGRaster r;
        return r.LoadMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
    }

    ULONG_PTR token_ = 0;
    std::string dir_;
    std::vector<std::string> files_;
};

TEST_F(JPGRaster, PixelsAreWhatGdiplusReadsWithAlpha255) {
    const std::vector<unsigned char> bytes = Gradient(9, 6);
    const std::wstring path = Put("g.jpg", bytes);
    raster::JPGRaster r;
    Image img = r.LoadFile(path.c_str());
    ASSERT_EQ(img.GetSize(), Gui::Size(9, 6));
    GpBitmap* bmp = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &bmp), Ok);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) {
            ARGB v = 0;
            ASSERT_EQ(GdipBitmapGetPixel(bmp, x, y, &v), Ok);
            EXPECT_EQ(img.GetRow(y)[x],
                      Gui::MakeRGBA(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8),
                                    static_cast<BYTE>(v), 255));
        }
    GdipDisposeImage(bmp);
    EXPECT_TRUE(Decode(bytes) == img);
}

TEST_F(JPGRaster, ASolidColourComesBackOpaqueAndClose) {
    Image img = Decode(Solid(8, 8, 0x20A0F0));
    ASSERT_EQ(img.GetSize(), Gui::Size(8, 8));
    const Gui::RGBA p = img.GetRow(4)[4];
    EXPECT_TRUE(Near(p.r, 0x20) && Near(p.g, 0xA0) && Near(p.b, 0xF0))
        << int(p.r) << " " << int(p.g) << " " << int(p.b);
    EXPECT_EQ(p.a, 255);
}

TEST_F(JPGRaster, TheExtensionIsJpgOrJpegInAnyCase) {
    const std::vector<unsigned char> bytes = Solid(2, 2, 0x808080);
    raster::JPGRaster r;
    EXPECT_EQ(r.LoadFile(Put("photo.JPEG", bytes).c_str()).GetSize(), Gui::Size(2, 2));
    EXPECT_EQ(r.LoadFile(Put("photo.Jpg", bytes).c_str()).GetSize(), Gui::Size(2, 2));
    EXPECT_TRUE(r.LoadFile(Put("photo.jpg.bak", bytes).c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(Put("photo.png", bytes).c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(UnixPathToWin32(Name("missing.jpg")).c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(Put("empty.jpg", {}).c_str()).IsEmpty());
    EXPECT_TRUE(r.LoadFile(nullptr).IsEmpty());
}

TEST_F(JPGRaster, MemoryTakesAnyFormatGdiplusReadsButAlwaysOpaque) {
    testpng::Spec s;
    s.type = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = {{200, 100, 50, 10}};
    Image img = Decode(testpng::Write(s));
    ASSERT_EQ(img.GetSize(), Gui::Size(1, 1));
    EXPECT_EQ(img.GetRow(0)[0].a, 255);
}

TEST_F(JPGRaster, UnreadableBytesGiveTheEmptyImage) {
    raster::JPGRaster r;
    EXPECT_TRUE(r.LoadMemory(nullptr, 10).IsEmpty());
    const char junk[] = "certainly not a picture";
    EXPECT_TRUE(r.LoadMemory(junk, sizeof junk).IsEmpty());
    const std::vector<unsigned char> bytes = Gradient(16, 16);
    EXPECT_TRUE(r.LoadMemory(bytes.data(), 0).IsEmpty());
    EXPECT_TRUE(r.LoadMemory(bytes.data(), 20).IsEmpty());
    EXPECT_EQ(r.GetSize(), Gui::Size(0, 0));
    EXPECT_EQ(r.GetLine(0).GetData(), nullptr);
}

TEST_F(JPGRaster, TheJpegEncoderIsFoundByItsMimeType) {
    CLSID clsid{};
    const int index = raster::GetJpegEncoderClsid(&clsid);
    ASSERT_GE(index, 0);
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    ASSERT_EQ(GdipGetImageEncoders(count, size, codecs), Ok);
    ASSERT_LT(static_cast<UINT>(index), count);
    EXPECT_EQ(std::wstring(codecs[index].MimeType), L"image/jpeg");
    EXPECT_EQ(memcmp(&codecs[index].Clsid, &clsid, sizeof clsid), 0);
}

TEST_F(JPGRaster, SaveJpegWritesABitmapThatLoadsBack) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 6;
    bi.bmiHeader.biHeight = -4;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(hbm, nullptr);
    auto* px = static_cast<DWORD*>(bits);
    for (int i = 0; i < 24; ++i) px[i] = 0x00C04010;  // red C0, green 40, blue 10
    const std::string file = Name("saved.jpg");
    EXPECT_TRUE(raster::SaveJpeg(UnixPathToWin32(file), hbm));
    DeleteObject(hbm);
    raster::JPGRaster r;
    Image img = r.LoadFile(UnixPathToWin32(file).c_str());
    ASSERT_EQ(img.GetSize(), Gui::Size(6, 4));
    const Gui::RGBA p = img.GetRow(2)[3];
    EXPECT_TRUE(Near(p.r, 0xC0) && Near(p.g, 0x40) && Near(p.b, 0x10))
        << int(p.r) << " " << int(p.g) << " " << int(p.b);
}

TEST(JPGRasterWithoutGdiplus, NoEncoderListLeavesTheClsidUnwritten) {
    CLSID clsid;
    memset(&clsid, 0x5A, sizeof clsid);
    EXPECT_EQ(raster::GetJpegEncoderClsid(&clsid), -1);
    const BYTE* b = reinterpret_cast<const BYTE*>(&clsid);
    for (size_t i = 0; i < sizeof clsid; ++i) EXPECT_EQ(b[i], 0x5A);
}

}  // namespace
