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

const wchar_t kCards[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";

std::wstring CardKey(const wchar_t* number) { return std::wstring(kCards) + L"\\" + number; }

bool IsMacText(const std::string& text) {
    if (text.size() != 12) return false;
    for (char c : text)
        if (!isdigit(static_cast<unsigned char>(c)) && (c < 'A' || c > 'F')) return false;
    return true;
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
    if (!pipe) return values;
    char line[256];
    while (fgets(line, sizeof(line), pipe)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        const size_t eq = s.find('=');
        if (eq != std::string::npos) values[s.substr(0, eq)] = s.substr(eq + 1);
    }
    pclose(pipe);
    return values;
}

bool CanMakeNetworkNamespaces() {
    return geteuid() == 0 &&
           system(
               "unshare --net --mount sh -c 'mount -t sysfs sysfs /sys && ip link add v1 "
               "type veth peer name v2' >/dev/null 2>&1") == 0;
}

// The disk part of the identifier's text: the first probe that answers, trimmed.
std::string DiskPart() {
    using Probe = bool (*)(char*, size_t);
    for (Probe probe : {base::DiskSerialBySmart, base::DiskSerialByScsi,
                        base::DiskSerialByStorageQuery, base::DiskSerialBySmartRead}) {
        char out[100] = {};
        if (probe(out, sizeof(out))) {
            std::string s(out);
            while (!s.empty() && s.back() == ' ') s.pop_back();
            return s;
        }
    }
    return {};
}

std::string Hash(const std::string& text) {
    char out[33] = {};
    base::HashMidText(text.c_str(), out, sizeof(out));
    return out;
}

TEST(NetworkCardsTest, NoCardsKeyFindsNothing) {
    RegistrySandbox registry;
    char out[100] = "untouched";
    EXPECT_FALSE(base::MacByNetworkCards(out, sizeof(out)));
    EXPECT_STREQ(out, "untouched");
}

TEST(NetworkCardsTest, CardsWithoutAServiceOrWithAnUnknownOneAreSkipped) {
    RegistrySandbox registry;
    ASSERT_TRUE(RegistrySandbox::SetMachineText(CardKey(L"2").c_str(), L"ServiceName",
                                                L"{no-such-adapter-4711}"));
    ASSERT_TRUE(RegistrySandbox::SetMachineText(CardKey(L"5").c_str(), nullptr, L""));
    ASSERT_TRUE(RegistrySandbox::SetMachineText(CardKey(L"7").c_str(), L"ServiceName", L""));
    char out[100] = {};
    EXPECT_FALSE(base::MacByNetworkCards(out, sizeof(out)));
    EXPECT_FALSE(base::MacByNdisQuery(L"\\\\.\\{no-such-adapter-4711}", out, sizeof(out)));
}

TEST(NetbiosMacTest, TheFirstAdapterGivesTwelveUpperCaseHexDigits) {
    char out[100] = {};
    if (!base::MacByNetbios(out, sizeof(out))) GTEST_SKIP() << "no network card here";
    EXPECT_TRUE(IsMacText(out)) << out;
    char small[12];
    EXPECT_FALSE(base::MacByNetbios(small, sizeof(small)));
}

class CardsNamespaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CanMakeNetworkNamespaces()) GTEST_SKIP() << "needs root, unshare and ip";
    }
    RegistrySandbox registry_;
};

TEST_F(CardsNamespaceTest, TheSmallestPermanentAddressOfTheListedCardsWins) {
    for (const auto& [number, service] :
         {std::pair{L"3", L"v1"}, {L"8", L"v2"}, {L"9", L"{no-such-adapter-4711}"}})
        ASSERT_TRUE(
            RegistrySandbox::SetMachineText(CardKey(number).c_str(), L"ServiceName", service));
    auto probe = ProbeWithCards("00:e0:4c:00:00:01", "00:a0:c9:00:00:02");
    EXPECT_EQ(probe["cards"], "00A0C9000002");
    // The same cards listed the other way round.
    probe = ProbeWithCards("00:a0:c9:00:00:02", "00:e0:4c:00:00:01");
    EXPECT_EQ(probe["cards"], "00A0C9000002");
}

TEST_F(CardsNamespaceTest, TheIdentifierHashesProcessorDiskAndCardInThatOrder) {
    ASSERT_TRUE(RegistrySandbox::SetMachineText(CardKey(L"1").c_str(), L"ServiceName", L"v1"));
    ASSERT_TRUE(RegistrySandbox::SetMachineText(CardKey(L"2").c_str(), L"ServiceName", L"v2"));
    auto probe = ProbeWithCards("00:e0:4c:00:00:01", "00:a0:c9:00:00:02");
    char cpu[100] = {};
    base::GetCpuIdText(cpu, sizeof(cpu));
    ASSERT_EQ(probe["cpu"], cpu[0] ? std::string(cpu) : "-");
    EXPECT_EQ(probe["mid"], Hash(cpu + DiskPart() + "00A0C9000002"));
}

TEST_F(CardsNamespaceTest, WithoutAnyCardTheIdentifierRestsOnProcessorAndDisk) {
    // Virtual cards are no NetBIOS adapters, and none is listed.
    auto probe = ProbeWithCards("00:e0:4c:00:00:01", "00:a0:c9:00:00:02");
    EXPECT_EQ(probe["cards"], "-");
    EXPECT_EQ(probe["netbios"], "-");
    char cpu[100] = {};
    base::GetCpuIdText(cpu, sizeof(cpu));
    EXPECT_EQ(probe["mid"], Hash(cpu + DiskPart()));
}

}  // namespace
