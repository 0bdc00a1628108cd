#include "base/process_util.h"

#include <stdio.h>

#include <algorithm>
#include <functional>

#include <psapi.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include "base/path_util.h"
#include "base/log.h"
#include "base/scoped_handle.h"
#include "base/string_util.h"

namespace base {
namespace {

constexpr size_t kCommandLineSize = 2048;
constexpr DWORD kMaxProcessIds = 1024;
constexpr DWORD kQueryReadTerminate = 0x411;
constexpr UINT kTerminatedExitCode = 10001;
constexpr DWORD kNoneEnded = 0xFFFFFFFF;
constexpr DWORD kMaxWaitObjects = 64;

// "folder\*" (or "folder*" when it ends in a backslash) with every "/" turned into
// "\" first, so a folder given with slashes matches too; false when the pattern
// would not fit MAX_PATH, rather than matching a cut one.
bool MakeFolderPattern(const wchar_t* folder, std::wstring& pattern) {
    std::wstring text(folder);
    ReplaceAll(text, L"/", L"\\");
    pattern = text + (!text.empty() && text.back() == L'\\' ? L"*" : L"\\*");
    return pattern.size() < MAX_PATH;
}

std::wstring OwnExecutablePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

bool ListProcessIds(std::vector<DWORD>& ids) {
    ids.assign(kMaxProcessIds, 0);
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), kMaxProcessIds * sizeof(DWORD), &bytes)) return false;
    ids.resize(bytes / sizeof(DWORD));
    return true;
}

// The path of the process's executable module; false when it cannot be read.
bool ExecutablePath(HANDLE process, std::wstring& path) {
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!EnumProcessModules(process, &module, sizeof module, &needed)) return false;
    wchar_t buffer[MAX_PATH] = {};
    if (!GetModuleFileNameExW(process, module, buffer, MAX_PATH)) return false;
    path = buffer;
    return true;
}

// Visits every process that opens with the rights and has a readable executable
// path, until the visitor answers false.
void ForEachProcess(const std::vector<DWORD>& ids, DWORD access,
                    const std::function<bool(ScopedHandle&, const std::wstring&)>& visit) {
    for (DWORD id : ids) {
        ScopedHandle process(OpenProcess(access, FALSE, id));
        if (!process.IsValid()) continue;
        std::wstring path;
        if (!ExecutablePath(process.Get(), path)) continue;
        if (!visit(process, path)) return;
    }
}

// WaitForMultipleObjects takes 64 handles: wait in chunks against what is left of
// the one time-out.
DWORD WaitForAllHandles(const std::vector<ScopedHandle>& handles, DWORD timeout_ms) {
    std::vector<HANDLE> raw;
    for (const auto& h : handles) raw.push_back(h.Get());
    DWORD start = GetTickCount();
    for (size_t at = 0; at < raw.size(); at += kMaxWaitObjects) {
        DWORD count = static_cast<DWORD>(std::min<size_t>(kMaxWaitObjects, raw.size() - at));
        DWORD remaining = timeout_ms;
        if (timeout_ms != INFINITE) {
            DWORD elapsed = GetTickCount() - start;
            remaining = elapsed >= timeout_ms ? 0 : timeout_ms - elapsed;
        }
        DWORD result = WaitForMultipleObjects(count, raw.data() + at, TRUE, remaining);
        if (result == WAIT_TIMEOUT || result == WAIT_FAILED) return result;
    }
    return WAIT_OBJECT_0;
}

// The common walk of TerminateProcessesByName and ByPath: exe_name null matches any
// name; the ended processes' handles are kept for the wait.
DWORD TerminateUnderFolder(const wchar_t* folder, const std::wstring* exe_name, bool by_path,
                           DWORD timeout_ms) {
    std::wstring pattern;
    if (!folder || !MakeFolderPattern(folder, pattern)) return kNoneEnded;
    std::vector<DWORD> ids;
    if (!ListProcessIds(ids)) return kNoneEnded;
    std::wstring self = by_path ? OwnExecutablePath() : std::wstring();
    std::vector<ScopedHandle> ended;
    ForEachProcess(ids, PROCESS_ALL_ACCESS, [&](ScopedHandle& process, const std::wstring& path) {
        if (exe_name && !EqualNoCase(GetFileNameOf(path), *exe_name)) return true;
        if (!PathMatchSpecW(path.c_str(), pattern.c_str())) return true;
        if (by_path) {
            if (EqualNoCase(path, self)) return true;
            LOG_MESSAGE << "TerminateProcess current process path:" << path;
            if (!TerminateProcess(process.Get(), kTerminatedExitCode)) {
                LOG_ERROR << "TerminateProcess failed current process path:" << path
                          << " errorcode:" << static_cast<unsigned>(GetLastError());
            }
        } else {
            TerminateProcess(process.Get(), kTerminatedExitCode);
        }
        ended.push_back(std::move(process));
        return true;
    });
    if (ended.empty()) return kNoneEnded;
    return WaitForAllHandles(ended, timeout_ms);
}

}  // namespace

BOOL SyncShellExcute(const std::wstring& parameters, const std::wstring& file, bool wait) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOW;
    BOOL ok = ShellExecuteExW(&info);
    ScopedHandle process(info.hProcess);
    if (!ok) {
        LOG_ERROR << "[SyncShellExcute]调用ShellExecuteEx返回错误 errorcode"
                  << static_cast<unsigned>(GetLastError());
        return ok;
    }
    if (wait && process.IsValid()) WaitForSingleObject(process.Get(), INFINITE);
    return ok;
}

bool SyncCreateProcess(const std::wstring& exe_path, const std::wstring& arguments, bool wait,
                       std::wstring folder) {
    wchar_t command_line[kCommandLineSize];
    int length = swprintf(command_line, kCommandLineSize, L"\"%ls\" %ls", exe_path.c_str(),
                          arguments.c_str());
    if (length < 0) {
        // A cut command line would run something else than asked.
        LOG_ERROR << "[SyncCreateProcess]命令行过长 length:"
                  << static_cast<unsigned long long>(exe_path.size() + arguments.size() + 3);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LOG_MESSAGE << command_line;

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, command_line, nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        ScopedHandle process(info.hProcess);
        ScopedHandle thread(info.hThread);
        if (wait) WaitForSingleObject(process.Get(), INFINITE);
        return true;
    }
    LOG_ERROR << "[SyncCreateProcess]调用CreateProcess返回错误 errorcode:"
              << static_cast<unsigned>(GetLastError());
    return SyncShellExcute(arguments, exe_path, wait) == 1;
}

bool CreateProcessEx(wchar_t* command_line, uint16_t show_command, uint32_t timeout_ms,
                     uint32_t* exit_code) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    startup.wShowWindow = show_command;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        LOG_ERROR << "CreateProcessEx fail error code:" << static_cast<unsigned>(GetLastError())
                  << " cmdline:" << (command_line ? command_line : L"");
        return false;
    }
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);
    DWORD wait = WAIT_OBJECT_0;
    if (timeout_ms != 0) wait = WaitForSingleObject(process.Get(), timeout_ms);
    if (exit_code) {
        DWORD code = 0;
        *exit_code = GetExitCodeProcess(process.Get(), &code) ? code : 1;
    }
    return wait != WAIT_TIMEOUT;
}

DWORD FindProcessIdByName(const wchar_t* exe_name) {
    if (!exe_name) return 0;
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, exe_name) == 0) return entry.th32ProcessID;
    }
    return 0;
}

void FindProcessIdsByName(const wchar_t* exe_name, std::vector<DWORD>& ids) {
    if (!exe_name) return;
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) return;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, exe_name) == 0) ids.push_back(entry.th32ProcessID);
    }
}

bool IsProcessRunning(const std::wstring& exe_name) {
    return FindProcessIdByName(exe_name.c_str()) != 0;
}

std::wstring GetCurrentProcessName() {
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) return {};
    DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) return entry.szExeFile;
    }
    return {};
}

int FindProcessByPath(const wchar_t* folder, bool include_self, std::vector<std::wstring>& paths) {
    if (!folder) return 0;
    LOG_MESSAGE << "base::FindProcessByPath"
                << " find path:" << folder;
    std::wstring pattern;
    if (!MakeFolderPattern(folder, pattern)) return 0;
    std::vector<DWORD> ids;
    if (!ListProcessIds(ids)) return 0;
    std::wstring self = OwnExecutablePath();
    int count = 0;
    ForEachProcess(ids, kQueryReadTerminate, [&](ScopedHandle&, const std::wstring& path) {
        if (!include_self && EqualNoCase(path, self)) return true;
        if (PathMatchSpecW(path.c_str(), pattern.c_str())) {
            ++count;
            paths.push_back(path);
            LOG_MESSAGE << "FindProcessByPath current process path:" << path;
        }
        return true;
    });
    return count;
}

int CountProcessesByPath(const wchar_t* folder, bool include_self) {
    std::vector<std::wstring> paths;
    return FindProcessByPath(folder, include_self, paths);
}

bool IsProcessRunningInPath(const std::wstring& file_path) {
    if (!PathFileExistsW(file_path.c_str())) return false;
    std::wstring pattern;
    if (!MakeFolderPattern(GetFolderOfPath(file_path).c_str(), pattern)) return false;
    std::vector<DWORD> ids;
    if (!ListProcessIds(ids)) return false;
    std::wstring name = GetFileNameOf(file_path);
    bool found = false;
    ForEachProcess(ids, kQueryReadTerminate, [&](ScopedHandle&, const std::wstring& path) {
        found =
            PathMatchSpecW(path.c_str(), pattern.c_str()) && EqualNoCase(GetFileNameOf(path), name);
        return !found;
    });
    return found;
}

bool KillProcess(const std::wstring& exe_name) {
    DWORD id = FindProcessIdByName(exe_name.c_str());
    if (id > 0) return TerminateProcessById(id);
    LOG_MESSAGE << "KillProcess get process id failed path:" << exe_name;
    return false;
}

bool TerminateProcessById(DWORD process_id) {
    {
        ScopedHandle token(OpenCurrentThreadToken(GetCurrentThread()));
        if (!token.IsValid()) return false;
        if (!EnableDebugPrivilege(token.Get(), true)) return false;
    }
    ScopedHandle process(OpenProcess(PROCESS_ALL_ACCESS, TRUE, process_id));
    if (!process.IsValid()) return false;
    return TerminateProcess(process.Get(), 16) == 1;
}

DWORD TerminateProcessesByFile(const std::wstring& file_path, DWORD timeout_ms) {
    return TerminateProcessesByName(GetFolderOfPath(file_path).c_str(), GetFileNameOf(file_path),
                                    timeout_ms);
}

DWORD TerminateProcessesByName(const wchar_t* folder, const std::wstring& exe_name,
                               DWORD timeout_ms) {
    return TerminateUnderFolder(folder, &exe_name, false, timeout_ms);
}

DWORD TerminateProcessesByPath(const wchar_t* folder, DWORD timeout_ms) {
    return TerminateUnderFolder(folder, nullptr, true, timeout_ms);
}

HANDLE OpenCurrentThreadToken(HANDLE thread) {
    HANDLE token = nullptr;
    const DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    if (OpenThreadToken(thread, access, FALSE, &token)) return token;
    if (GetLastError() != ERROR_NO_TOKEN) return nullptr;
    if (!ImpersonateSelf(SecurityImpersonation)) return nullptr;
    if (OpenThreadToken(thread, access, FALSE, &token)) return token;
    return nullptr;
}

bool EnableDebugPrivilege(HANDLE token, bool enable) {
    LUID luid = {};
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &luid)) return false;
    TOKEN_PRIVILEGES query = {};
    query.PrivilegeCount = 1;
    query.Privileges[0].Luid = luid;
    TOKEN_PRIVILEGES previous = {};
    DWORD size = sizeof previous;
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token, FALSE, &query, sizeof query, &previous, &size) ||
        GetLastError() != ERROR_SUCCESS)
        return false;
    previous.PrivilegeCount = 1;
    previous.Privileges[0].Luid = luid;
    if (enable)
        previous.Privileges[0].Attributes |= SE_PRIVILEGE_ENABLED;
    else
        previous.Privileges[0].Attributes &= ~SE_PRIVILEGE_ENABLED;
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token, FALSE, &previous, size, nullptr, nullptr)) return false;
    return GetLastError() == ERROR_SUCCESS;
}

bool EnableThreadDebugPrivilege(HANDLE thread, bool enable) {
    if (!thread) return false;
    ScopedHandle token(OpenCurrentThreadToken(thread));
    if (!token.IsValid()) return false;
    return EnableDebugPrivilege(token.Get(), enable);
}

}  // namespace base
