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

// Identify words whose serial field (words 10..19) holds the 20 characters of
// serial, stored as the drive does: the first character in each word's high byte.
std::vector<WORD> IdentifyWords(const std::string& serial) {
    std::vector<WORD> words(256, 0);
    std::string field = serial;
    field.resize(20, ' ');
    for (int i = 0; i < 10; ++i)
        words[10 + i] = static_cast<WORD>((static_cast<unsigned char>(field[2 * i]) << 8) |
                                          static_cast<unsigned char>(field[2 * i + 1]));
    return words;
}

std::string Serial(const std::string& field) {
    return base::IdentifyWordsToString(IdentifyWords(field).data(), 10, 19);
}

// A storage device descriptor whose serial text sits after the head.
std::vector<BYTE> Descriptor(const std::string& serial_text, DWORD* offset) {
    const DWORD head = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
    std::vector<BYTE> bytes(head, 0);
    *offset = head;
    bytes.insert(bytes.end(), serial_text.begin(), serial_text.end());
    bytes.push_back(0);
    return bytes;
}

std::string StorageSerial(const std::string& text, bool swap = true) {
    DWORD offset = 0;
    const auto bytes = Descriptor(text, &offset);
    return base::StorageSerialToString(bytes.data(), static_cast<DWORD>(bytes.size()), offset,
                                       swap);
}

TEST(IdentifySerialTest, HighByteFirstAndTrailingBlanksGo) {
    EXPECT_EQ(Serial("WD-WCAV12345678"), "WD-WCAV12345678");
    EXPECT_EQ(Serial("   S1234"), "   S1234");  // leading blanks stay
    EXPECT_EQ(Serial("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOPQRST");
}

TEST(IdentifySerialTest, AnAllBlankFieldKeepsOnlyItsFirstCharacter) {
    // The machine identifier trims that blank too, so such a disk adds nothing.
    EXPECT_EQ(Serial(""), " ");
}

TEST(IdentifySerialTest, AZeroByteEndsTheText) {
    std::string field = "AB";
    field += '\0';
    field += "CD";
    EXPECT_EQ(Serial(field), "AB");
}

TEST(StorageSerialTest, HexadecimalPairsAreDecodedAndPairSwapped) {
    // The ATA serial "  WD-WCAV1" as some drivers report it: its bytes in drive
    // order (each pair swapped) as hexadecimal text.
    EXPECT_EQ(StorageSerial("20204457572d41433156"), "  WD-WCAV1");
    EXPECT_EQ(StorageSerial("3153325a", false), "1S2Z");
    EXPECT_EQ(StorageSerial("3153325a"), "S1Z2");
    EXPECT_EQ(StorageSerial("3153325A"), "S1Z2");  // either letter case
}

TEST(StorageSerialTest, ABlankCountsAsZeroInAPair) {
    EXPECT_EQ(StorageSerial("3 41", false), "0A");
}

TEST(StorageSerialTest, DecodedZerosEndTheText) {
    EXPECT_EQ(StorageSerial("41424300", false), "ABC");
    EXPECT_EQ(StorageSerial("00414243", false), "");
    EXPECT_EQ(StorageSerial("0041", true), "A");  // swapped before it is cut
}

TEST(StorageSerialTest, TextThatIsNotWholePairsIsTakenAsItIs) {
    EXPECT_EQ(StorageSerial("S3Z9NB0K", false), "S3Z9NB0K");
    EXPECT_EQ(StorageSerial("S3Z9NB0K"), "3S9ZBNK0");
    EXPECT_EQ(StorageSerial("41424", false), "41424");  // an odd length
    // A pair that decodes to an unprintable character stops decoding.
    EXPECT_EQ(StorageSerial("0141", false), "0141");
}

TEST(StorageSerialTest, UnprintableTextGivesNothing) {
    EXPECT_EQ(StorageSerial(std::string("AB\x01") + "CD"), "");
    EXPECT_EQ(StorageSerial("S\xc3\xa9rie"), "");
}

TEST(StorageSerialTest, NoOffsetOrOneOutsideTheDescriptorGivesNothing) {
    DWORD offset = 0;
    auto bytes = Descriptor("S3Z9NB0K", &offset);
    const auto size = static_cast<DWORD>(bytes.size());
    EXPECT_EQ(base::StorageSerialToString(bytes.data(), size, 0, true), "");
    EXPECT_EQ(base::StorageSerialToString(bytes.data(), size, size, true), "");
    EXPECT_EQ(base::StorageSerialToString(bytes.data(), size, 0x7fffffff, true), "");
    EXPECT_EQ(base::StorageSerialToString(nullptr, size, offset, true), "");
}

TEST(StorageSerialTest, ATextWithoutTerminatorEndsWithTheDescriptor) {
    DWORD offset = 0;
    auto bytes = Descriptor("S3Z9NB0K", &offset);
    bytes.pop_back();  // no terminator: the answer was cut
    EXPECT_EQ(
        base::StorageSerialToString(bytes.data(), static_cast<DWORD>(bytes.size()), offset, false),
        "S3Z9NB0K");
}

bool HasPhysicalDrive0() {
    HANDLE drive = CreateFileW(L"\\\\.\\PhysicalDrive0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) return false;
    CloseHandle(drive);
    return true;
}

TEST(DiskProbeTest, FirmwareProbesFindNothingWhereTheirRequestsAreRefused) {
    // Identify requests need the disk's firmware, which this system refuses to a
    // program; each probe answers false and leaves the buffer alone.
    using Probe = bool (*)(char*, size_t);
    for (Probe probe :
         {base::DiskSerialBySmart, base::DiskSerialByScsi, base::DiskSerialBySmartRead}) {
        char out[100] = "untouched";
        EXPECT_FALSE(probe(out, sizeof(out)));
        EXPECT_STREQ(out, "untouched");
    }
}

TEST(DiskProbeTest, StorageQueryAnswersForTheFirstDisk) {
    char out[100];
    memset(out, 'Q', sizeof(out));
    if (!HasPhysicalDrive0()) {
        EXPECT_FALSE(base::DiskSerialByStorageQuery(out, sizeof(out)));
        return;
    }
    ASSERT_TRUE(base::DiskSerialByStorageQuery(out, sizeof(out)));
    const size_t n = strnlen(out, sizeof(out));
    ASSERT_LT(n, sizeof(out));
    for (size_t i = 0; i < n; ++i) EXPECT_TRUE(isprint(static_cast<unsigned char>(out[i])));
    char again[100] = {};
    ASSERT_TRUE(base::DiskSerialByStorageQuery(again, sizeof(again)));
    EXPECT_STREQ(again, out);
}

}  // namespace
