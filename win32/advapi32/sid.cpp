// Security identifier accessors.
#include <windows.h>

BOOL WINAPI IsValidSid(PSID sid) {
    auto* s = static_cast<const SID*>(sid);
    return s && s->Revision == SID_REVISION && s->SubAuthorityCount <= 15;
}

// As on Windows, the index is not checked: callers read the count first.
PDWORD WINAPI GetSidSubAuthority(PSID sid, DWORD index) {
    SetLastError(ERROR_SUCCESS);
    return &static_cast<SID*>(sid)->SubAuthority[index];
}

PUCHAR WINAPI GetSidSubAuthorityCount(PSID sid) {
    SetLastError(ERROR_SUCCESS);
    return &static_cast<SID*>(sid)->SubAuthorityCount;
}
