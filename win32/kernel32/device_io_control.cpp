// DeviceIoControl: hands a request to the device behind the handle.
#include "device_object.h"

#include <w32/error.h>

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out,
                            DWORD out_size, LPDWORD returned, LPOVERLAPPED) {
    auto obj = w32::get_object(device);
    if (!obj) return FALSE;
    auto dev = std::dynamic_pointer_cast<w32::Device>(obj);
    if (!dev) return w32::fail(ERROR_INVALID_FUNCTION);  // a file or another object
    DWORD n = 0;
    BOOL ok = dev->control(code, in, in_size, out, out_size, &n);
    if (returned) *returned = ok ? n : 0;
    return ok;
}
