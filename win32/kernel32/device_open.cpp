#include <w32/device.h>

namespace w32 {

// No device is known until the device area answers them.
ObjectPtr open_device(std::wstring_view, DWORD) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

}  // namespace w32
