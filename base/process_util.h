// Starting child programs, finding running processes by executable name or by the
// folder their executable lies in, and ending them. Every handle opened here is
// closed before a function returns; waits are unlimited or the caller's time-out.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include <windows.h>

namespace base {

// ShellExecuteExW of the file with the parameters, shown; with wait, until the
// process ends. The shell's success flag.
BOOL SyncShellExcute(const std::wstring& parameters, const std::wstring& file, bool wait);
// Runs "\"exe\" args" (at most 2047 characters: a longer line starts nothing) in the
// folder (none when empty); when CreateProcessW refuses, the shell is tried.
bool SyncCreateProcess(const std::wstring& exe_path, const std::wstring& arguments, bool wait,
                       std::wstring folder);
// Starts the command line with handles inherited and the show command; waits up to
// timeout_ms unless it is 0. False when it cannot start or the wait timed out (the
// child is left running). exit_code gets the exit code, 259 while it runs, or 1.
bool CreateProcessEx(wchar_t* command_line, uint16_t show_command, uint32_t timeout_ms,
                     uint32_t* exit_code);

// Executable file names compare without regard to case.
DWORD FindProcessIdByName(const wchar_t* exe_name);
void FindProcessIdsByName(const wchar_t* exe_name, std::vector<DWORD>& ids);
bool IsProcessRunning(const std::wstring& exe_name);
std::wstring GetCurrentProcessName();

// Paths of the processes whose executable lies in the folder or below it; the
// folder takes "\" or "/". Without include_self the program itself never counts.
int FindProcessByPath(const wchar_t* folder, bool include_self, std::vector<std::wstring>& paths);
int CountProcessesByPath(const wchar_t* folder, bool include_self);
// Whether a process runs from the file's folder (or below) with the file's name.
bool IsProcessRunningInPath(const std::wstring& file_path);

bool KillProcess(const std::wstring& exe_name);
bool TerminateProcessById(DWORD process_id);
// End the matching processes with exit code 10001 and wait for them up to the
// time-out (any number of them): WAIT_OBJECT_0 when all ended in time,
// WAIT_TIMEOUT when not, 0xFFFFFFFF (-1) when none matched or the list failed.
DWORD TerminateProcessesByFile(const std::wstring& file_path, DWORD timeout_ms);
DWORD TerminateProcessesByName(const wchar_t* folder, const std::wstring& exe_name,
                               DWORD timeout_ms);
// Every process under the folder but the program itself.
DWORD TerminateProcessesByPath(const wchar_t* folder, DWORD timeout_ms);

// The thread's token (privileges and query), impersonating itself first when the
// thread has none; null on failure. The impersonation stays.
HANDLE OpenCurrentThreadToken(HANDLE thread);
bool EnableDebugPrivilege(HANDLE token, bool enable);
bool EnableThreadDebugPrivilege(HANDLE thread, bool enable);

}  // namespace base
