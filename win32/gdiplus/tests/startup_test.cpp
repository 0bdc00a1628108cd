// GDI+ start-up tokens, and decoding refused until the library is started.
#include <gdiplus.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "testing/image_files.h"
#include "testing/temp_dir.h"

namespace {

TEST(GdiplusStartup, EachTokenKeepsTheLibraryStartedUntilItIsGivenBack) {
    testing_support::TempDir dir;
    ASSERT_TRUE(testing_support::WriteAll(
        dir.file("a.jpg"), image_files::jpeg(4, 4, [](int, int) { return 0xFF808080u; })));
    const std::wstring path = dir.winfile("a.jpg");
    GpBitmap* bitmap = nullptr;
    EXPECT_EQ(GdipCreateBitmapFromFile(path.c_str(), &bitmap), GdiplusNotInitialized);
    EXPECT_EQ(bitmap, nullptr);
    GdiplusStartupInput input;
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, second);
    GdiplusShutdown(first);
    ASSERT_EQ(GdipCreateBitmapFromFile(path.c_str(), &bitmap), Ok);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    GdiplusShutdown(second);
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);
}

TEST(GdiplusStartup, BadArgumentsAndVersionsAreRefused) {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    input.GdiplusVersion = 9;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    input.SuppressBackgroundThread = TRUE;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), InvalidParameter);
    GdiplusStartupOutput output{};
    ASSERT_EQ(GdiplusStartup(&token, &input, &output), Ok);
    ULONG_PTR hook_token = 0;
    EXPECT_EQ(output.NotificationHook(&hook_token), Ok);
    output.NotificationUnhook(hook_token);
    GdiplusShutdown(token);
}

}  // namespace
