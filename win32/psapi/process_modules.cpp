// Process and module enumeration from /proc. A process's modules are the files
// mapped from their start, the image first; a module handle is the address at
// which that file is mapped in the process.
#include <w32/error.h>
#include <w32/path.h>
#include <w32/procfs.h>

#include <psapi.h>

#include <algorithm>
#include <string>

using namespace w32;

namespace {

// The id behind a process handle, or 0 with the last error set.
pid_t pid_of(HANDLE process) {
    DWORD pid = GetProcessId(process);
    return static_cast<pid_t>(pid);
}

}  // namespace

BOOL WINAPI EnumProcesses(DWORD* process_ids, DWORD cb, LPDWORD bytes_returned) {
    if (!process_ids || !bytes_returned) return fail(ERROR_INVALID_PARAMETER);
    auto pids = procfs::list_pids();
    DWORD room = cb / sizeof(DWORD);
    DWORD n = 0;
    for (pid_t pid : pids) {
        if (n == room) break;
        process_ids[n++] = static_cast<DWORD>(pid);
    }
    *bytes_returned = n * sizeof(DWORD);
    return TRUE;
}

BOOL WINAPI EnumProcessModules(HANDLE process, HMODULE* modules, DWORD cb, LPDWORD bytes_needed) {
    pid_t pid = pid_of(process);
    if (pid == 0) return FALSE;
    if (!bytes_needed) return fail(ERROR_INVALID_PARAMETER);
    auto mods = procfs::modules(pid);
    // No map to read: the process ended, or it is not ours to look into.
    if (mods.empty())
        return fail(procfs::is_process(pid) ? ERROR_ACCESS_DENIED : ERROR_PARTIAL_COPY);
    DWORD room = modules ? cb / sizeof(HMODULE) : 0;
    for (DWORD i = 0; i < room && i < mods.size(); ++i)
        modules[i] = reinterpret_cast<HMODULE>(mods[i].base);
    *bytes_needed = static_cast<DWORD>(mods.size() * sizeof(HMODULE));
    return TRUE;
}

DWORD WINAPI GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR file_name, DWORD size) {
    pid_t pid = pid_of(process);
    if (pid == 0) return 0;
    if (!file_name || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string path;
    if (!module) {
        path = procfs::exe_path(pid);
    } else {
        for (auto& m : procfs::modules(pid)) {
            if (reinterpret_cast<HMODULE>(m.base) == module) {
                path = m.path;
                break;
            }
        }
    }
    if (path.empty()) {
        SetLastError(module ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return 0;
    }
    std::wstring win = to_windows(path);
    // A longer name is cut to fit, as Windows does.
    DWORD n = static_cast<DWORD>(std::min<size_t>(win.size(), size - 1));
    win.copy(file_name, n);
    file_name[n] = L'\0';
    return n;
}
