// Network adapters: the adapter table, the adapter devices' address query and
// Netbios' adapter status, checked against what Linux reports.
#include <windows.h>
#include <iphlpapi.h>
#include <nb30.h>
#include <ntddndis.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <array>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using Mac = std::array<BYTE, 6>;

std::vector<BYTE> AdapterTable() {
    ULONG size = 0;
    ULONG rc = GetAdaptersInfo(nullptr, &size);
    if (rc == ERROR_NO_DATA) return {};
    EXPECT_EQ(rc, static_cast<ULONG>(ERROR_BUFFER_OVERFLOW));
    EXPECT_GE(size, sizeof(IP_ADAPTER_INFO));
    std::vector<BYTE> buf(size);
    EXPECT_EQ(GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buf.data()), &size),
              static_cast<ULONG>(ERROR_SUCCESS));
    return buf;
}

std::vector<const IP_ADAPTER_INFO*> Adapters(const std::vector<BYTE>& table) {
    std::vector<const IP_ADAPTER_INFO*> out;
    if (table.empty()) return out;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(table.data()); a; a = a->Next)
        out.push_back(a);
    return out;
}

// Non-loopback IPv4 addresses as Linux lists them, by interface.
std::set<std::pair<std::string, std::string>> LinuxAddresses() {
    std::set<std::pair<std::string, std::string>> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_LOOPBACK))
            continue;
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text,
                  sizeof text);
        std::string name = i->ifa_name;
        out.insert({name.substr(0, name.find(':')), text});
    }
    freeifaddrs(list);
    return out;
}

HANDLE OpenAdapter(const std::string& name) {
    std::wstring path = L"\\\\.\\" + std::wstring(name.begin(), name.end());
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool QueryAddress(HANDLE device, DWORD oid, Mac* out) {
    BYTE answer[260] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_NDIS_QUERY_GLOBAL_STATS, &oid, sizeof oid, answer,
                         sizeof answer, &returned, nullptr))
        return false;
    EXPECT_EQ(returned, 6u);
    memcpy(out->data(), answer, 6);
    return true;
}

TEST(AdaptersTest, TableListsEveryAddressButLoopback) {
    auto table = AdapterTable();
    auto adapters = Adapters(table);
    std::set<std::pair<std::string, std::string>> listed;
    for (auto* a : adapters) {
        EXPECT_GT(strlen(a->AdapterName), 0u);
        EXPECT_NE(a->Type, static_cast<UINT>(MIB_IF_TYPE_LOOPBACK));
        for (const IP_ADDR_STRING* ip = &a->IpAddressList; ip; ip = ip->Next) {
            EXPECT_NE(std::string(ip->IpAddress.String).rfind("127.", 0), 0u);
            listed.insert({a->AdapterName, ip->IpAddress.String});
        }
    }
    for (auto& linux_address : LinuxAddresses())
        EXPECT_TRUE(listed.count(linux_address))
            << linux_address.first << " " << linux_address.second << " is missing";
}

TEST(AdaptersTest, HardwareAddressesAreLinuxs) {
    auto table = AdapterTable();
    for (auto* a : Adapters(table)) {
        std::ifstream in(std::string("/sys/class/net/") + a->AdapterName + "/address");
        std::string text;
        ASSERT_TRUE(std::getline(in, text)) << a->AdapterName;
        if (a->AddressLength == 0) continue;  // no hardware address (a tunnel)
        ASSERT_EQ(a->AddressLength, 6u);
        char mine[18];
        snprintf(mine, sizeof mine, "%02x:%02x:%02x:%02x:%02x:%02x", a->Address[0], a->Address[1],
                 a->Address[2], a->Address[3], a->Address[4], a->Address[5]);
        EXPECT_EQ(text, mine);
    }
}

TEST(AdaptersTest, SmallBufferAsksForTheWholeTable) {
    ULONG size = 1;
    IP_ADAPTER_INFO one{};
    ULONG rc = GetAdaptersInfo(&one, &size);
    if (rc == ERROR_NO_DATA) {
        EXPECT_TRUE(LinuxAddresses().empty());
        return;
    }
    EXPECT_EQ(rc, static_cast<ULONG>(ERROR_BUFFER_OVERFLOW));
    EXPECT_GE(size, sizeof(IP_ADAPTER_INFO));
    EXPECT_EQ(GetAdaptersInfo(&one, nullptr), static_cast<ULONG>(ERROR_INVALID_PARAMETER));
}

TEST(AdaptersTest, AdapterDeviceAnswersItsAddresses) {
    auto table = AdapterTable();
    int checked = 0;
    for (auto* a : Adapters(table)) {
        if (a->AddressLength != 6) continue;
        HANDLE h = OpenAdapter(a->AdapterName);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << a->AdapterName;
        Mac current{}, permanent{};
        ASSERT_TRUE(QueryAddress(h, OID_802_3_CURRENT_ADDRESS, &current));
        EXPECT_EQ(memcmp(current.data(), a->Address, 6), 0);
        EXPECT_TRUE(QueryAddress(h, OID_802_3_PERMANENT_ADDRESS, &permanent));
        EXPECT_FALSE(QueryAddress(h, 0x00010101 /* another OID */, &permanent));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        CloseHandle(h);
        ++checked;
    }
    // A braced name opens the same adapter; an unknown one opens nothing.
    if (checked) {
        auto* a = Adapters(table).front();
        HANDLE h = OpenAdapter(std::string("{") + a->AdapterName + "}");
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    EXPECT_EQ(OpenAdapter("no-such-adapter0"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(AdaptersTest, NetbiosGivesTheFirstCardsAddress) {
    LANA_ENUM lanas{};
    NCB ncb{};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof lanas;
    ASSERT_EQ(Netbios(&ncb), NRC_GOODRET);

    NCB reset{};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = lanas.length ? lanas.lana[0] : 0;
    UCHAR rc = Netbios(&reset);
    if (lanas.length == 0) {
        EXPECT_EQ(rc, NRC_BRIDGE);  // no card, no adapter number
        return;
    }
    ASSERT_EQ(rc, NRC_GOODRET);

    std::vector<BYTE> status(600);
    NCB stat{};
    stat.ncb_command = NCBASTAT;
    stat.ncb_lana_num = lanas.lana[0];
    memcpy(stat.ncb_callname, "*               ", NCBNAMSZ);
    stat.ncb_buffer = status.data();
    stat.ncb_length = static_cast<WORD>(status.size());
    ASSERT_EQ(Netbios(&stat), NRC_GOODRET);
    auto* adapter = reinterpret_cast<ADAPTER_STATUS*>(status.data());

    // It is the permanent address of one of the adapters.
    bool found = false;
    auto table = AdapterTable();
    for (auto* a : Adapters(table)) {
        HANDLE h = OpenAdapter(a->AdapterName);
        Mac permanent{};
        if (h != INVALID_HANDLE_VALUE && QueryAddress(h, OID_802_3_PERMANENT_ADDRESS, &permanent))
            found = found || memcmp(permanent.data(), adapter->adapter_address, 6) == 0;
        CloseHandle(h);
    }
    EXPECT_TRUE(found);

    NCB bad{};
    bad.ncb_command = 0x7F;
    EXPECT_EQ(Netbios(&bad), NRC_ILLCMD);
}

}  // namespace
