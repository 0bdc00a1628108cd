// Global memory blocks: fixed ones (the handle is the address) and movable ones
// (the handle names the block; GlobalLock gives its address and counts locks).
#pragma once

#include "windef.h"

typedef HANDLE HGLOBAL;

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_NOCOMPACT 0x0010
#define GMEM_NODISCARD 0x0020
#define GMEM_ZEROINIT 0x0040
#define GMEM_MODIFY 0x0080
#define GMEM_DISCARDABLE 0x0100
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE GMEM_SHARE
#define GMEM_DISCARDED 0x4000
#define GMEM_LOCKCOUNT 0x00FF
#define GMEM_INVALID_HANDLE 0x8000
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#ifndef ERROR_DISCARDED
#define ERROR_DISCARDED 157L
#endif
#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158L
#endif

W32_BEGIN_C
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
// NULL on success; the handle itself when it is not a block.
HGLOBAL WINAPI GlobalFree(HGLOBAL mem);
LPVOID WINAPI GlobalLock(HGLOBAL mem);
// TRUE while the block stays locked; FALSE with NO_ERROR when the count reaches 0.
BOOL WINAPI GlobalUnlock(HGLOBAL mem);
SIZE_T WINAPI GlobalSize(HGLOBAL mem);
UINT WINAPI GlobalFlags(HGLOBAL mem);
HGLOBAL WINAPI GlobalHandle(LPCVOID address);
W32_END_C
