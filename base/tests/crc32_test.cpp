#include "base/crc32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "testing/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteAll;

TEST(Crc32Test, BufferGivesTheStandardCheckValue) {
    EXPECT_EQ(base::Crc32Buffer("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(base::Crc32Buffer("", 0), 0u);
}

TEST(Crc32Test, BytewiseStepsMatchTheBuffer) {
    uint32_t crc = 0xffffffffu;
    for (char c : std::string("123456789")) base::Crc32Byte(static_cast<unsigned char>(c), &crc);
    EXPECT_EQ(~crc, 0xCBF43926u);
}

TEST(Crc32Test, FileCrcCoversTheWholeFileAcrossReadChunks) {
    TempDir dir;
    std::string data;
    for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7 % 256);
    ASSERT_TRUE(WriteAll(dir.file("data.bin"), data));
    std::wstring path = dir.winfile("data.bin");
    uint32_t crc = 0;
    EXPECT_EQ(base::Crc32File(path.c_str(), &crc), 0u);
    EXPECT_EQ(crc, 0xA0B70144u);

    ASSERT_TRUE(WriteAll(dir.file("empty.bin"), ""));
    std::wstring empty = dir.winfile("empty.bin");
    crc = 1;
    EXPECT_EQ(base::Crc32File(empty.c_str(), &crc), 0u);
    EXPECT_EQ(crc, 0u);
}

TEST(Crc32Test, AMissingFileAnswersTheOpenError) {
    TempDir dir;
    std::wstring path = dir.winfile("missing.bin");
    uint32_t crc = 1;
    EXPECT_EQ(base::Crc32File(path.c_str(), &crc), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(crc, 0u);  // the untouched start value, inverted
}

}  // namespace
