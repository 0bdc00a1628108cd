// The encoder list, bitmaps from GDI bitmaps and raw pixels, and JPEG saving.
#include "gdiplus_session.h"
#include "support/image_files.h"

#include <memory>
#include <string_view>

namespace {

class Encoders : public GdiplusSession {
protected:
    // The list as a program reads it: size first, then one buffer for everything.
    std::unique_ptr<char[]> encoder_list(UINT* count) {
        UINT size = 0;
        EXPECT_EQ(GdipGetImageEncodersSize(count, &size), Ok);
        auto buffer = std::make_unique<char[]>(size);
        EXPECT_EQ(
            GdipGetImageEncoders(*count, size, reinterpret_cast<ImageCodecInfo*>(buffer.get())),
            Ok);
        return buffer;
    }

    bool jpeg_clsid(CLSID* clsid) {
        UINT count = 0;
        auto list = encoder_list(&count);
        auto* codecs = reinterpret_cast<ImageCodecInfo*>(list.get());
        for (UINT i = 0; i < count; ++i) {
            if (std::wstring_view(codecs[i].MimeType) == L"image/jpeg") {
                *clsid = codecs[i].Clsid;
                return true;
            }
        }
        return false;
    }
};

TEST_F(Encoders, ListHoldsOneJpegEncoderWithItsClsid) {
    UINT count = 0;
    auto list = encoder_list(&count);
    ASSERT_EQ(count, 1u);
    const auto& codec = *reinterpret_cast<ImageCodecInfo*>(list.get());
    EXPECT_EQ(std::wstring_view(codec.MimeType), L"image/jpeg");
    EXPECT_EQ(std::wstring_view(codec.FormatDescription), L"JPEG");
    EXPECT_TRUE(codec.Flags & ImageCodecFlagsEncoder);
    EXPECT_TRUE(codec.FormatID == ImageFormatJPEG);
    const CLSID expected = {
        0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    EXPECT_TRUE(codec.Clsid == expected);
    ASSERT_EQ(codec.SigSize, 2u);
    EXPECT_EQ(codec.SigPattern[0], 0xFF);
    EXPECT_EQ(codec.SigPattern[1], 0xD8);
}

TEST_F(Encoders, ListRefusesABufferOfTheWrongSize) {
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    auto buffer = std::make_unique<char[]>(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.get());
    EXPECT_EQ(GdipGetImageEncoders(count, size - 1, codecs), GenericError);
    EXPECT_EQ(GdipGetImageEncoders(count + 1, size, codecs), GenericError);
    EXPECT_EQ(GdipGetImageEncoders(count, size, nullptr), InvalidParameter);
}

TEST_F(Encoders, GdiBitmapSavedAsJpegReadsBackWithItsColours) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = 32;
    bmi.bmiHeader.biHeight = -16;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(hbm, nullptr);
    auto* px = static_cast<uint32_t*>(bits);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            px[y * 32 + x] = x < 16 ? 0x00C02010u : 0x0030A0F0u;  // alpha 0

    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromHBITMAP(hbm, nullptr, &bitmap), Ok);
    EXPECT_EQ(pixel_at(bitmap, 3, 3), 0xFFC02010u);  // GDI pixels count as opaque
    CLSID clsid{};
    ASSERT_TRUE(jpeg_clsid(&clsid));
    std::wstring path = dir_.winfile("saved.jpg");
    ASSERT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &clsid, nullptr), Ok);
    GdipDisposeImage(bitmap);
    DeleteObject(hbm);

    std::string saved = testing_support::ReadAll(dir_.file("saved.jpg"));
    ASSERT_GT(saved.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(saved[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(saved[1]), 0xD8);
    GpBitmap* back = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &back), Ok);
    UINT w = 0, h = 0;
    GdipGetImageWidth(back, &w);
    GdipGetImageHeight(back, &h);
    EXPECT_EQ(w, 32u);
    EXPECT_EQ(h, 16u);
    EXPECT_TRUE(near_colour(pixel_at(back, 4, 8), 0xFFC02010u, 16));
    EXPECT_TRUE(near_colour(pixel_at(back, 28, 8), 0xFF30A0F0u, 16));
    GdipDisposeImage(back);
}

TEST_F(Encoders, LowerQualityMakesASmallerFile) {
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(64, 64, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            GdipBitmapSetPixel(bitmap, x, y,
                               0xFF000000u | static_cast<ARGB>((x * 7) ^ (y * 13)) * 0x10101u);
    CLSID clsid{};
    ASSERT_TRUE(jpeg_clsid(&clsid));
    ULONG quality = 10;
    EncoderParameters params{};
    params.Count = 1;
    params.Parameter[0] = {EncoderQuality, 1, EncoderParameterValueTypeLong, &quality};
    std::wstring low = dir_.winfile("low.jpg"), high = dir_.winfile("high.jpg");
    ASSERT_EQ(GdipSaveImageToFile(bitmap, low.c_str(), &clsid, &params), Ok);
    quality = 95;
    ASSERT_EQ(GdipSaveImageToFile(bitmap, high.c_str(), &clsid, &params), Ok);
    EXPECT_LT(testing_support::ReadAll(dir_.file("low.jpg")).size(),
              testing_support::ReadAll(dir_.file("high.jpg")).size());
    GdipDisposeImage(bitmap);
}

TEST_F(Encoders, SavingWithAnUnknownEncoderOrToAMissingFolderFails) {
    BYTE pixels[4 * 4 * 4] = {};
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 16, PixelFormat32bppRGB, pixels, &bitmap), Ok);
    EXPECT_EQ(pixel_at(bitmap, 1, 1), 0xFF000000u);
    const CLSID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    std::wstring path = dir_.winfile("x.jpg");
    EXPECT_NE(GdipSaveImageToFile(bitmap, path.c_str(), &unknown, nullptr), Ok);
    EXPECT_FALSE(testing_support::Exists(dir_.file("x.jpg")));
    CLSID clsid{};
    ASSERT_TRUE(jpeg_clsid(&clsid));
    std::wstring nowhere = dir_.winfile("no\\such\\folder.jpg");
    EXPECT_EQ(GdipSaveImageToFile(bitmap, nowhere.c_str(), &clsid, nullptr), Win32Error);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    GdipDisposeImage(bitmap);
}

}  // namespace
