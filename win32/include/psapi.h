// Process and module enumeration.
#pragma once

#include "windows.h"

W32_BEGIN_C
BOOL WINAPI EnumProcesses(DWORD* process_ids, DWORD cb, LPDWORD bytes_returned);
BOOL WINAPI EnumProcessModules(HANDLE process, HMODULE* modules, DWORD cb, LPDWORD bytes_needed);
DWORD WINAPI GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR file_name, DWORD size);
W32_END_C
