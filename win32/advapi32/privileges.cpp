// Privilege names and their adjustment on a token.
#include "token.h"

#include <w32/error.h>

#include <wctype.h>

#include <cstddef>
#include <vector>

namespace w32 {
namespace {

// The well-known privileges and their LUIDs (the high part is always 0).
struct Privilege {
    const wchar_t* name;
    DWORD luid;
};
constexpr Privilege kPrivileges[] = {
    {L"SeCreateTokenPrivilege", 2},
    {L"SeAssignPrimaryTokenPrivilege", 3},
    {L"SeLockMemoryPrivilege", 4},
    {L"SeIncreaseQuotaPrivilege", 5},
    {L"SeMachineAccountPrivilege", 6},
    {L"SeTcbPrivilege", 7},
    {L"SeSecurityPrivilege", 8},
    {L"SeTakeOwnershipPrivilege", 9},
    {L"SeLoadDriverPrivilege", 10},
    {L"SeSystemProfilePrivilege", 11},
    {L"SeSystemtimePrivilege", 12},
    {L"SeProfileSingleProcessPrivilege", 13},
    {L"SeIncreaseBasePriorityPrivilege", 14},
    {L"SeCreatePagefilePrivilege", 15},
    {L"SeCreatePermanentPrivilege", 16},
    {L"SeBackupPrivilege", 17},
    {L"SeRestorePrivilege", 18},
    {L"SeShutdownPrivilege", 19},
    {L"SeDebugPrivilege", 20},
    {L"SeAuditPrivilege", 21},
    {L"SeSystemEnvironmentPrivilege", 22},
    {L"SeChangeNotifyPrivilege", 23},
    {L"SeRemoteShutdownPrivilege", 24},
    {L"SeUndockPrivilege", 25},
    {L"SeSyncAgentPrivilege", 26},
    {L"SeEnableDelegationPrivilege", 27},
    {L"SeManageVolumePrivilege", 28},
    {L"SeImpersonatePrivilege", 29},
    {L"SeCreateGlobalPrivilege", 30},
    {L"SeTrustedCredManAccessPrivilege", 31},
    {L"SeRelabelPrivilege", 32},
    {L"SeIncreaseWorkingSetPrivilege", 33},
    {L"SeTimeZonePrivilege", 34},
    {L"SeCreateSymbolicLinkPrivilege", 35},
};
constexpr DWORD kEnabledByDefault[] = {23, 29, 30};  // change notify, impersonate, create global

bool equal_no_case(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; ++a, ++b)
        if (towlower(static_cast<wint_t>(*a)) != towlower(static_cast<wint_t>(*b))) return false;
    return *a == *b;
}

}  // namespace

std::map<DWORD, DWORD> initial_privileges() {
    std::map<DWORD, DWORD> out;
    for (auto& p : kPrivileges) out[p.luid] = 0;
    for (DWORD luid : kEnabledByDefault)
        out[luid] = SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_ENABLED_BY_DEFAULT;
    return out;
}

DWORD privilege_luid(const wchar_t* name) {
    for (auto& p : kPrivileges)
        if (equal_no_case(p.name, name)) return p.luid;
    return 0;
}

}  // namespace w32

using namespace w32;

BOOL WINAPI LookupPrivilegeValueW(LPCWSTR, LPCWSTR name, PLUID luid) {
    if (!name || !luid) return fail(ERROR_INVALID_PARAMETER);
    DWORD value = privilege_luid(name);
    if (!value) return fail(ERROR_NO_SUCH_PRIVILEGE);
    luid->LowPart = value;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disable_all, PTOKEN_PRIVILEGES new_state,
                                  DWORD buffer_size, PTOKEN_PRIVILEGES previous_state,
                                  PDWORD return_size) {
    auto obj = std::dynamic_pointer_cast<TokenObject>(get_object(token));
    if (!obj) return fail(ERROR_INVALID_HANDLE);
    if (!(obj->access & TOKEN_ADJUST_PRIVILEGES)) return fail(ERROR_ACCESS_DENIED);
    if (!disable_all && !new_state) return fail(ERROR_INVALID_PARAMETER);
    if (previous_state && !return_size) return fail(ERROR_INVALID_PARAMETER);

    auto& state = *obj->state;
    std::lock_guard lock(state.mu);
    // The wanted attributes of each privilege that changes.
    std::map<DWORD, DWORD> changes;
    bool all_assigned = true;
    if (disable_all) {
        for (auto& [luid, attrs] : state.privileges)
            if (attrs & SE_PRIVILEGE_ENABLED) changes[luid] = attrs & ~SE_PRIVILEGE_ENABLED;
    } else {
        for (DWORD i = 0; i < new_state->PrivilegeCount; ++i) {
            const auto& entry = new_state->Privileges[i];
            auto it = entry.Luid.HighPart == 0 ? state.privileges.find(entry.Luid.LowPart)
                                               : state.privileges.end();
            if (it == state.privileges.end()) {
                all_assigned = false;
                continue;
            }
            DWORD wanted = (entry.Attributes & SE_PRIVILEGE_ENABLED)
                               ? it->second | SE_PRIVILEGE_ENABLED
                               : it->second & ~SE_PRIVILEGE_ENABLED;
            if (wanted != it->second) changes[it->first] = wanted;
        }
    }

    if (previous_state) {
        const auto needed = static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) +
                                               changes.size() * sizeof(LUID_AND_ATTRIBUTES));
        *return_size = needed;
        if (buffer_size < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
        previous_state->PrivilegeCount = static_cast<DWORD>(changes.size());
        DWORD i = 0;
        for (auto& [luid, wanted] : changes) {
            previous_state->Privileges[i].Luid = LUID{luid, 0};
            previous_state->Privileges[i].Attributes = state.privileges[luid];
            ++i;
        }
    }
    for (auto& [luid, wanted] : changes) state.privileges[luid] = wanted;
    SetLastError(all_assigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
