#include "base/machine_id_v1.h"

#include "base/mac_address.h"
#include "support/base_test.h"

namespace {

TEST(FirstGenerationIdTest, WmiSerialGroupsOfFourBecomeTwoCharactersSecondFirst) {
    // "3153" holds the characters '1' and 'S', stored as "S1".
    const std::wstring serial = L"3153325a5733454e3030595a4d4e42202020204b";
    const struct {
        std::wstring serial;
        size_t room;
        bool ok;
        std::wstring text;
    } cases[] = {{serial, 21, true, L"S1Z23WNE00ZYNM B  K "},
                 {std::wstring(serial).replace(8, 2, L"00"), 21, false, L"S1Z23"},  // a zero ends
                 {std::wstring(serial).replace(4, 2, L"zz"), 21, false, L"S1Z"},    // unreadable
                 {serial.substr(0, 39), 21, false, L""},  // only forty characters are read
                 {serial + L"31", 21, false, L""},
                 {serial, 20, false, L"x"}};  // nor into a buffer without room
    for (const auto& c : cases) {
        wchar_t out[21] = L"x";
        EXPECT_EQ(base::ParseWmiSerial(c.serial.c_str(), out, c.room), c.ok) << c.serial;
        EXPECT_EQ(std::wstring(out), c.text) << c.serial;
    }
}

// No management service, no disk firmware requests, no physical memory section; the
// BIOS answer is the shared NetBIOS text, nothing appended.
TEST(FirstGenerationIdTest, ProbesThatNeedFirmwareOrServicesAnswerNothing) {
    wchar_t serial[64] = L"x";
    EXPECT_FALSE(base::WmiDiskSerial(serial, 64));
    EXPECT_EQ(serial[0], L'\0');
    EXPECT_STREQ(base::GetHardwareIdV1(), "");
    char current[100] = {};
    const bool found = base::MacByNetbios(current, sizeof(current));
    const char* shared = base::GetNetbiosMacV1();
    const std::string mac = shared;
    EXPECT_EQ(mac, found ? std::string(current) : "");
    EXPECT_EQ(base::GetBiosCrcV1(), shared);
    EXPECT_EQ(std::string(shared), mac);
}

}  // namespace
