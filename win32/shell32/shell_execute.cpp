// ShellExecuteW / ShellExecuteExW. A program runs as CreateProcessW runs it; a
// folder, a document or an address opens with xdg-open. WIN32_SHELL_LOG names a
// file that records every such opening (one line: kind, Windows target, Linux
// target) instead of starting xdg-open, for tests and headless runs.
#include <w32/cmdline.h>
#include <w32/path.h>
#include <w32/spawn.h>
#include <w32/text.h>

#include <shellapi.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cwctype>
#include <string>
#include <vector>

using namespace w32;

namespace {

// What Windows answers for a success; any value above 32 would do.
const HINSTANCE kShellOk = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));

HINSTANCE shell_code(INT_PTR v) { return reinterpret_cast<HINSTANCE>(v); }

std::wstring lower(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out) c = static_cast<wchar_t>(towlower(c));
    return out;
}

bool is_url(std::wstring_view s) {
    // A scheme of two or more characters, so that "C:\x" stays a path.
    auto colon = s.find(L':');
    if (colon == std::wstring_view::npos || colon < 2 || !iswalpha(s[0])) return false;
    for (size_t i = 0; i < colon; ++i) {
        wchar_t c = s[i];
        if (!iswalnum(c) && c != L'+' && c != L'-' && c != L'.') return false;
    }
    return true;
}

std::wstring base_name(std::wstring_view path) {
    auto sep = path.find_last_of(L"\\/");
    return std::wstring(sep == std::wstring_view::npos ? path : path.substr(sep + 1));
}

bool has_extension(std::wstring_view path) {
    return base_name(path).find(L'.') != std::wstring::npos;
}

std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string current_folder() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return current_folder() + "/" + path;
}

bool exists(const std::string& path, struct stat* st) {
    return !path.empty() && stat(path.c_str(), st) == 0;
}

std::vector<std::string> path_folders() {
    std::vector<std::string> out;
    const char* path = getenv("PATH");
    std::string all = path ? path : "";
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find(':', pos);
        if (end == std::string::npos) end = all.size();
        if (end > pos) out.push_back(all.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

// The file as the shell finds it: against the given folder, then the current
// folder, and for a bare name also the program's folder and PATH (".exe" tried
// first when the name has none). "" when nothing is there.
std::string resolve(std::wstring_view file, std::wstring_view directory) {
    std::string mapped = to_unix(file);
    if (mapped.empty()) return {};
    std::vector<std::string> folders;
    if (mapped[0] == '/') {
        folders.push_back("");
    } else {
        if (!directory.empty()) folders.push_back(absolute(to_unix(directory)));
        folders.push_back(current_folder());
    }
    const bool bare = file.find_first_of(L"\\/:") == std::wstring_view::npos;
    if (bare) {
        char self[4096];
        ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) folders.push_back(folder_of(std::string(self, static_cast<size_t>(n))));
        for (auto& f : path_folders()) folders.push_back(absolute(f));
    }
    const bool add_exe = !has_extension(file);
    struct stat st;
    for (auto& folder : folders) {
        std::string base = folder.empty() ? mapped : folder + "/" + mapped;
        if (add_exe && exists(base + ".exe", &st) && S_ISREG(st.st_mode)) return base + ".exe";
        if (exists(base, &st)) return base;
    }
    return {};
}

// Programs are what Windows would start (".exe", ".com") and, on this side,
// images and scripts that carry an execute bit or no extension at all.
bool is_program(const std::string& path, std::wstring_view name) {
    std::wstring ext = lower(base_name(name));
    auto dot = ext.rfind(L'.');
    ext = dot == std::wstring::npos ? L"" : ext.substr(dot);
    if (ext == L".exe" || ext == L".com") return true;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (!ext.empty() && !(st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH))) return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char head[4] = {};
    ssize_t n = read(fd, head, sizeof head);
    close(fd);
    return (n == 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') ||
           (n >= 2 && head[0] == '#' && head[1] == '!');
}

INT_PTR code_for_error(DWORD err) {
    switch (err) {
        case ERROR_FILE_NOT_FOUND:
            return SE_ERR_FNF;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
            return SE_ERR_PNF;
        case ERROR_ACCESS_DENIED:
            return SE_ERR_ACCESSDENIED;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return SE_ERR_OOM;
        case ERROR_BAD_EXE_FORMAT:
            return ERROR_BAD_FORMAT;
        default:
            return SE_ERR_NOASSOC;
    }
}

BOOL failed(SHELLEXECUTEINFOW* info, DWORD err) {
    info->hInstApp = shell_code(code_for_error(err));
    SetLastError(err);
    return FALSE;
}

BOOL started(SHELLEXECUTEINFOW* info, const PROCESS_INFORMATION& pi) {
    CloseHandle(pi.hThread);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
        info->hProcess = pi.hProcess;
    } else {
        CloseHandle(pi.hProcess);
    }
    info->hInstApp = kShellOk;
    return TRUE;
}

BOOL run_program(SHELLEXECUTEINFOW* info, const std::string& path) {
    std::wstring program = to_windows(path);
    std::wstring line = L"\"" + program + L"\"";
    if (info->lpParameters && *info->lpParameters) line += L" " + std::wstring(info->lpParameters);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(info->nShow);
    PROCESS_INFORMATION pi{};
    LPCWSTR dir = info->lpDirectory && *info->lpDirectory ? info->lpDirectory : nullptr;
    if (!create_process("ShellExecuteExW", program.c_str(), line.data(), FALSE, 0, nullptr, dir,
                        &si, &pi))
        return failed(info, GetLastError());
    return started(info, pi);
}

// Hands a folder, a document or an address to the desktop's opener (or to the record).
BOOL open_with_desktop(SHELLEXECUTEINFOW* info, const char* kind, const std::wstring& target,
                       const std::string& unix_target) {
    if (const char* log = getenv("WIN32_SHELL_LOG"); log && *log) {
        std::string entry = std::string(kind) + "\t" + to_utf8(target) + "\t" + unix_target + "\n";
        int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return failed(info, ERROR_ACCESS_DENIED);
        ssize_t n = write(fd, entry.data(), entry.size());
        close(fd);
        if (n != static_cast<ssize_t>(entry.size())) return failed(info, ERROR_WRITE_FAULT);
        info->hInstApp = kShellOk;
        return TRUE;
    }
    std::string opener;
    for (auto& folder : path_folders()) {
        std::string candidate = folder + "/xdg-open";
        if (access(candidate.c_str(), X_OK) == 0) {
            opener = absolute(candidate);
            break;
        }
    }
    if (opener.empty()) return failed(info, ERROR_NO_ASSOCIATION);
    std::wstring program = to_windows(opener);
    std::wstring line = quote_program_name(program) + L" " + quote_argument(from_utf8(unix_target));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!create_process("ShellExecuteExW", program.c_str(), line.data(), FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return failed(info, GetLastError());
    return started(info, pi);
}

// explorer's argument: a folder, or switches such as "/e,<folder>" and
// "/select,<file>" (which shows the file's folder).
std::wstring explorer_folder(std::wstring_view parameters) {
    auto args = split_command_line(L"explorer " + std::wstring(parameters));
    for (size_t i = 1; i < args.size(); ++i) {
        std::wstring a = args[i];
        if (a.empty()) continue;
        if (a[0] != L'/') return a;
        auto comma = a.find(L',');
        if (comma == std::wstring::npos) continue;
        std::wstring rest = a.substr(comma + 1);
        if (rest.empty()) continue;
        if (lower(a.substr(0, comma)) == L"/select") {
            auto sep = rest.find_last_of(L"\\/");
            return sep == std::wstring::npos ? L"." : rest.substr(0, sep);
        }
        return rest;
    }
    return {};
}

BOOL shell_execute(SHELLEXECUTEINFOW* info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    if (!info->lpFile || !*info->lpFile) return failed(info, ERROR_FILE_NOT_FOUND);
    // "runas" would ask for elevation on Windows; here it opens like "open".
    std::wstring verb = info->lpVerb ? lower(info->lpVerb) : L"";
    if (verb != L"" && verb != L"open" && verb != L"runas" && verb != L"explore" &&
        verb != L"opennew")
        return failed(info, ERROR_NO_ASSOCIATION);

    std::wstring_view file = info->lpFile;
    if (is_url(file)) return open_with_desktop(info, "url", std::wstring(file), to_utf8(file));

    std::wstring name = lower(base_name(file));
    if (name == L"explorer" || name == L"explorer.exe") {
        std::wstring folder = explorer_folder(info->lpParameters ? info->lpParameters : L"");
        std::string unix_folder;
        if (folder.empty()) {
            const char* home = getenv("HOME");
            unix_folder = home && *home ? home : "/";
        } else {
            unix_folder = absolute(to_unix(folder));
        }
        return open_with_desktop(info, "folder", to_windows(unix_folder), unix_folder);
    }

    std::string path = resolve(file, info->lpDirectory ? info->lpDirectory : L"");
    if (path.empty()) return failed(info, ERROR_FILE_NOT_FOUND);
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return open_with_desktop(info, "folder", to_windows(path), path);
    if (is_program(path, file)) return run_program(info, path);
    return open_with_desktop(info, "document", to_windows(path), path);
}

}  // namespace

BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* info) { return shell_execute(info); }

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                               LPCWSTR directory, INT show_cmd) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = hwnd;
    info.lpVerb = operation;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = show_cmd;
    shell_execute(&info);
    return info.hInstApp;
}
