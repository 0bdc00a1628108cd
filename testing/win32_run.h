// Starts a program through CreateProcessW with a whole command line, as the client
// starts its companions, and waits for it: its exit code, process id and what it
// printed (children share this process's standard streams, pointed at a file meanwhile).
#pragma once

#include <windows.h>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "testing/temp_dir.h"

namespace testing_support {

struct Win32Run {
    bool started = false;
    DWORD exit_code = 0xFFFFFFFFu, pid = 0;
    std::string output;  // standard output and standard error together
};

inline Win32Run RunWin32(std::wstring line, const std::wstring& folder = L"") {
    TempDir scratch;
    const std::string log = scratch.file("output");
    fflush(stdout), fflush(stderr);
    const int saved[] = {dup(1), dup(2)}, fd = open(log.c_str(), O_WRONLY | O_CREAT, 0600);
    dup2(fd, 1), dup2(fd, 2), close(fd);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Win32Run run;
    run.started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                 nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    if (run.started) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &run.exit_code);
        CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
        run.pid = pi.dwProcessId;
    }
    for (int i : {1, 2}) dup2(saved[i - 1], i), close(saved[i - 1]);
    run.output = ReadAll(log);
    return run;
}

}  // namespace testing_support
