// The devices CreateFileW opens by "\\.\" name. Reading or writing a whole
// volume or disk needs root, as it needs an administrator on Windows; opening
// one only to query it (access 0, READ_CONTROL) is open to everybody.
#include "block_disks.h"
#include "device_object.h"
#include "net_adapters.h"

#include <w32/device.h>
#include <w32/error.h>
#include <w32/path.h>
#include <w32/text.h>

#include <unistd.h>
#include <wctype.h>

namespace w32 {
namespace {

constexpr DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL |
                              MAXIMUM_ALLOWED | FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA;

bool starts_with_no_case(std::wstring_view s, std::wstring_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (towlower(static_cast<wint_t>(s[i])) != towlower(static_cast<wint_t>(prefix[i])))
            return false;
    return true;
}

// The decimal number that is all of s; -1 otherwise.
long number_of(std::wstring_view s) {
    if (s.empty() || s.size() > 6) return -1;
    long n = 0;
    for (wchar_t c : s) {
        if (c < L'0' || c > L'9') return -1;
        n = n * 10 + (c - L'0');
    }
    return n;
}

ObjectPtr fail_open(DWORD code) {
    SetLastError(code);
    return nullptr;
}

ObjectPtr guarded(ObjectPtr device, DWORD access) {
    if ((access & kDataAccess) && geteuid() != 0) return fail_open(ERROR_ACCESS_DENIED);
    return device;
}

}  // namespace

ObjectPtr open_device(std::wstring_view name, DWORD access) {
    if (name.size() == 2 && iswalpha(static_cast<wint_t>(name[0])) && name[1] == L':') {
        if (!find_drive(name[0], nullptr)) return fail_open(ERROR_FILE_NOT_FOUND);
        return guarded(make_volume_device(static_cast<wchar_t>(towupper(name[0]))), access);
    }
    if (starts_with_no_case(name, L"PhysicalDrive")) {
        long n = number_of(name.substr(13));
        auto disks = physical_disks();
        if (n < 0 || static_cast<size_t>(n) >= disks.size()) return fail_open(ERROR_FILE_NOT_FOUND);
        return guarded(make_disk_device(disks[static_cast<size_t>(n)]), access);
    }
    if (starts_with_no_case(name, L"Scsi") && name.size() > 5 && name.back() == L':') {
        // One port holds every disk.
        long n = number_of(name.substr(4, name.size() - 5));
        if (n != 0 || physical_disks().empty()) return fail_open(ERROR_FILE_NOT_FOUND);
        return guarded(make_scsi_port_device(), access);
    }
    std::wstring_view adapter = name;
    if (adapter.size() > 2 && adapter.front() == L'{' && adapter.back() == L'}')
        adapter = adapter.substr(1, adapter.size() - 2);
    NetAdapter found;
    if (!adapter.empty() && find_net_adapter(to_utf8(adapter), &found))
        return make_adapter_device(found.name);
    return fail_open(ERROR_FILE_NOT_FOUND);
}

}  // namespace w32
