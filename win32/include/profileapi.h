// Profile (INI) files.
//
// Section and key names match without regard to case. A file that starts with the
// bytes FF FE is UTF-16LE and stays so; a file without a byte-order mark is ANSI
// (UTF-8 here); a new file is created as ANSI. Writes replace the file whole.
#pragma once

#include "winnt.h"
#include "winerror.h"

W32_BEGIN_C
DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault,
                                      LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault,
                                  LPCWSTR lpFileName);
BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString,
                                       LPCWSTR lpFileName);
W32_END_C
