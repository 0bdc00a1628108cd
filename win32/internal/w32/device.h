// Devices opened by name through CreateFileW ("\\.\C:", "\\.\PhysicalDrive0",
// "\\.\Scsi0:", "\\.\{adapter}"), answered by DeviceIoControl.
#pragma once

#include <w32/object.h>

#include <string_view>

namespace w32 {

// name is the part after "\\.\". Null with the last error set when no such device.
ObjectPtr open_device(std::wstring_view name, DWORD access);

}  // namespace w32
