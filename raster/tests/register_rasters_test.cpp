#include "raster/register_rasters.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <string>

#include "gui/raster.h"
#include "testing/image_files.h"

namespace {

using Gui::Image;
using Gui::Raster;

Image FromMemory(const std::string& bytes) {
    return Raster::LoadAnyMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
}

class RegisterRasters : public ::testing::Test {
protected:
    static void SetUpTestSuite() { raster::RegisterRasters(); }
    void SetUp() override {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(token_); }

    ULONG_PTR token_ = 0;
};

// PNG comes first: GDI+ reads a PNG too, but opaque.
TEST_F(RegisterRasters, PngAndJpegLoadByContentFromMemory) {
    const std::string png =
        image_files::png(1, 1, image_files::PngKind::Rgba, [](int, int) { return 0x80FF0000u; });
    const std::string jpeg = image_files::jpeg(3, 2, [](int, int) { return 0x406080u; });
    EXPECT_EQ(FromMemory(png).GetRow(0)[0], Gui::MakeRGBA(128, 0, 0, 128));
    ASSERT_EQ(FromMemory(jpeg).GetSize(), Gui::Size(3, 2));
    EXPECT_EQ(FromMemory(jpeg).GetRow(0)[0].a, 255);
    EXPECT_TRUE(FromMemory("not an image at all").IsEmpty());
}

TEST_F(RegisterRasters, ImagesAboveTheLimitGiveTheEmptyImageOnEveryPath) {
    // 8193 x 8193 is just above 64 x 2^20 pixels: a whole 1-bit PNG, and a JPEG whose
    // frame header claims that size.
    const std::string png = image_files::black_png(8193, 8193);
    const std::string jpeg = image_files::with_claimed_size(
        image_files::jpeg(16, 16, [](int, int) { return 0x808080u; }), 8193, 8193);
    EXPECT_TRUE(FromMemory(png).IsEmpty() && FromMemory(jpeg).IsEmpty());
}

}  // namespace
