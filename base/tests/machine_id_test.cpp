// The machine identifier and its sources: the processor, disk serials, adapter
// addresses, the security suite's value, and the first generation's probes.
#include "base/machine_id.h"

#include <ctype.h>
#include <unistd.h>
#include <winioctl.h>

#include <array>

#include "base/disk_serial.h"
#include "base/mac_address.h"
#include "base/machine_id_v1.h"
#include "support/base_test.h"

namespace {

using base_test::PrivateRegistry;

std::string Mid() {
    char out[260] = {};
    base::ComputeMid2(out, sizeof(out));
    return out;
}

std::string Hash(const std::string& text) {
    char out[64] = {};
    base::HashMidText(text.c_str(), out, sizeof(out));
    return out;
}

bool IsLowerHex(const std::string& text) {
    return text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A buffer of 40 'Q's after f wrote into it.
template <class F>
std::string Filled(F f) {
    std::array<char, 40> out;
    out.fill('Q');
    f(out.data());
    return std::string(out.data(), out.size());
}

// Values of an independent model of the doubled finalisation; a short output gets a
// zero-filled prefix.
TEST(MidHashTest, DigestsWithTwoFinalisationsOfAtMost259CharactersInLowerCase) {
    EXPECT_EQ(Hash("abc"), "ab32b7d610b8276088dc6cdcfe9adbf3");
    EXPECT_EQ(Hash(""), "5d2735c78b4ad61d0f6b5933aef45e4f");
    EXPECT_EQ(Hash(std::string(64, 'z')), "47d365c4d37aafcc90d6d56b2af87ec1");
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Hash(text), Hash(text.substr(0, 259)));
    EXPECT_NE(Hash(text.substr(0, 259)), Hash(text.substr(0, 258)));
    EXPECT_EQ(Filled([](char* out) { EXPECT_FALSE(base::HashMidText("abc", out, 10)); }),
              std::string("ab32b7d61") + '\0' + std::string(30, 'Q'));
    char exact[33];
    EXPECT_TRUE(base::HashMidText("abc", exact, sizeof(exact)));
}

TEST(MachineIdTest, IsThirtyTwoLowerCaseHexDigitsInEveryProcessAndNeedsRoomForThem) {
    PrivateRegistry registry;
    const std::string mid = Mid();
    EXPECT_TRUE(mid.size() == 32 && IsLowerHex(mid) && Mid() == mid) << mid;
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(base_test::ProbeLines(BASE_TEST_CHILD " mid")["mid"], mid);
    base::ComputeMid2(nullptr, 260);  // nothing to write to, nothing happens
    for (size_t size : {0u, 1u, 31u, 32u, 33u})
        EXPECT_EQ(Filled([size](char* out) { base::ComputeMid2(out, size); }),
                  size == 33 ? mid + '\0' + std::string(7, 'Q') : std::string(40, 'Q'))
            << size;

    char cpu[100] = {};
#if defined(__i386__) || defined(__x86_64__)
    ASSERT_TRUE(base::GetCpuIdText(cpu, sizeof(cpu)));
#else
    if (!base::GetCpuIdText(cpu, sizeof(cpu))) GTEST_SKIP() << "no CPUID here";
#endif
    const std::string text(cpu);  // "<vendor>:<feature flags>"
    ASSERT_EQ(text.size(), 21u) << text;
    EXPECT_TRUE(text[12] == ':' && IsLowerHex(text.substr(13))) << text;
    char small[21];
    EXPECT_FALSE(base::GetCpuIdText(small, sizeof(small)));
}

// The security suite's identifier wins when its check value fits; it goes into report
// addresses as it is.
TEST(MachineIdTest, AValidSuiteIdentifierIsTakenOverAnyOtherIsNot) {
    PrivateRegistry registry;
    const std::string hardware = Mid(), id = "0123456789abcdef0123456789abcdef",
                      upper = "FEDCBA9876543210FEDCBA9876543210",
                      other = "0123456789abcdef0123456789abc&e=";
    std::string upper_check = Hash(upper), wrong_check = Hash(id);
    for (auto& c : upper_check) c = static_cast<char>(toupper(c));
    wrong_check[5] = wrong_check[5] == '0' ? '1' : '0';
    auto set = [](const std::string& value) {
        return base_test::SetMachineText(L"Software\\Harlin\\Morsk", L"mid",
                                         std::wstring(value.begin(), value.end()));
    };
    const struct {
        std::string value, mid;
    } cases[] = {{id + Hash(id), id},
                 {upper + upper_check, upper},  // check in any case, identifier kept as it is
                 {id + wrong_check, hardware},
                 {id + Hash(id) + "0", hardware},
                 {id + Hash(id).substr(0, 31), hardware},
                 {"", hardware},
                 {other + Hash(other), hardware}};
    for (const auto& c : cases) {
        ASSERT_TRUE(set(c.value));
        EXPECT_EQ(Mid(), c.mid) << c.value;
        char out[33] = {};
        EXPECT_EQ(base::ReadSuiteMid(out, sizeof(out)), c.mid != hardware) << c.value;
    }
    ASSERT_TRUE(set(cases[0].value));
    EXPECT_EQ(Filled([](char* out) { EXPECT_FALSE(base::ReadSuiteMid(out, 32)); }),
              std::string(40, 'Q'));  // too small: nothing read
    EXPECT_FALSE(base::ReadSuiteMid(nullptr, 260));
}

void ListCard(const wchar_t* number, const wchar_t* service) {
    ASSERT_TRUE(base_test::SetMachineText(
        std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\") + number,
        service ? L"ServiceName" : nullptr, service ? service : L""));
}

// The probe's lines, run in a network namespace of its own whose only adapters are a
// pair of virtual cards with the given addresses.
std::map<std::string, std::string> ProbeWithCards(const std::string& first,
                                                  const std::string& second) {
    return base_test::ProbeLines(
        "unshare --net --mount sh -c 'mount -t sysfs sysfs /sys && "
        "ip link add v1 address " +
        first + " type veth peer name v2 address " + second +
        " && exec \"$0\" mid' " BASE_TEST_CHILD " 2>/dev/null");
}

// The identifier's text without a card: the processor and the first disk serial that
// answers, trimmed.
std::string CpuAndDisk() {
    char cpu[100] = {}, out[100] = {};
    base::GetCpuIdText(cpu, sizeof(cpu));
    for (auto probe : {base::DiskSerialBySmart, base::DiskSerialByScsi,
                       base::DiskSerialByStorageQuery, base::DiskSerialBySmartRead}) {
        if (!probe(out, sizeof(out))) continue;
        std::string s(out);
        return cpu + s.substr(0, s.find_last_not_of(' ') + 1);
    }
    return cpu;
}

TEST(NetworkCardsTest, CardsWithoutAKnownServiceAreSkippedAndNetbiosGivesHexDigits) {
    PrivateRegistry registry;
    char out[100] = "untouched";
    EXPECT_FALSE(base::MacByNetworkCards(out, sizeof(out)));  // no cards key
    EXPECT_STREQ(out, "untouched");
    ListCard(L"2", L"{no-such-adapter-4711}"), ListCard(L"5", nullptr), ListCard(L"7", L"");
    EXPECT_FALSE(base::MacByNetworkCards(out, sizeof(out)));
    EXPECT_FALSE(base::MacByNdisQuery(L"\\\\.\\{no-such-adapter-4711}", out, sizeof(out)));

    if (!base::MacByNetbios(out, sizeof(out))) GTEST_SKIP() << "no network card here";
    const std::string mac = out;
    EXPECT_TRUE(mac.size() == 12 && mac.find_first_not_of("0123456789ABCDEF") == mac.npos) << mac;
    char small[12];
    EXPECT_FALSE(base::MacByNetbios(small, sizeof(small)));
}

// The smallest permanent address of the listed cards is hashed after the processor
// and the disk; virtual cards are no NetBIOS adapters.
TEST(NetworkCardsTest, TheSmallestAddressOfTheListedCardsEndsTheIdentifiersText) {
    if (geteuid() != 0 || system("unshare --net --mount sh -c 'mount -t sysfs sysfs /sys && "
                                 "ip link add v1 type veth peer name v2' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root, unshare and ip";
    PrivateRegistry registry;
    auto probe = ProbeWithCards("00:e0:4c:00:00:01", "00:a0:c9:00:00:02");
    EXPECT_EQ(probe["cards"] + " " + probe["netbios"], "- -");
    EXPECT_EQ(probe["mid"], Hash(CpuAndDisk()));
    ListCard(L"3", L"v1"), ListCard(L"8", L"v2"), ListCard(L"9", L"{no-such-adapter-4711}");
    for (auto [first, second] : {std::pair{"00:e0:4c:00:00:01", "00:a0:c9:00:00:02"},
                                 {"00:a0:c9:00:00:02", "00:e0:4c:00:00:01"}}) {
        probe = ProbeWithCards(first, second);
        EXPECT_EQ(probe["cards"] + " " + probe["mid"],
                  "00A0C9000002 " + Hash(CpuAndDisk() + "00A0C9000002"));
    }
}

// Identify words 10..19 hold the 20-character serial field as the drive stores it:
// the first character of each pair in the word's high byte.
TEST(DiskSerialTest, IdentifyWordsAndStorageDescriptorTextsGiveTheSerial) {
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

    // The serial text of a storage device descriptor: hexadecimal pairs are decoded, and
    // then, when asked, each pair of characters swapped.
    const DWORD head = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);
    const struct {
        std::string text;
        bool swap;
        std::string serial;
    } texts[] = {{"20204457572d41433156", true, "  WD-WCAV1"},
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
                 {"AB\001CD", true, ""},  // unprintable text gives nothing
                 {"S\xc3\xa9rie", true, ""}};
    for (const auto& c : texts) {
        std::vector<BYTE> bytes(head, 0);
        bytes.insert(bytes.end(), c.text.begin(), c.text.end());
        bytes.push_back(0);
        EXPECT_EQ(base::StorageSerialToString(bytes.data(), DWORD(bytes.size()), head, c.swap),
                  c.serial)
            << c.text << " " << c.swap;
    }
    std::vector<BYTE> bytes(head, 'A');               // a head that would read as text
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

// WMI serials are groups of four hex digits, two characters stored second first ("3153"
// holds '1' and 'S', stored as "S1"). No management service, no disk firmware requests,
// no physical memory section here; the BIOS answer is the shared NetBIOS text.
TEST(FirstGenerationIdTest, WmiSerialsAreDecodedAndProbesThatNeedFirmwareAnswerNothing) {
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
    wchar_t wmi[64] = L"x";
    EXPECT_TRUE(!base::WmiDiskSerial(wmi, 64) && wmi[0] == L'\0');
    EXPECT_STREQ(base::GetHardwareIdV1(), "");
    char current[100] = {};
    const bool found = base::MacByNetbios(current, sizeof(current));
    const std::string mac = found ? current : "";
    EXPECT_EQ(std::string(base::GetNetbiosMacV1()) + "|" + base::GetBiosCrcV1(), mac + "|" + mac);
}

}  // namespace
