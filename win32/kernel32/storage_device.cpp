// Volumes, physical disks and SCSI ports. They answer the storage property
// query from the disk tables. The requests that need the disk's own firmware
// (SMART identify, SCSI miniport pass-through) are refused as Windows refuses
// them to a program without the rights: ERROR_ACCESS_DENIED.
#include "block_disks.h"
#include "device_object.h"

#include <ntddscsi.h>
#include <w32/error.h>
#include <w32/path.h>

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <cstddef>
#include <vector>

namespace w32 {
namespace {

// WIN32_DRIVE_BUS ("D=usb;E=1394") names the bus of a drive letter, so that
// tests can have external drives.
bool forced_bus(wchar_t letter, STORAGE_BUS_TYPE* bus) {
    const char* spec = getenv("WIN32_DRIVE_BUS");
    if (!spec) return false;
    static const struct {
        const char* name;
        STORAGE_BUS_TYPE bus;
    } kNames[] = {{"unknown", BusTypeUnknown}, {"scsi", BusTypeScsi},   {"atapi", BusTypeAtapi},
                  {"ata", BusTypeAta},         {"1394", BusType1394},   {"usb", BusTypeUsb},
                  {"raid", BusTypeRAID},       {"iscsi", BusTypeiScsi}, {"sas", BusTypeSas},
                  {"sata", BusTypeSata},       {"sd", BusTypeSd},       {"mmc", BusTypeMmc},
                  {"virtual", BusTypeVirtual}, {"nvme", BusTypeNvme}};
    std::string s(spec);
    size_t i = 0;
    while (i < s.size()) {
        size_t j = s.find(';', i);
        if (j == std::string::npos) j = s.size();
        std::string item = s.substr(i, j - i);
        i = j + 1;
        if (item.size() < 3 || item[1] != '=' ||
            towupper(static_cast<wint_t>(item[0])) != towupper(static_cast<wint_t>(letter)))
            continue;
        std::string value = item.substr(2);
        for (auto& n : kNames) {
            if (!strcasecmp(n.name, value.c_str())) {
                *bus = n.bus;
                return true;
            }
        }
        char* end = nullptr;
        long v = strtol(value.c_str(), &end, 0);
        if (end && *end == '\0' && v >= 0 && v <= BusTypeMaxReserved) {
            *bus = static_cast<STORAGE_BUS_TYPE>(v);
            return true;
        }
    }
    return false;
}

std::vector<BYTE> device_descriptor(const DiskInfo& disk, BYTE device_type, bool removable) {
    std::vector<BYTE> out(sizeof(STORAGE_DEVICE_DESCRIPTOR));
    auto append = [&](const std::string& text) -> DWORD {
        if (text.empty()) return 0;
        auto offset = static_cast<DWORD>(out.size());
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
        return offset;
    };
    STORAGE_DEVICE_DESCRIPTOR d{};
    d.Version = sizeof(STORAGE_DEVICE_DESCRIPTOR);
    d.DeviceType = device_type;
    d.RemovableMedia = removable ? TRUE : FALSE;
    d.BusType = disk.bus;
    d.VendorIdOffset = append(disk.vendor);
    d.ProductIdOffset = append(disk.product);
    d.ProductRevisionOffset = append(disk.revision);
    d.SerialNumberOffset = append(disk.serial);
    d.Size = static_cast<DWORD>(out.size());
    memcpy(out.data(), &d, offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties));
    return out;
}

// IOCTL_STORAGE_QUERY_PROPERTY for the device property: as much of the
// descriptor as fits (its Size tells the whole); string offsets that would
// point past what was copied are cleared.
BOOL answer_property_query(const std::vector<BYTE>& descriptor, const void* in, DWORD in_size,
                           void* out, DWORD out_size, DWORD* returned) {
    if (!in || in_size < offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters))
        return fail(ERROR_INVALID_PARAMETER);
    STORAGE_PROPERTY_QUERY query;
    memcpy(&query, in, offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
    if (query.PropertyId != StorageDeviceProperty) return fail(ERROR_NOT_SUPPORTED);
    if (query.QueryType == PropertyExistsQuery) return TRUE;
    if (query.QueryType != PropertyStandardQuery) return fail(ERROR_INVALID_PARAMETER);
    if (!out || out_size < sizeof(STORAGE_DESCRIPTOR_HEADER))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> copy = descriptor;
    const DWORD n = std::min<DWORD>(out_size, static_cast<DWORD>(copy.size()));
    if (n >= offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType)) {
        auto* d = reinterpret_cast<STORAGE_DEVICE_DESCRIPTOR*>(copy.data());
        for (DWORD* offset : {&d->VendorIdOffset, &d->ProductIdOffset, &d->ProductRevisionOffset,
                              &d->SerialNumberOffset}) {
            if (*offset && *offset + strlen(reinterpret_cast<char*>(copy.data() + *offset)) >= n)
                *offset = 0;
        }
    }
    memcpy(out, copy.data(), n);
    *returned = n;
    return TRUE;
}

bool is_smart_request(DWORD code) {
    return code == SMART_GET_VERSION || code == SMART_RCV_DRIVE_DATA ||
           code == SMART_SEND_DRIVE_COMMAND;
}

class VolumeDevice : public Device {
public:
    explicit VolumeDevice(wchar_t letter) : letter_(letter) {}

    BOOL control(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                 DWORD* returned) override {
        if (is_smart_request(code)) return fail(ERROR_ACCESS_DENIED);
        if (code != IOCTL_STORAGE_QUERY_PROPERTY) return fail(ERROR_NOT_SUPPORTED);
        Drive drive;
        if (!find_drive(letter_, &drive)) return fail(ERROR_DEV_NOT_EXIST);
        if (drive.type == DRIVE_REMOTE) return fail(ERROR_NOT_SUPPORTED);  // no disk of ours
        std::string name = disk_of_path(drive.root);
        DiskInfo disk = name.empty() ? DiskInfo{} : describe_disk(name);
        forced_bus(letter_, &disk.bus);
        bool removable =
            disk.removable || drive.type == DRIVE_REMOVABLE || drive.type == DRIVE_CDROM;
        BYTE type = drive.type == DRIVE_CDROM ? 5 /* CD-ROM */ : 0 /* direct access */;
        return answer_property_query(device_descriptor(disk, type, removable), in, in_size, out,
                                     out_size, returned);
    }

private:
    wchar_t letter_;
};

class DiskDevice : public Device {
public:
    explicit DiskDevice(std::string disk) : disk_(std::move(disk)) {}

    BOOL control(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                 DWORD* returned) override {
        if (is_smart_request(code)) return fail(ERROR_ACCESS_DENIED);
        if (code != IOCTL_STORAGE_QUERY_PROPERTY) return fail(ERROR_NOT_SUPPORTED);
        DiskInfo disk = describe_disk(disk_);
        return answer_property_query(device_descriptor(disk, 0, disk.removable), in, in_size, out,
                                     out_size, returned);
    }

private:
    std::string disk_;
};

class ScsiPortDevice : public Device {
public:
    BOOL control(DWORD code, const void*, DWORD, void*, DWORD, DWORD*) override {
        return fail(code == IOCTL_SCSI_MINIPORT ? ERROR_ACCESS_DENIED : ERROR_NOT_SUPPORTED);
    }
};

}  // namespace

ObjectPtr make_volume_device(wchar_t letter) { return std::make_shared<VolumeDevice>(letter); }
ObjectPtr make_disk_device(std::string disk) {
    return std::make_shared<DiskDevice>(std::move(disk));
}
ObjectPtr make_scsi_port_device() { return std::make_shared<ScsiPortDevice>(); }

}  // namespace w32
