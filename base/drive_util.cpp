#include "base/drive_util.h"

#include <windows.h>
#include <winioctl.h>

#include <wchar.h>

#include <vector>

#include "base/file_util.h"

namespace base {

bool IsExternalBusDrive(const std::wstring& path) {
    if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
    const std::wstring device = L"\\\\.\\" + path.substr(0, 2);
    HANDLE drive = CreateFileW(device.c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (drive == INVALID_HANDLE_VALUE) return false;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    // The descriptor is followed by its strings; 2048 bytes hold any of them.
    alignas(STORAGE_DEVICE_DESCRIPTOR) unsigned char buffer[2048] = {};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(drive, IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, buffer,
                                    sizeof(buffer), &returned, nullptr);
    CloseHandle(drive);
    if (!ok) return false;
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer);
    return descriptor->BusType == BusType1394 || descriptor->BusType == BusTypeUsb;
}

std::wstring GetLargestFreeFixedDrive() {
    std::vector<wchar_t> roots(1024, L'\0');
    GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()) - 1, roots.data());
    std::wstring best;
    ULONGLONG best_free = 0;
    for (const wchar_t* root = roots.data(); *root; root += wcslen(root) + 1) {
        if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
        if (IsExternalBusDrive(root)) continue;
        ULARGE_INTEGER available, total, total_free;
        if (!GetDiskFreeSpaceExW(root, &available, &total, &total_free)) continue;
        if (CheckFolder(root) != 0) continue;
        if (available.QuadPart >= best_free) {
            best = root;
            best_free = available.QuadPart;
        }
    }
    return best;
}

}  // namespace base
