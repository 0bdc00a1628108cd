// COM start-up, task memory and streams over global memory.
#pragma once

#include "objidl.h"

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_ALL 0x17

#ifndef RPC_E_CHANGED_MODE
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106L)
#endif
#ifndef REGDB_E_CLASSNOTREG
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#endif
#ifndef CO_E_NOTINITIALIZED
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#endif

W32_BEGIN_C
// S_OK the first time on a thread, S_FALSE for each further call; each successful
// call is matched by one CoUninitialize.
HRESULT WINAPI CoInitialize(LPVOID reserved);
HRESULT WINAPI CoInitializeEx(LPVOID reserved, DWORD coinit);
void WINAPI CoUninitialize(void);
// No classes are registered: always REGDB_E_CLASSNOTREG.
HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID riid,
                                LPVOID* object);

LPVOID WINAPI CoTaskMemAlloc(SIZE_T size);
LPVOID WINAPI CoTaskMemRealloc(LPVOID p, SIZE_T size);
void WINAPI CoTaskMemFree(LPVOID p);

// A stream over a global block (a new empty movable one when mem is NULL). The
// stream's size starts as the block's; writing past it grows the block. The block
// is freed with the last stream on it only when delete_on_release is TRUE.
HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL mem, BOOL delete_on_release, LPSTREAM* stream);
HRESULT WINAPI GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* mem);
W32_END_C
