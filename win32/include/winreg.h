// The registry: the predefined roots, keys and their values.
//
// Data sizes are in bytes. A string value's bytes are WCHAR units, and WCHAR is
// wchar_t (4 bytes here): a caller stores L"abc" with its terminator as
// (3 + 1) * sizeof(WCHAR) bytes.
#pragma once

#include "winnt.h"
#include "winerror.h"

typedef LONG LSTATUS;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11
#define REG_QWORD_LITTLE_ENDIAN 11

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_RESERVED 0x0000
#define REG_OPTION_NON_VOLATILE 0x0000
#define REG_OPTION_VOLATILE 0x0001
#define REG_OPTION_CREATE_LINK 0x0002
#define REG_OPTION_BACKUP_RESTORE 0x0004
#define REG_OPTION_OPEN_LINK 0x0008

// RegRestoreKeyW flags.
#define REG_WHOLE_HIVE_VOLATILE 0x00000001L
#define REG_REFRESH_HIVE 0x00000002L
#define REG_NO_LAZY_FLUSH 0x00000004L
#define REG_FORCE_RESTORE 0x00000008L

#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

W32_BEGIN_C
LSTATUS WINAPI RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM desired,
                             PHKEY result);
LSTATUS WINAPI RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class,
                               DWORD options, REGSAM desired, const LPSECURITY_ATTRIBUTES security,
                               PHKEY result, LPDWORD disposition);
LSTATUS WINAPI RegCloseKey(HKEY key);
LSTATUS WINAPI RegQueryValueExW(HKEY key, LPCWSTR value_name, LPDWORD reserved, LPDWORD type,
                                LPBYTE data, LPDWORD data_size);
LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR value_name, DWORD reserved, DWORD type,
                              const BYTE* data, DWORD data_size);
LSTATUS WINAPI RegDeleteValueW(HKEY key, LPCWSTR value_name);
LSTATUS WINAPI RegDeleteKeyW(HKEY key, LPCWSTR sub_key);
LSTATUS WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars,
                             LPDWORD reserved, LPWSTR key_class, LPDWORD class_chars,
                             PFILETIME last_write);
LSTATUS WINAPI RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars,
                             LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD data_size);
// The key's subtree to a new file (ERROR_ALREADY_EXISTS when it is there), and back:
// a restore replaces the key's values and subkeys with the file's. The file is the
// layer's own text form, not a Windows hive.
LSTATUS WINAPI RegSaveKeyW(HKEY key, LPCWSTR file, const LPSECURITY_ATTRIBUTES security);
LSTATUS WINAPI RegRestoreKeyW(HKEY key, LPCWSTR file, DWORD flags);

// shlwapi's one-call reads, declared here so that shlwapi.h (which includes
// windows.h) offers them. A REG_EXPAND_SZ value comes back expanded, as REG_SZ.
// The A form converts names from and strings to the ANSI code page (UTF-8).
LSTATUS WINAPI SHGetValueW(HKEY key, LPCWSTR sub_key, LPCWSTR value, DWORD* type, void* data,
                           DWORD* data_size);
LSTATUS WINAPI SHGetValueA(HKEY key, LPCSTR sub_key, LPCSTR value, DWORD* type, void* data,
                           DWORD* data_size);
W32_END_C
