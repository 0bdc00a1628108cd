#include "base/disk_serial.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <ctype.h>
#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// Identify words 10..19 hold the 20-character serial field as the drive stores it:
// the first character of each pair in the word's high byte.
TEST(IdentifySerialTest, HighByteFirstUpToAZeroAndTrailingBlanksGo) {
    const struct {
        std::string field, serial;
    } cases[] = {{"WD-WCAV12345678", "WD-WCAV12345678"},
                 {"   S1234", "   S1234"},  // leading blanks stay
                 {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
                 {"", " "},  // all blank: its first character (the identifier trims it)
                 {std::string("AB\0CD", 5), "AB"}};
    for (const auto& c : cases) {
        std::vector<WORD> words(256, 0);
        std::string field = c.field;
        field.resize(20, ' ');
        for (int i = 0; i < 10; ++i)
            words[10 + i] = WORD(static_cast<unsigned char>(field[2 * i]) << 8 |
                                 static_cast<unsigned char>(field[2 * i + 1]));
        EXPECT_EQ(base::IdentifyWordsToString(words.data(), 10, 19), c.serial) << c.field;
    }
}

// The serial text of a storage device descriptor: hexadecimal pairs are decoded, and
// then, when asked, each pair of characters swapped.
TEST(StorageSerialTest, TextAfterTheHeadIsDecodedAndSwappedWhenItCanBe) {
    const DWORD head = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
    const struct {
        std::string text;
        bool swap;
        std::string serial;
    } cases[] = {{"20204457572d41433156", true, "  WD-WCAV1"},
                 {"3153325a", false, "1S2Z"},
                 {"3153325a", true, "S1Z2"},
                 {"3153325A", true, "S1Z2"},  // either letter case
                 {"3 41", false, "0A"},       // a blank counts as a zero
                 {"41424300", false, "ABC"},  // decoded zeros end the text
                 {"00414243", false, ""},
                 {"0041", true, "A"},  // swapped before it is cut
                 // Not whole printable pairs: taken as it is.
                 {"S3Z9NB0K", false, "S3Z9NB0K"},
                 {"S3Z9NB0K", true, "3S9ZBNK0"},
                 {"41424", false, "41424"},
                 {"0141", false, "0141"},
                 {"AB\x01"
                  "CD",
                  true, ""},  // unprintable text gives nothing
                 {"S\xc3\xa9rie", true, ""}};
    for (const auto& c : cases) {
        std::vector<BYTE> bytes(head, 0);
        bytes.insert(bytes.end(), c.text.begin(), c.text.end());
        bytes.push_back(0);
        EXPECT_EQ(base::StorageSerialToString(bytes.data(), DWORD(bytes.size()), head, c.swap),
                  c.serial)
            << c.text << " " << c.swap;
    }
    std::vector<BYTE> bytes(head, 'A');  // a head that would read as text
    bytes.insert(bytes.end(), {'S', '3', 'Z', '9'});  // no terminator: the answer was cut
    const DWORD size = DWORD(bytes.size());
    EXPECT_EQ(base::StorageSerialToString(bytes.data(), size, head, false), "S3Z9");
    for (DWORD offset : {DWORD(0), size, DWORD(0x7fffffff)})
        EXPECT_EQ(base::StorageSerialToString(bytes.data(), size, offset, true), "") << offset;
    EXPECT_EQ(base::StorageSerialToString(nullptr, size, head, true), "");
}

TEST(DiskProbeTest, OnlyTheStorageQueryAnswersAndThenTheSameEachTime) {
    // Identify requests need the disk's firmware, which this system refuses to a
    // program; each probe answers false and leaves the buffer alone.
    for (auto probe :
         {base::DiskSerialBySmart, base::DiskSerialByScsi, base::DiskSerialBySmartRead}) {
        char out[100] = "untouched";
        EXPECT_FALSE(probe(out, sizeof(out)));
        EXPECT_STREQ(out, "untouched");
    }
    HANDLE drive = CreateFileW(L"\\\\.\\PhysicalDrive0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    char out[100], again[100] = {};
    memset(out, 'Q', sizeof(out));
    if (drive == INVALID_HANDLE_VALUE) {
        EXPECT_FALSE(base::DiskSerialByStorageQuery(out, sizeof(out)));
        return;
    }
    CloseHandle(drive);
    ASSERT_TRUE(base::DiskSerialByStorageQuery(out, sizeof(out)));
    const size_t n = strnlen(out, sizeof(out));
    ASSERT_LT(n, sizeof(out));
    for (size_t i = 0; i < n; ++i) EXPECT_TRUE(isprint(static_cast<unsigned char>(out[i])));
    ASSERT_TRUE(base::DiskSerialByStorageQuery(again, sizeof(again)));
    EXPECT_STREQ(again, out);
}

}  // namespace
