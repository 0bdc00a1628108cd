// The current folder, the command line and the environment.
#pragma once

#include "winnt.h"
#include "winerror.h"

W32_BEGIN_C
LPWSTR WINAPI GetCommandLineW(void);
W32_END_C
