// A device opened by name ("\\.\X:", "\\.\PhysicalDrive0", "\\.\Scsi0:",
// "\\.\eth0"): the object behind the handle, answering DeviceIoControl.
#pragma once

#include <w32/object.h>

#include <string>

namespace w32 {

class Device : public Object {
public:
    Kind kind() const override { return Kind::Other; }
    // One request; on failure sets the last error and answers FALSE.
    virtual BOOL control(DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                         DWORD* returned) = 0;
};

ObjectPtr make_volume_device(wchar_t letter);
ObjectPtr make_disk_device(std::string disk);
ObjectPtr make_scsi_port_device();
ObjectPtr make_adapter_device(std::string name);

}  // namespace w32
