// Threads.
#pragma once

#include "winnt.h"
#include "winerror.h"

W32_BEGIN_C
DWORD WINAPI GetCurrentThreadId(void);
DWORD WINAPI GetCurrentProcessId(void);
W32_END_C
