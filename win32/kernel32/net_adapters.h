// The machine's network adapters: every interface of /sys/class/net except
// loopback, in interface index order, with its addresses from getifaddrs and
// its default gateway from /proc/net/route.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace w32 {

struct NetAdapter {
    std::string name;  // the Linux interface name, also the adapter's device name
    std::string description;
    DWORD index = 0;
    UINT type = 1;          // MIB_IF_TYPE_*
    bool physical = false;  // backed by a device (not a bridge, tunnel or veth)
    size_t address_length = 0;
    std::array<BYTE, 8> address{};    // the current hardware address
    std::array<BYTE, 8> permanent{};  // the burnt-in address, else the current one
    struct Ipv4 {
        std::string address, mask;
    };
    std::vector<Ipv4> ipv4;
    std::string gateway;  // "" when the adapter has no default route
};

std::vector<NetAdapter> net_adapters();
// One adapter by name; false when there is none.
bool find_net_adapter(const std::string& name, NetAdapter* out);

}  // namespace w32
