// Modules and resources.
#pragma once

#include "winnt.h"
#include "winerror.h"

W32_BEGIN_C
HMODULE WINAPI GetModuleHandleW(LPCWSTR module_name);
W32_END_C
