// Support for the tests that start the child program: where it is, temporary
// folders of a test's own, and reading what the child recorded.
#pragma once

#include <windows.h>
#include <win32_unixpath.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef W32_PROC_CHILD
#error "W32_PROC_CHILD must name the child program"
#endif

namespace proctest {

inline std::string child_path() { return W32_PROC_CHILD; }

inline std::wstring win_path(const std::string& unix_path) { return UnixPathToWin32(unix_path); }

class TempDir {
public:
    TempDir() {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/w32proc-XXXXXX";
        if (mkdtemp(tmpl.data())) path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::wstring win(const std::string& name = "") const {
        return win_path(name.empty() ? path_ : file(name));
    }

private:
    std::string path_;
};

// A copy of the child program at `to`, with the given mode bits.
inline void copy_child(const std::string& to, mode_t mode = 0755) {
    std::filesystem::copy_file(child_path(), to, std::filesystem::copy_options::overwrite_existing);
    chmod(to.c_str(), mode);
}

inline void write_file(const std::string& path, const std::string& text, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Record {
    bool found = false;
    std::string image;
    std::string cwd;
    std::string cmdline_env;
    std::vector<std::string> args;  // after the program name
    std::wstring cmdline;           // GetCommandLineW in the child
};

inline Record read_record(const std::string& path) {
    Record r;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        r.found = true;
        auto eq = line.find('=');
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "image") r.image = value;
        if (key == "cwd") r.cwd = value;
        if (key == "cmdline_env") r.cmdline_env = value;
        if (key == "arg") r.args.push_back(value);
    }
    std::string wide = read_file(path + ".w");
    r.cmdline.assign(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t));
    return r;
}

// Starts a command line; the caller closes the handles.
inline bool start(const std::wstring& line, PROCESS_INFORMATION* pi, LPCWSTR folder = nullptr,
                  DWORD flags = 0) {
    std::wstring buf = line;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    *pi = PROCESS_INFORMATION{};
    return CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, flags, nullptr, folder, &si,
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

inline std::wstring in_quotes(const std::wstring& s) { return L"\"" + s + L"\""; }

inline std::wstring widen(const std::string& s) {
    return std::wstring(s.begin(), s.end());  // ASCII paths of the tests
}

}  // namespace proctest
