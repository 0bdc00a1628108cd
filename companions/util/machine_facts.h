// What the identifiers are made from: the machine id and the network adapters.
// Read afresh on each call, so the answers follow the machine and nothing is cached.
#pragma once

#include <string>
#include <vector>

namespace selvik {

// The machine id (32 hex digits, lower case), or "" when none can be read.
// SELVIK_MACHINE_ID_FILE replaces the usual files.
std::string read_machine_id();

struct Adapter {
    std::string name;     // "eth0"
    std::string address;  // "aa:bb:cc:dd:ee:ff", as the kernel writes it
    bool physical;        // backed by a device, not a bridge, tunnel or veth
};

// Ethernet-like adapters with a real address, loopback left out, physical ones
// first, each group sorted by name. SELVIK_NET_DIR replaces /sys/class/net.
std::vector<Adapter> read_adapters();

}  // namespace selvik
