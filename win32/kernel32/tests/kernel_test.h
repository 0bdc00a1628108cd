// What the kernel32 tests share: a handle holder, a test's own folder with a drive
// table of folders inside it, and the child program the process tests start.
#pragma once

#include <windows.h>
#include <win32_unixpath.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

// The last error a call left when it failed, 0 when it did not.
inline int Failed(bool failed) { return failed ? static_cast<int>(GetLastError()) : 0; }

// Closes a kernel handle when a test's scope ends, so a failed assertion leaks none.
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class FileTestFolder : public testing_support::TempDir {
public:
    // Makes <folder>/<name> and answers its Linux path.
    std::string make_dir(const std::string& name) const {
        std::filesystem::create_directories(file(name));
        return file(name);
    }
    // WIN32_DRIVES = spec, where "%" stands for this folder, until this object goes.
    void set_drives(std::string spec) {
        for (size_t pos; (pos = spec.find('%')) != std::string::npos;) spec.replace(pos, 1, path());
        drives_.reset();
        drives_ = std::make_unique<testing_support::ScopedEnv>("WIN32_DRIVES", spec);
    }

private:
    std::unique_ptr<testing_support::ScopedEnv> drives_;
};

// The child program: "exit <code>", "exitprocess <code>", "sleep <ms>", "record
// <file>" among its arguments; without arguments it takes commands on its input.
namespace proctest {

inline std::string child_path() { return W32_PROC_CHILD; }
inline std::wstring child() { return L"\"" + UnixPathToWin32(child_path()) + L"\""; }
inline std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A copy of the child program at `to`, with the given mode bits.
inline void copy_child(const std::string& to, mode_t mode = 0755) {
    std::filesystem::copy_file(child_path(), to, std::filesystem::copy_options::overwrite_existing);
    chmod(to.c_str(), mode);
}

// What "record <file>" wrote: its image, folder, arguments after the program
// name, whether WIN32_CMDLINE was left to it, and GetCommandLineW.
struct Record {
    std::string image, cwd, cmdline_env;
    std::vector<std::string> args;
    std::wstring cmdline;
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
    }
    std::string wide = testing_support::ReadAll(path + ".w");
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
