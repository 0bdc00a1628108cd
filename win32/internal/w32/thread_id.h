// The calling thread's id as GetCurrentThreadId answers it, read inline: critical
// sections ask for it on every entry and exit.
#pragma once

#include <windows.h>

namespace w32 {

// 0 until the thread first asks; a forked child starts again from 0.
inline constinit thread_local DWORD t_thread_id = 0;

DWORD fetch_thread_id();

inline DWORD current_thread_id() {
    const DWORD id = t_thread_id;
    return id ? id : fetch_thread_id();
}

}  // namespace w32
