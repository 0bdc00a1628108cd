#include "syslib/load_dll.h"

HMODULE LoadDll(const wchar_t* file_name) {
    if (file_name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryW(file_name);
}
