#include "base/mac_address.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>
#include <string>

#include "base/disk_serial.h"
#include "base/machine_id.h"
#include "support/registry_sandbox.h"

namespace {

using testing_support::RegistrySandbox;

void ListCard(const wchar_t* number, const wchar_t* service) {
    const std::wstring key =
        std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\") + number;
    ASSERT_TRUE(RegistrySandbox::SetMachineText(key.c_str(), service ? L"ServiceName" : nullptr,
                                                service ? service : L""));
}

// The probe program's "name=value" lines, run in a network namespace of its own
// whose only adapters are a pair of virtual cards with the given addresses.
std::map<std::string, std::string> ProbeWithCards(const std::string& first,
                                                  const std::string& second) {
    const std::string command =
        "unshare --net --mount sh -c 'mount -t sysfs sysfs /sys && "
        "ip link add v1 address " +
        first + " type veth peer name v2 address " + second +
        " && exec \"$0\"' " BASE_MID_PROBE " 2>/dev/null";
    std::map<std::string, std::string> values;
    FILE* pipe = popen(command.c_str(), "r");
    char line[256];
    while (pipe && fgets(line, sizeof(line), pipe)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        const size_t eq = s.find('=');
        if (eq != std::string::npos) values[s.substr(0, eq)] = s.substr(eq + 1);
    }
    if (pipe) pclose(pipe);
    return values;
}

// The identifier's text without a card: the processor and the first disk serial that
// answers, trimmed.
std::string CpuAndDisk() {
    char cpu[100] = {};
    base::GetCpuIdText(cpu, sizeof(cpu));
    for (auto probe : {base::DiskSerialBySmart, base::DiskSerialByScsi,
                       base::DiskSerialByStorageQuery, base::DiskSerialBySmartRead}) {
        char out[100] = {};
        if (!probe(out, sizeof(out))) continue;
        std::string s(out);
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return cpu + s;
    }
    return cpu;
}

std::string Hash(const std::string& text) {
    char out[33] = {};
    base::HashMidText(text.c_str(), out, sizeof(out));
    return out;
}

TEST(NetworkCardsTest, CardsWithoutAKnownServiceAreSkippedAndNetbiosGivesHexDigits) {
    RegistrySandbox registry;
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
    RegistrySandbox registry;
    auto probe = ProbeWithCards("00:e0:4c:00:00:01", "00:a0:c9:00:00:02");
    EXPECT_EQ(probe["cards"], "-");
    EXPECT_EQ(probe["netbios"], "-");
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
