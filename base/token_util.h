// Integrity levels, UAC settings and elevation, and starting a process without the
// program's own elevation: through the desktop shell's token when the program runs
// elevated and the shell does not. Every token handle opened here is closed here,
// except the one GetShellPrimaryToken hands out.
#pragma once

#include <windows.h>

namespace base {

// The arguments of CreateProcessW. FALSE without starting anything when any
// security attributes or handle inheritance are asked. Elevated (high) under UAC
// with a shell at medium level: CreateProcessWithTokenW with the shell's token,
// FALSE when that token cannot be had. Otherwise plain CreateProcessW.
BOOL CreateProcessByToken(LPCWSTR application_name, LPWSTR command_line,
                          LPSECURITY_ATTRIBUTES process_attributes,
                          LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                          DWORD creation_flags, LPVOID environment, LPCWSTR current_directory,
                          LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information);

// False when LUA is off, when administrators elevate without a prompt, or for the
// built-in Administrator account.
bool IsUacEnabled();

// The process of the shell's "Progman" window, 0 when there is none.
DWORD GetShellProcessId();
// A primary token duplicated from the shell's (closed by the caller), or null.
HANDLE GetShellPrimaryToken();

// The relative id of the token's mandatory label: 0x2000 medium, 0x3000 high;
// 0x2000 when it cannot be read.
DWORD GetTokenIntegrityLevel(HANDLE token);
bool IsShellTokenMediumIntegrity();
bool IsCurrentProcessHighIntegrity();

// False only when the own token cannot be opened or the name is unknown.
bool EnablePrivilege(const wchar_t* privilege_name, bool enable);

// 0xFFFFFFFF names the own process. True when the elevation could be read.
bool QueryProcessElevation(bool* elevated, DWORD process_id);
bool IsProcessElevated(DWORD process_id);
bool NeedsElevation();
// ShellExecuteExW with the "runas" verb; the result of that call.
bool RunAsElevated(HWND window, const wchar_t* path, const wchar_t* parameters,
                   const wchar_t* directory);

}  // namespace base
