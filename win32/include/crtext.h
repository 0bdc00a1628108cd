// The wide C runtime extensions (_wfopen, _wstat, ...) on Windows paths.
//
// Wide formatting: _snwprintf/_vsnwprintf follow the Windows runtime: %s and %c take
// wide text, %S, %hs, %C and %hc narrow text (UTF-8, the ANSI code page here), %ls and
// %ws wide; %ld/%lu/%lx take 32-bit values (Windows' long), %I64d and %lld 64-bit ones.
// glibc's own swprintf(buf, size, fmt, ...) keeps the C rules (%s narrow): code calling
// it writes %ls for wide strings.
#pragma once

#include "winnt.h"
#include "winerror.h"

#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>

#define _S_IFMT 0xF000
#define _S_IFDIR 0x4000
#define _S_IFCHR 0x2000
#define _S_IFIFO 0x1000
#define _S_IFREG 0x8000
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
#define _S_IEXEC 0x0040

// Share flags of _wfsopen.
#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40

typedef unsigned int _dev_t;
typedef unsigned short _ino_t;

// The record a Windows program reads from _wstat. st_dev is the drive number (0 = A:);
// st_size is 64 bits here, so sizes above 2 GiB come out whole.
struct _stat {
    _dev_t st_dev;
    _ino_t st_ino;
    unsigned short st_mode;
    short st_nlink;
    short st_uid;
    short st_gid;
    _dev_t st_rdev;
    long long st_size;
#ifdef st_atime
    // <sys/stat.h> turns st_atime into st_atim.tv_sec; the names read the same.
    struct timespec st_atim;
    struct timespec st_mtim;
    struct timespec st_ctim;
#else
    time_t st_atime;
    time_t st_mtime;
    time_t st_ctime;
#endif
};

W32_BEGIN_C
FILE* _wfopen(const wchar_t* path, const wchar_t* mode);
FILE* _wfsopen(const wchar_t* path, const wchar_t* mode, int share_flag);
int _wstat(const wchar_t* path, struct _stat* buffer);
int _waccess(const wchar_t* path, int mode);

int _wtoi(const wchar_t* text);
int _wcsicmp(const wchar_t* a, const wchar_t* b);
int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t count);

// Writes at most count characters and always ends the text within them; answers the
// length, or -1 when the text was cut.
int _snwprintf(wchar_t* buffer, size_t count, const wchar_t* format, ...);
int _vsnwprintf(wchar_t* buffer, size_t count, const wchar_t* format, va_list args);
W32_END_C
