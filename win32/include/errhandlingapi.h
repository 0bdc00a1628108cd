// Per-thread last error.
#pragma once

#include "winnt.h"
#include "winerror.h"

W32_BEGIN_C
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD code);
W32_END_C
