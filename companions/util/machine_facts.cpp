#include "machine_facts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace selvik {
namespace {

std::string first_line(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

bool is_machine_id(const std::string& id) {
    return id.size() == 32 && std::all_of(id.begin(), id.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c));
           });
}

// ARPHRD_ETHER (1) covers wired and wireless adapters alike.
constexpr int kEtherType = 1;

bool is_usable_address(const std::string& address) {
    if (address.size() != 17) return false;
    return address != "00:00:00:00:00:00" && address != "ff:ff:ff:ff:ff:ff";
}

}  // namespace

std::string read_machine_id() {
    std::vector<std::string> files;
    if (const char* given = std::getenv("SELVIK_MACHINE_ID_FILE")) {
        files.push_back(given);
    } else {
        files = {"/etc/machine-id", "/var/lib/dbus/machine-id"};
    }
    for (const auto& file : files) {
        std::string id = first_line(file);
        std::transform(id.begin(), id.end(), id.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (is_machine_id(id)) return id;
    }
    return "";
}

std::vector<Adapter> read_adapters() {
    const char* given = std::getenv("SELVIK_NET_DIR");
    std::filesystem::path root = given ? given : "/sys/class/net";
    std::vector<Adapter> adapters;
    std::error_code ec;
    // increment(ec): a folder that changes under the walk ends it instead of throwing.
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::filesystem::path dir = it->path();
        Adapter a;
        a.name = dir.filename().string();
        if (a.name == "lo") continue;
        if (std::atoi(first_line(dir / "type").c_str()) != kEtherType) continue;
        a.address = first_line(dir / "address");
        std::transform(a.address.begin(), a.address.end(), a.address.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (!is_usable_address(a.address)) continue;
        std::error_code dev_ec;
        a.physical = std::filesystem::exists(dir / "device", dev_ec);
        adapters.push_back(std::move(a));
    }
    std::sort(adapters.begin(), adapters.end(), [](const Adapter& x, const Adapter& y) {
        if (x.physical != y.physical) return x.physical;
        return x.name < y.name;
    });
    return adapters;
}

}  // namespace selvik
