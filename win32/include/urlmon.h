// URL moniker session options: the browser's user agent.
#pragma once

#include "windows.h"

#define URLMON_OPTION_USERAGENT 0x10000001

W32_BEGIN_C
// Copies the option's value (narrow text with its terminator) into buffer; answers
// E_OUTOFMEMORY with the needed size in *buffer_length_out when it does not fit.
HRESULT WINAPI UrlMkGetSessionOption(DWORD option, LPVOID buffer, DWORD buffer_length,
                                     DWORD* buffer_length_out, DWORD reserved);
W32_END_C
