// Errno to Windows error code mapping, and short helpers for failing calls.
#pragma once

#include <windows.h>

namespace w32 {

DWORD errno_to_win(int err);
// Sets the last error from errno (or err) and answers FALSE, for "return fail_errno();".
BOOL fail_errno();
BOOL fail_errno(int err);
inline BOOL fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

}  // namespace w32
