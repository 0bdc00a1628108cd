// The machine's disks as the storage queries describe them: the physical disks
// of /sys/block (in name order: PhysicalDrive0 is the first), the disk under a
// folder, and each disk's bus, identity and serial number.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace w32 {

struct DiskInfo {
    std::string name;  // "sda", "nvme0n1", "vda"
    STORAGE_BUS_TYPE bus = BusTypeUnknown;
    std::string vendor, product, revision, serial;
    bool removable = false;
};

std::vector<std::string> physical_disks();
// The disk that holds a Linux path; "" when it is on no disk (tmpfs, overlay
// without a disk underneath, a network file system).
std::string disk_of_path(const std::string& path);
DiskInfo describe_disk(const std::string& name);

}  // namespace w32
