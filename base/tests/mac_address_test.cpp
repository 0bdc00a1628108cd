#include "base/mac_address.h"

#include <unistd.h>

#include "base/disk_serial.h"
#include "base/machine_id.h"
#include "support/base_test.h"

namespace {

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

std::string Hash(const std::string& text) {
    char out[33] = {};
    base::HashMidText(text.c_str(), out, sizeof(out));
    return out;
}

TEST(NetworkCardsTest, CardsWithoutAKnownServiceAreSkippedAndNetbiosGivesHexDigits) {
    base_test::PrivateRegistry registry;
    char out[100] = "untouched";
    EXPECT_FALSE(base::MacByNetworkCards(out, sizeof(out)));  // no cards key
    EXPECT_STREQ(out, "untouched");
    ListCard(L"2", L"{no-such-adapter-4711}");
    ListCard(L"5", nullptr);
    ListCard(L"7", L"");
    EXPECT_FALSE(base::MacByNetworkCards(out, sizeof(out)));
    EXPECT_FALSE(base::MacByNdisQuery(L"\\\\.\\{no-such-adapter-4711}", out, sizeof(out)));

    if (!base::MacByNetbios(out, sizeof(out))) GTEST_SKIP() << "no network card here";
    const std::string mac = out;
    EXPECT_EQ(mac.size(), 12u);
    EXPECT_EQ(mac.find_first_not_of("0123456789ABCDEF"), std::string::npos) << mac;
    char small[12];
    EXPECT_FALSE(base::MacByNetbios(small, sizeof(small)));
}

// The smallest permanent address of the listed cards is hashed after the processor
// and the disk; virtual cards are no NetBIOS adapters.
TEST(NetworkCardsTest, TheSmallestAddressOfTheListedCardsEndsTheIdentifiersText) {
    if (geteuid() != 0 || system("unshare --net --mount sh -c 'mount -t sysfs sysfs /sys && "
                                 "ip link add v1 type veth peer name v2' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root, unshare and ip";
    base_test::PrivateRegistry registry;
    auto probe = ProbeWithCards("00:e0:4c:00:00:01", "00:a0:c9:00:00:02");
    EXPECT_EQ(probe["cards"] + " " + probe["netbios"], "- -");
    EXPECT_EQ(probe["mid"], Hash(CpuAndDisk()));
    ListCard(L"3", L"v1");
    ListCard(L"8", L"v2");
    ListCard(L"9", L"{no-such-adapter-4711}");
    for (auto [first, second] : {std::pair{"00:e0:4c:00:00:01", "00:a0:c9:00:00:02"},
                                 {"00:a0:c9:00:00:02", "00:e0:4c:00:00:01"}}) {
        probe = ProbeWithCards(first, second);
        EXPECT_EQ(probe["cards"], "00A0C9000002");
        EXPECT_EQ(probe["mid"], Hash(CpuAndDisk() + "00A0C9000002"));
    }
}

}  // namespace
