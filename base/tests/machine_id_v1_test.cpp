#include "base/machine_id_v1.h"

#include <gtest/gtest.h>

#include <string>

#include "base/mac_address.h"

namespace {

// Ten groups of four digits: "3153" holds the characters '1' and 'S', stored as "S1".
const wchar_t kSerial[] = L"3153325a5733454e3030595a4d4e42202020204b";

TEST(WmiSerialTest, GroupsOfFourBecomeTwoCharactersSecondFirst) {
    wchar_t out[21];
    ASSERT_TRUE(base::ParseWmiSerial(kSerial, out, 21));
    EXPECT_EQ(std::wstring(out), L"S1Z23WNE00ZYNM B  K ");
}

TEST(WmiSerialTest, AZeroOrUnreadableValueEndsTheTextWithFalse) {
    wchar_t out[21];
    std::wstring serial = kSerial;
    serial.replace(8, 2, L"00");  // third group's first value
    EXPECT_FALSE(base::ParseWmiSerial(serial.c_str(), out, 21));
    EXPECT_EQ(std::wstring(out), L"S1Z23");
    serial = kSerial;
    serial.replace(4, 2, L"zz");
    EXPECT_FALSE(base::ParseWmiSerial(serial.c_str(), out, 21));
    EXPECT_EQ(std::wstring(out), L"S1Z");
}

TEST(WmiSerialTest, OnlyFortyCharacterSerialsAndRoomyBuffersAreRead) {
    wchar_t out[21] = L"x";
    EXPECT_FALSE(base::ParseWmiSerial(std::wstring(kSerial).substr(0, 39).c_str(), out, 21));
    EXPECT_EQ(out[0], L'\0');
    EXPECT_FALSE(base::ParseWmiSerial((std::wstring(kSerial) + L"31").c_str(), out, 21));
    wchar_t small[20] = L"x";
    EXPECT_FALSE(base::ParseWmiSerial(kSerial, small, 20));
    EXPECT_EQ(std::wstring(small), L"x");
}

TEST(FirstGenerationIdTest, ProbesThatNeedFirmwareOrServicesAnswerNothing) {
    // No management service, no disk firmware requests, no physical memory section.
    wchar_t serial[64] = L"x";
    EXPECT_FALSE(base::WmiDiskSerial(serial, 64));
    EXPECT_EQ(serial[0], L'\0');
    EXPECT_STREQ(base::GetHardwareIdV1(), "");
    const char* shared = base::GetNetbiosMacV1();
    const std::string mac = shared;
    EXPECT_EQ(base::GetBiosCrcV1(), shared);
    EXPECT_EQ(std::string(shared), mac);  // nothing appended
}

TEST(FirstGenerationIdTest, NetbiosAddressMatchesTheCurrentProbe) {
    char current[100] = {};
    const bool found = base::MacByNetbios(current, sizeof(current));
    EXPECT_EQ(std::string(base::GetNetbiosMacV1()), found ? std::string(current) : "");
}

}  // namespace
