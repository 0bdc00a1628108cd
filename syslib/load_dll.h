// Loading a library of the program's companions or of the system by file name or path.
#pragma once

#include <windows.h>

// LoadLibraryW of the name, nothing more: the module, or null (GetLastError says why).
HMODULE LoadDll(const wchar_t* file_name);
