// Version resources.
#pragma once

#include "winnt.h"
#include "winerror.h"

#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL

#define VS_FF_DEBUG 0x00000001L
#define VS_FF_PRERELEASE 0x00000002L
#define VS_FF_PATCHED 0x00000004L
#define VS_FF_PRIVATEBUILD 0x00000008L
#define VS_FF_INFOINFERRED 0x00000010L
#define VS_FF_SPECIALBUILD 0x00000020L

#define VOS_UNKNOWN 0x00000000L
#define VOS_NT 0x00040000L
#define VOS__WINDOWS32 0x00000004L
#define VOS_NT_WINDOWS32 0x00040004L

#define VFT_UNKNOWN 0x00000000L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

W32_BEGIN_C
DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file_name, LPDWORD handle);
BOOL WINAPI GetFileVersionInfoW(LPCWSTR file_name, DWORD handle, DWORD size, LPVOID data);
// sub_block: "\" (VS_FIXEDFILEINFO, length in bytes),
// "\StringFileInfo\<lang><codepage>\<name>" (text, length in WCHARs with the
// terminator) or "\VarFileInfo\Translation" (language and code page pairs).
BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, PUINT length);
W32_END_C
