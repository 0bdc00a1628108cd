// A test fixture that runs each test between GdiplusStartup and GdiplusShutdown,
// with a private folder for the files the test makes.
#pragma once

#include <gdiplus.h>
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

class GdiplusSession : public ::testing::Test {
protected:
    void SetUp() override {
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(token_); }

    // Writes bytes to a file of the folder and answers its drive path.
    std::wstring write_file(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(testing_support::WriteAll(dir_.file(name), bytes));
        return dir_.winfile(name);
    }

    // Decodes bytes the way a program does from memory: a zeroed movable block,
    // a stream that does not own it, the bitmap, then the block freed.
    GpStatus decode_memory(const std::string& bytes, GpBitmap** bitmap) {
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
        if (!mem) return OutOfMemory;
        std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
        IStream* stream = nullptr;
        GpStatus status = GenericError;
        if (CreateStreamOnHGlobal(mem, FALSE, &stream) == S_OK) {
            status = GdipCreateBitmapFromStreamICM(stream, bitmap);
            stream->Release();
        }
        GlobalUnlock(mem);
        GlobalFree(mem);
        return status;
    }

    testing_support::TempDir dir_;

private:
    ULONG_PTR token_ = 0;
};

// The JPEG encoder's CLSID (the list's one entry); zero when there is none.
inline CLSID JpegClsid() {
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    std::vector<BYTE> list(size);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(list.data());
    return count && GdipGetImageEncoders(count, size, codecs) == Ok ? codecs[0].Clsid : CLSID{};
}

// The pixel at (x, y), or 0 when the call fails.
inline ARGB pixel_at(GpBitmap* bitmap, int x, int y) {
    ARGB c = 0;
    return GdipBitmapGetPixel(bitmap, x, y, &c) == Ok ? c : 0;
}

// Each colour channel within tolerance of the expected one, alpha exact.
inline ::testing::AssertionResult near_colour(ARGB actual, ARGB expected, int tolerance) {
    bool near = (actual >> 24) == (expected >> 24);
    for (int shift : {16, 8, 0})
        near = near && std::abs(int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) <=
                           tolerance;
    if (near) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
}
