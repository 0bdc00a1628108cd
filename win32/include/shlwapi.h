// Path predicates and helpers.
#pragma once

#include "windows.h"

#define URL_UNESCAPE_AS_UTF8 0x00040000
#define URL_UNESCAPE_INPLACE 0x00100000
#define URL_DONT_UNESCAPE_EXTRA_INFO 0x02000000

W32_BEGIN_C
BOOL WINAPI PathFileExistsW(LPCWSTR path);
BOOL WINAPI PathIsDirectoryW(LPCWSTR path);
BOOL WINAPI PathIsRootW(LPCWSTR path);
BOOL WINAPI PathIsUNCW(LPCWSTR path);
BOOL WINAPI PathIsNetworkPathW(LPCWSTR path);
BOOL WINAPI PathMatchSpecW(LPCWSTR file, LPCWSTR spec);
LPWSTR WINAPI PathCombineW(LPWSTR dest, LPCWSTR dir, LPCWSTR file);
LPWSTR WINAPI PathAddBackslashW(LPWSTR path);
BOOL WINAPI PathRemoveFileSpecW(LPWSTR path);
HRESULT WINAPI UrlUnescapeW(LPWSTR url, LPWSTR unescaped, LPDWORD size, DWORD flags);
W32_END_C
