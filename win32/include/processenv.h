// The current folder, the command line and the environment.
#pragma once

#include "winnt.h"
#include "winerror.h"

W32_BEGIN_C
LPWSTR WINAPI GetCommandLineW(void);
DWORD WINAPI GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
BOOL WINAPI SetCurrentDirectoryW(LPCWSTR path);
W32_END_C
