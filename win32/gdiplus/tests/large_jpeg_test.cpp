// A photo-sized JPEG is handed out while its lower rows are still being decoded:
// every row reads as it will stay, and damage fails the bitmap as in a small file.
#include <vector>

#include "gdiplus_session.h"
#include "testing/image_files.h"

namespace {

constexpr int kWidth = 2048, kHeight = 1024;  // two megapixels: decoded beside the reader

// Steps of 64 rows (whole blocks) in red, gradients in green and blue.
uint32_t Bands(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(y / 64 % 16 * 16) << 16 |
           static_cast<uint32_t>(x * 255 / kWidth) << 8 | static_cast<uint32_t>(y * 255 / kHeight);
}

class LargeJpeg : public GdiplusSession {
protected:
    // Bottom row first, right after the bitmap is made: those rows are still
    // being decoded then.
    std::vector<ARGB> ReadUpwards(GpBitmap* bitmap) {
        std::vector<ARGB> px(static_cast<size_t>(kWidth) * kHeight);
        for (int y = kHeight - 1; y >= 0; --y)
            for (int x = 0; x < kWidth; ++x)
                px[static_cast<size_t>(y) * kWidth + x] = pixel_at(bitmap, x, y);
        return px;
    }
};

TEST_F(LargeJpeg, RowsReadBeforeTheyAreDecodedAreTheFinalOnes) {
    const std::string bytes = image_files::jpeg(kWidth, kHeight, Bands);
    std::vector<ARGB> reads[2];
    for (int settled = 0; settled < 2; ++settled) {
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(decode_memory(bytes, &bitmap), Ok);
        if (settled) {
            // Saving reads every row, so it waits for the last one.
            const std::wstring path = dir_.winfile("settled.jpg");
            const CLSID jpeg = JpegClsid();
            ASSERT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &jpeg, nullptr), Ok);
        }
        reads[settled] = ReadUpwards(bitmap);
        GdipDisposeImage(bitmap);
    }
    ASSERT_TRUE(reads[0] == reads[1]);
    for (int y = 0; y < kHeight; y += 37)
        for (int x = 0; x < kWidth; x += 41)
            ASSERT_TRUE(near_colour(reads[0][static_cast<size_t>(y) * kWidth + x], Bands(x, y), 12))
                << x << "," << y;
}

TEST_F(LargeJpeg, DamageInTheScanFailsAsInASmallFile) {
    const std::string large = image_files::jpeg(kWidth, kHeight, Bands);
    const std::string small = image_files::jpeg(64, 64, Bands);
    for (const std::string* file : {&large, &small}) {
        // Halfway through the scan data, between its header and the end marker.
        const size_t scan = file->find("\xFF\xDA"), end = file->size() - 2;
        const size_t mid = scan + (end - scan) / 2;
        std::string frame = *file, table = *file;
        // A second frame header; a Huffman table too short to hold one.
        frame.insert(mid, std::string("\xFF\xC0\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00", 13));
        table.insert(mid, std::string("\xFF\xC4\x00\x03\x55", 5));
        for (const std::string* damaged : {&frame, &table}) {
            GpBitmap* bitmap = nullptr;
            EXPECT_EQ(decode_memory(*damaged, &bitmap), OutOfMemory) << file->size();
            EXPECT_EQ(bitmap, nullptr);
        }
    }
}

TEST_F(LargeJpeg, DisposingBeforeTheLastRowIsSafe) {
    const std::string bytes = image_files::jpeg(kWidth, kHeight, Bands);
    for (int i = 0; i < 4; ++i) {
        GpBitmap* bitmap = nullptr;
        ASSERT_EQ(decode_memory(bytes, &bitmap), Ok);
        EXPECT_TRUE(near_colour(pixel_at(bitmap, 0, 0), Bands(0, 0), 12));
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
}

}  // namespace
