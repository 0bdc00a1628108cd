#include "base/crc32.h"

#include "support/base_test.h"

namespace {

// The check value of "123456789", bytewise or whole; a file across read chunks; a
// missing file answers its open error and the untouched start value, inverted.
TEST(Crc32Test, BuffersStepsAndFilesGiveTheStandardValues) {
    EXPECT_EQ(base::Crc32Buffer("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(base::Crc32Buffer("", 0), 0u);
    uint32_t crc = 0xffffffffu;
    for (char c : std::string("123456789")) base::Crc32Byte(static_cast<unsigned char>(c), &crc);
    EXPECT_EQ(~crc, 0xCBF43926u);
    TempDir dir;
    std::string data;
    for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7 % 256);
    ASSERT_TRUE(WriteAll(dir.file("data.bin"), data) && WriteAll(dir.file("empty.bin"), ""));
    const struct {
        const char* name;
        uint32_t result, crc;
    } cases[] = {{"data.bin", 0, 0xA0B70144u},
                 {"empty.bin", 0, 0},
                 {"missing.bin", ERROR_FILE_NOT_FOUND, 0}};
    for (auto& c : cases) {
        crc = 1;
        EXPECT_EQ(base::Crc32File(dir.winfile(c.name).c_str(), &crc), c.result) << c.name;
        EXPECT_EQ(crc, c.crc) << c.name;
    }
}

}  // namespace
