// The common controls' start-up call. The program asks for the bar classes and uses
// none of them, so only the request itself is checked.
#include <commctrl.h>

#include <w32/builtin.h>

namespace {

constexpr DWORD kKnownClasses = 0x0000FFFF;

}  // namespace

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX) || (init->dwICC & ~kKnownClasses)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

W32_BUILTIN_EXPORT("comctl32.dll", InitCommonControlsEx);
