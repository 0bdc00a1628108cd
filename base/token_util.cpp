#include "base/token_util.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "base/scoped_handle.h"
#include "base/windows_version.h"
#include "syslib/load_dll.h"

namespace base {
namespace {

constexpr DWORD kMediumLevel = 0x2000;
constexpr DWORD kHighLevel = 0x3000;
constexpr DWORD kOwnProcess = 0xFFFFFFFF;
const wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system";

// A missing or unreadable value counts as 1, as on a default system.
DWORD ReadPolicy(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (SHGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, name, &type, &value, &size) != ERROR_SUCCESS)
        return 1;
    return value;
}

struct ModuleFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

typedef BOOL(WINAPI* CreateProcessWithTokenWFn)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                                LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);

}  // namespace

BOOL CreateProcessByToken(LPCWSTR application_name, LPWSTR command_line,
                          LPSECURITY_ATTRIBUTES process_attributes,
                          LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                          DWORD creation_flags, LPVOID environment, LPCWSTR current_directory,
                          LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information) {
    if (process_attributes || thread_attributes || inherit_handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (IsVistaOrLater() && IsShellTokenMediumIntegrity() && IsCurrentProcessHighIntegrity()) {
        ScopedHandle token(GetShellPrimaryToken());
        std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer> advapi(
            LoadDll(L"advapi32.dll"));
        auto create = advapi ? reinterpret_cast<CreateProcessWithTokenWFn>(
                                   GetProcAddress(advapi.get(), "CreateProcessWithTokenW"))
                             : nullptr;
        if (!token.IsValid() || !create) return FALSE;
        return create(token.Get(), 0, application_name, command_line, creation_flags, environment,
                      current_directory, startup_info, process_information);
    }
    return CreateProcessW(application_name, command_line, nullptr, nullptr, FALSE, creation_flags,
                          environment, current_directory, startup_info, process_information);
}

bool IsUacEnabled() {
    if (ReadPolicy(L"EnableLUA") == 0) return false;
    if (ReadPolicy(L"ConsentPromptBehaviorAdmin") == 0 && ReadPolicy(L"PromptOnSecureDesktop") == 0)
        return false;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE)) return true;
    // The built-in Administrator is not held back by UAC.
    if (wcslen(path) < 3) return true;
    return lstrcmpiW(path + 3, L"Users\\Administrator\\AppData\\Local") != 0;
}

DWORD GetShellProcessId() {
    HWND shell = FindWindowExW(GetDesktopWindow(), nullptr, L"Progman", L"Program Manager");
    if (!shell || !IsWindow(shell)) return 0;
    DWORD process_id = 0;
    GetWindowThreadProcessId(shell, &process_id);
    return process_id;
}

HANDLE GetShellPrimaryToken() {
    ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetShellProcessId()));
    if (!process.IsValid()) return nullptr;
    ScopedHandle token;
    if (!OpenProcessToken(process.Get(), TOKEN_DUPLICATE, token.Receive())) return nullptr;
    HANDLE primary = nullptr;
    if (!DuplicateTokenEx(token.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                          TokenPrimary, &primary))
        return nullptr;
    return primary;
}

DWORD GetTokenIntegrityLevel(HANDLE token) {
    if (!token) return kMediumLevel;
    // The label and its SID rarely fit the record alone; the size asked then says.
    alignas(TOKEN_MANDATORY_LABEL) BYTE small[sizeof(TOKEN_MANDATORY_LABEL)];
    std::vector<BYTE> large;
    void* info = small;
    DWORD needed = 0;
    if (!GetTokenInformation(token, TokenIntegrityLevel, small, sizeof small, &needed)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return kMediumLevel;
        large.assign(needed, 0);
        info = large.data();
        if (!GetTokenInformation(token, TokenIntegrityLevel, info, needed, &needed))
            return kMediumLevel;
    }
    PSID sid = static_cast<TOKEN_MANDATORY_LABEL*>(info)->Label.Sid;
    if (!sid || *GetSidSubAuthorityCount(sid) == 0) return kMediumLevel;
    return *GetSidSubAuthority(sid, 0);
}

bool IsShellTokenMediumIntegrity() {
    EnablePrivilege(SE_ASSIGNPRIMARYTOKEN_NAME, true);
    EnablePrivilege(SE_INCREASE_QUOTA_NAME, true);
    ScopedHandle token(GetShellPrimaryToken());
    if (!token.IsValid()) return IsUacEnabled();
    return GetTokenIntegrityLevel(token.Get()) == kMediumLevel;
}

bool IsCurrentProcessHighIntegrity() {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, token.Receive()))
        return !IsUacEnabled();
    return GetTokenIntegrityLevel(token.Get()) == kHighLevel;
}

bool EnablePrivilege(const wchar_t* privilege_name, bool enable) {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Receive()))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueW(nullptr, privilege_name, &privileges.Privileges[0].Luid))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // Whether the adjustment took is not this function's answer.
    AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    return true;
}

bool QueryProcessElevation(bool* elevated, DWORD process_id) {
    ScopedHandle opened;
    HANDLE process = GetCurrentProcess();
    if (process_id != kOwnProcess) {
        opened.Reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
        if (!opened.IsValid()) return false;
        process = opened.Get();
    }
    ScopedHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.Receive())) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    if (elevated) *elevated = elevation.TokenIsElevated != 0;
    return true;
}

bool IsProcessElevated(DWORD process_id) {
    bool elevated = false;
    return QueryProcessElevation(&elevated, process_id) && elevated;
}

bool NeedsElevation() {
    if (IsUserAnAdmin() && (!IsVistaOrLater() || IsProcessElevated(kOwnProcess))) return false;
    return true;
}

bool RunAsElevated(HWND window, const wchar_t* path, const wchar_t* parameters,
                   const wchar_t* directory) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = window;
    info.lpVerb = L"runas";
    info.lpFile = path;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = SW_SHOWNORMAL;
    bool started = ShellExecuteExW(&info) != FALSE;
    ScopedHandle process(info.hProcess);
    return started;
}

}  // namespace base
