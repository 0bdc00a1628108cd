#include "net_adapters.h"

#include "sysfs_read.h"

#include <w32/scoped_fd.h>

// glibc's interface headers before the kernel's, which then skip what glibc has.
#include <net/if.h>
#include <net/if_arp.h>
#include <arpa/inet.h>
#include <dirent.h>
#include <ifaddrs.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace w32 {
namespace {

using sysfs::exists;
using sysfs::read_text;

size_t parse_hw_address(const std::string& text, std::array<BYTE, 8>* out) {
    size_t n = 0;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ':') && n < out->size()) {
        if (part.size() != 2 || !isxdigit(static_cast<unsigned char>(part[0])) ||
            !isxdigit(static_cast<unsigned char>(part[1])))
            return 0;
        (*out)[n++] = static_cast<BYTE>(std::stoul(part, nullptr, 16));
    }
    return n;
}

constexpr size_t kMaxAddress = 32;

// The address the card came with (ethtool's permanent address); false when the
// driver does not tell or tells zeros.
bool permanent_address(const std::string& name, size_t length, std::array<BYTE, 8>* out) {
    ScopedFd sock(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.valid() || name.size() >= IFNAMSIZ) return false;
    alignas(ethtool_perm_addr) BYTE buf[sizeof(ethtool_perm_addr) + kMaxAddress] = {};
    auto* req = reinterpret_cast<ethtool_perm_addr*>(buf);
    req->cmd = ETHTOOL_GPERMADDR;
    req->size = kMaxAddress;
    ifreq ifr{};
    memcpy(ifr.ifr_name, name.c_str(), name.size());
    ifr.ifr_data = reinterpret_cast<char*>(buf);
    if (ioctl(sock.get(), SIOCETHTOOL, &ifr) != 0 || req->size != length) return false;
    if (std::all_of(req->data, req->data + length, [](BYTE b) { return b == 0; })) return false;
    std::copy(req->data, req->data + length, out->begin());
    return true;
}

UINT adapter_type(const std::string& dir, int arp_type) {
    switch (arp_type) {
        case ARPHRD_ETHER:
            return exists(dir + "/wireless") || exists(dir + "/phy80211") ? 71u /* IEEE 802.11 */
                                                                          : 6u;
        case ARPHRD_PPP:
            return 23;
        case ARPHRD_IEEE802_TR:
            return 9;
        case ARPHRD_FDDI:
            return 15;
        case ARPHRD_SLIP:
            return 28;
        default:
            return 1;
    }
}

std::map<std::string, std::string> default_gateways() {
    std::map<std::string, std::string> out;
    std::ifstream in("/proc/net/route");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string iface, dest, gw, flags;
        if (!(f >> iface >> dest >> gw >> flags)) continue;
        if (dest != "00000000" || !(std::stoul(flags, nullptr, 16) & 0x2 /* RTF_GATEWAY */))
            continue;
        in_addr a{};
        a.s_addr = static_cast<in_addr_t>(std::stoul(gw, nullptr, 16));  // already network order
        char text[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, &a, text, sizeof text)) out.emplace(iface, text);
    }
    return out;
}

std::string ipv4_text(const sockaddr* sa) {
    char text[INET_ADDRSTRLEN] = {};
    if (sa && sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
    return text;
}

}  // namespace

std::vector<NetAdapter> net_adapters() {
    std::vector<NetAdapter> out;
    DIR* d = opendir("/sys/class/net");
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string name = e->d_name;
        const std::string dir = "/sys/class/net/" + name;
        int arp_type = atoi(read_text(dir + "/type").c_str());
        unsigned long flags = strtoul(read_text(dir + "/flags").c_str(), nullptr, 16);
        if (arp_type == ARPHRD_LOOPBACK || (flags & IFF_LOOPBACK)) continue;
        NetAdapter a;
        a.name = name;
        a.index = static_cast<DWORD>(strtoul(read_text(dir + "/ifindex").c_str(), nullptr, 10));
        a.type = adapter_type(dir, arp_type);
        a.physical = exists(dir + "/device");
        std::string driver = sysfs::base_name(sysfs::resolve(dir + "/device/driver"));
        a.description = driver.empty() ? name : driver + " (" + name + ")";
        a.address_length = parse_hw_address(read_text(dir + "/address"), &a.address);
        if (std::all_of(a.address.begin(), a.address.begin() + static_cast<long>(a.address_length),
                        [](BYTE b) { return b == 0; }))
            a.address_length = 0;  // tunnels and the like have no hardware address
        a.permanent = a.address;
        if (a.address_length) permanent_address(name, a.address_length, &a.permanent);
        out.push_back(std::move(a));
    }
    closedir(d);
    std::sort(out.begin(), out.end(),
              [](const NetAdapter& x, const NetAdapter& y) { return x.index < y.index; });

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
        for (ifaddrs* i = list; i; i = i->ifa_next) {
            if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
            std::string base = i->ifa_name;
            base = base.substr(0, base.find(':'));  // "eth0:1" is an address of eth0
            for (auto& a : out)
                if (a.name == base)
                    a.ipv4.push_back({ipv4_text(i->ifa_addr), ipv4_text(i->ifa_netmask)});
        }
    }
    auto gateways = default_gateways();
    for (auto& a : out)
        if (auto it = gateways.find(a.name); it != gateways.end()) a.gateway = it->second;
    return out;
}

bool find_net_adapter(const std::string& name, NetAdapter* out) {
    for (auto& a : net_adapters()) {
        if (a.name == name) {
            *out = std::move(a);
            return true;
        }
    }
    return false;
}

}  // namespace w32
