// The child program the process tests start (W32_PROC_CHILD), what it records, and
// the shared temporary folders; for the kernel32, shell32 and psapi tests.
#pragma once

#include <windows.h>
#include <win32_unixpath.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

// The child program: "exit <code>", "exitprocess <code>", "sleep <ms>", "record
// <file>" among its arguments; without arguments it takes commands on its input.
namespace proctest {

using testing_support::ReadAll;
using testing_support::TempDir;

inline std::string child_path() { return W32_PROC_CHILD; }
inline std::wstring child() { return L"\"" + UnixPathToWin32(child_path()) + L"\""; }
inline std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

inline void write_file(const std::string& path, const std::string& text, mode_t mode = 0644) {
    testing_support::WriteAll(path, text);
    chmod(path.c_str(), mode);
}

// A copy of the child program at `to`, with the given mode bits.
inline void copy_child(const std::string& to, mode_t mode = 0755) {
    std::filesystem::copy_file(child_path(), to, std::filesystem::copy_options::overwrite_existing);
    chmod(to.c_str(), mode);
}

// Copies the layer's library into `folder`, for a child that runs as another user and
// may not reach the build folder (a clone in a private folder): LD_LIBRARY_PATH names it.
inline void copy_layer_library(const std::string& folder) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line) && !line.ends_with("/libwin32.so")) {
    }
    std::filesystem::copy_file(line.substr(line.find('/')), folder + "/libwin32.so",
                               std::filesystem::copy_options::overwrite_existing);
}

// What "record <file>" wrote: its image, folder, arguments after the program
// name, whether WIN32_CMDLINE was left to it, GetCommandLineW and its descriptors.
struct Record {
    std::string image, cwd, cmdline_env;
    std::vector<std::string> args;
    std::wstring cmdline;
    std::vector<int> fds;  // the descriptors open when it started
};

inline Record read_record(const std::string& path) {
    Record r;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        auto eq = line.find('=');
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "arg") r.args.push_back(value);
        if (key == "image") r.image = value;
        if (key == "cwd") r.cwd = value;
        if (key == "cmdline_env") r.cmdline_env = value;
        if (key == "fd") r.fds.push_back(std::stoi(value));
    }
    std::string wide = ReadAll(path + ".w");
    r.cmdline.assign(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t));
    return r;
}

// Starts a command line; the caller closes the handles.
inline bool start(const std::wstring& line, PROCESS_INFORMATION* pi, LPCWSTR folder = nullptr) {
    std::wstring buf = line;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    *pi = PROCESS_INFORMATION{};
    return CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si,
                          pi) != FALSE;
}

// A started command line, ended (if still running) and closed with the object.
struct Started {
    PROCESS_INFORMATION pi{};
    bool ok = false;
    explicit Started(const std::wstring& line) { ok = start(line, &pi); }
    ~Started() {
        if (!ok) return;
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 2000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};

// Runs a command line to its end; the exit code, or 0xFFFFFFFF when it did not start.
inline DWORD run(const std::wstring& line, LPCWSTR folder = nullptr) {
    PROCESS_INFORMATION pi;
    if (!start(line, &pi, folder)) return 0xFFFFFFFFu;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFFu;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace proctest
