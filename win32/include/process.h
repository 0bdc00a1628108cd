// _beginthreadex and _endthreadex: threads started through the C runtime.
#pragma once

#include "windows.h"

typedef unsigned(__stdcall* _beginthreadex_proc_type)(void* argument);

W32_BEGIN_C
// The handle of the new thread (close it with CloseHandle), or 0 with errno set.
uintptr_t __cdecl _beginthreadex(void* security, unsigned stack_size,
                                 _beginthreadex_proc_type start, void* argument, unsigned flags,
                                 unsigned* thread_id);
void __cdecl _endthreadex(unsigned exit_code);
W32_END_C
