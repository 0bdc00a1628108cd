#include "block_disks.h"

#include "sysfs_read.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace w32 {
namespace {

using sysfs::base_name;
using sysfs::exists;
using sysfs::read_text;
using sysfs::resolve;

std::vector<std::string> list_dir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A block device's disk: a partition's parent; a mapped device (LVM, crypt) the
// disk of its first underlying device.
std::string whole_disk(const std::string& sys_dir, int depth = 0) {
    std::string dir = resolve(sys_dir);
    if (dir.empty() || depth > 8) return {};
    if (exists(dir + "/partition")) dir = dir.substr(0, dir.find_last_of('/'));
    if (exists(dir + "/device")) return base_name(dir);
    auto slaves = list_dir(dir + "/slaves");
    return slaves.empty() ? std::string() : whole_disk(dir + "/slaves/" + slaves[0], depth + 1);
}

// The source device of the mount that holds path, from /proc/self/mountinfo.
std::string mount_source(const std::string& path) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line, best_point, best_source;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, point, tok;
        fields >> id >> parent >> devno >> root >> point;
        while (fields >> tok && tok != "-") {
        }
        std::string fstype, source;
        fields >> fstype >> source;
        bool inside = point == "/" || path == point ||
                      (path.compare(0, point.size(), point) == 0 && path[point.size()] == '/');
        if (inside && point.size() >= best_point.size()) {
            best_point = point;
            best_source = source;
        }
    }
    return best_source;
}

STORAGE_BUS_TYPE bus_of(const std::string& name) {
    std::string dev = resolve("/sys/block/" + name + "/device");
    if (dev.empty()) return BusTypeUnknown;
    auto has = [&](const char* part) { return dev.find(part) != std::string::npos; };
    if (has("/usb")) return BusTypeUsb;
    if (has("/firewire") || has("/ieee1394") || has("/fw")) return BusType1394;
    if (has("/nvme")) return BusTypeNvme;
    if (has("/mmc")) return BusTypeSd;
    if (has("/ata")) return BusTypeSata;
    if (has("/sas") || has("/end_device")) return BusTypeSas;
    if (has("/host") || has("/virtio")) return BusTypeScsi;
    return BusTypeUnknown;
}

// A unit serial number page (SCSI VPD 0x80): 4 header bytes, then the text.
std::string vpd_serial(const std::string& name) {
    std::ifstream in("/sys/block/" + name + "/device/vpd_pg80", std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (page.size() <= 4) return {};
    std::string text = page.substr(4, static_cast<unsigned char>(page[3]));
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(" \0", std::string::npos, 2);
    return first == std::string::npos || last < first ? std::string()
                                                      : text.substr(first, last - first + 1);
}

// /dev/disk/by-id names end in "_<serial>" for ATA, NVMe, SCSI and USB disks.
std::string by_id_serial(const std::string& name) {
    const std::string dir = "/dev/disk/by-id";
    for (auto& link : list_dir(dir)) {
        if (link.find("-part") != std::string::npos) continue;
        bool known = link.rfind("ata-", 0) == 0 || link.rfind("nvme-", 0) == 0 ||
                     link.rfind("scsi-", 0) == 0 || link.rfind("usb-", 0) == 0;
        if (!known || base_name(resolve(dir + "/" + link)) != name) continue;
        size_t underscore = link.find_last_of('_');
        if (underscore != std::string::npos && underscore + 1 < link.size())
            return link.substr(underscore + 1);
    }
    return {};
}

bool printable(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

}  // namespace

std::vector<std::string> physical_disks() {
    std::vector<std::string> out;
    for (auto& name : list_dir("/sys/block")) {
        // CD and floppy drives are not numbered with the disks.
        if (name.rfind("sr", 0) == 0 || name.rfind("fd", 0) == 0) continue;
        if (exists("/sys/block/" + name + "/device")) out.push_back(name);
    }
    return out;
}

std::string disk_of_path(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && major(st.st_dev) != 0) {
        std::string d = whole_disk("/sys/dev/block/" + std::to_string(major(st.st_dev)) + ":" +
                                   std::to_string(minor(st.st_dev)));
        if (!d.empty()) return d;
    }
    // Anonymous devices (btrfs subvolumes, overlays on a device) name their source.
    std::string real = resolve(path);
    std::string source = mount_source(real.empty() ? path : real);
    if (source.rfind("/dev/", 0) != 0) return {};
    std::string dev = resolve(source);
    return dev.empty() ? std::string() : whole_disk("/sys/class/block/" + base_name(dev));
}

DiskInfo describe_disk(const std::string& name) {
    DiskInfo d;
    d.name = name;
    d.bus = bus_of(name);
    const std::string base = "/sys/block/" + name;
    d.vendor = read_text(base + "/device/vendor");
    d.product = read_text(base + "/device/model");
    d.revision = read_text(base + "/device/rev");
    if (d.revision.empty()) d.revision = read_text(base + "/device/firmware_rev");
    d.removable = read_text(base + "/removable") == "1";
    for (auto serial : {read_text(base + "/device/serial"), read_text(base + "/serial")}) {
        if (!serial.empty()) {
            d.serial = serial;
            break;
        }
    }
    if (d.serial.empty()) d.serial = vpd_serial(name);
    if (d.serial.empty()) d.serial = by_id_serial(name);
    for (auto* s : {&d.vendor, &d.product, &d.revision, &d.serial})
        if (!printable(*s)) s->clear();
    return d;
}

}  // namespace w32
