// CreateProcessW: finds the program as Windows does, maps its path and starts it
// with the command line split by the Windows rules. A program file without the
// execute bit starts all the same: the layer adds the bit where the file's read
// bits are (as its owner may), and when it cannot, runs an ELF image from a
// private copy and a script through its interpreter.
#include "process_object.h"

#include <w32/cmdline.h>
#include <w32/error.h>
#include <w32/path.h>
#include <w32/spawn.h>
#include <w32/text.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace w32 {
namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool has_extension(std::wstring_view name) {
    auto sep = name.find_last_of(L"\\/:");
    auto base = sep == std::wstring_view::npos ? name : name.substr(sep + 1);
    return base.find(L'.') != std::wstring_view::npos;
}

bool is_regular_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool is_directory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string current_folder() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    return current_folder() + "/" + path;
}

std::string parent_folder(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string own_folder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? parent_folder(std::string(buf, static_cast<size_t>(n))) : std::string();
}

// "<base>.exe" when the name has no extension and that file exists, then the name.
std::string try_file(const std::string& base, bool add_exe) {
    if (add_exe && is_regular_file(base + ".exe")) return base + ".exe";
    return is_regular_file(base) ? base : std::string();
}

// A name with a folder is taken as it is (relative to the current folder); a bare
// name is looked for in the program's folder, the current folder and PATH.
std::string search(std::wstring_view name) {
    if (name.empty()) return {};
    const bool add_exe = !has_extension(name);
    std::string mapped = to_unix(name);
    if (mapped.empty()) return {};
    if (name.find_first_of(L"\\/:") != std::wstring_view::npos)
        return try_file(absolute(mapped), add_exe);

    std::vector<std::string> folders = {own_folder(), current_folder()};
    if (const char* path = getenv("PATH")) {
        std::string all(path);
        size_t pos = 0;
        while (pos <= all.size()) {
            size_t end = all.find(':', pos);
            if (end == std::string::npos) end = all.size();
            if (end > pos) folders.push_back(all.substr(pos, end - pos));
            pos = end + 1;
        }
    }
    for (auto& folder : folders) {
        if (folder.empty()) continue;
        std::string found = try_file(absolute(folder) + "/" + mapped, add_exe);
        if (!found.empty()) return found;
    }
    return {};
}

// The program of a command line without an application name: a quoted name, or
// for an unquoted one each prefix that ends before a blank, shortest first.
DWORD find_program(std::wstring_view line, std::string* out) {
    size_t start = 0;
    while (start < line.size() && is_blank(line[start])) ++start;
    std::vector<std::wstring_view> candidates;
    if (start < line.size() && line[start] == L'"') {
        size_t end = line.find(L'"', start + 1);
        if (end == std::wstring_view::npos) end = line.size();
        candidates.push_back(line.substr(start + 1, end - start - 1));
    } else {
        for (size_t i = start; i <= line.size(); ++i) {
            if (i == line.size() || is_blank(line[i])) {
                if (i > start && !is_blank(line[i - 1]))
                    candidates.push_back(line.substr(start, i - start));
            }
        }
    }
    for (auto c : candidates) {
        *out = search(c);
        if (!out->empty()) return ERROR_SUCCESS;
    }
    // A folder named with its path is found, and cannot be run.
    for (auto c : candidates) {
        if (c.find_first_of(L"\\/") != std::wstring_view::npos &&
            is_directory(absolute(to_unix(c))))
            return ERROR_ACCESS_DENIED;
    }
    if (!candidates.empty()) {
        std::string last = to_unix(candidates.back());
        if (candidates.back().find_first_of(L"\\/") != std::wstring_view::npos && !last.empty() &&
            !is_directory(parent_folder(absolute(last))))
            return ERROR_PATH_NOT_FOUND;
    }
    return ERROR_FILE_NOT_FOUND;
}

enum class ImageKind { Elf, Script, Unreadable };

struct Image {
    ImageKind kind = ImageKind::Elf;
    std::string interpreter;      // of a script
    std::string interpreter_arg;  // the rest of its "#!" line, one argument
};

DWORD inspect_image(const std::string& path, Image* image) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // An image we may run but not read is the kernel's to judge.
        if (errno == EACCES && access(path.c_str(), X_OK) == 0) {
            image->kind = ImageKind::Unreadable;
            return ERROR_SUCCESS;
        }
        return errno_to_win(errno);
    }
    char head[256];
    ssize_t n = read(fd, head, sizeof head);
    close(fd);
    if (n >= 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') {
        image->kind = ImageKind::Elf;
        return ERROR_SUCCESS;
    }
    if (n >= 2 && head[0] == '#' && head[1] == '!') {
        std::string line(head + 2, static_cast<size_t>(n - 2));
        line = line.substr(0, line.find('\n'));
        auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos) return ERROR_BAD_EXE_FORMAT;
        auto end = line.find_first_of(" \t", first);
        image->kind = ImageKind::Script;
        image->interpreter = line.substr(first, end == std::string::npos ? end : end - first);
        if (end != std::string::npos) {
            auto a = line.find_first_not_of(" \t", end);
            auto b = line.find_last_not_of(" \t\r");
            if (a != std::string::npos && b >= a)
                image->interpreter_arg = line.substr(a, b - a + 1);
        }
        return ERROR_SUCCESS;
    }
    return ERROR_BAD_EXE_FORMAT;
}

// Adds execute bits where the read bits are, as "chmod +x" would for the owner.
bool make_executable(const std::string& path) {
    if (access(path.c_str(), X_OK) == 0) return true;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    mode_t mode = st.st_mode & 07777;
    mode |= S_IXUSR | ((mode & (S_IRGRP | S_IROTH)) >> 2);
    return chmod(path.c_str(), mode) == 0 && access(path.c_str(), X_OK) == 0;
}

// A private executable copy of an image that may not be made executable in place.
int copy_to_memory(const std::string& path) {
    int src = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (src < 0) return -1;
    int fd = memfd_create("image", MFD_CLOEXEC);
    if (fd >= 0) {
        char buf[65536];
        ssize_t n;
        while ((n = read(src, buf, sizeof buf)) > 0) {
            if (write(fd, buf, static_cast<size_t>(n)) != n) {
                n = -1;
                break;
            }
        }
        if (n < 0) {
            close(fd);
            fd = -1;
        }
    }
    close(src);
    return fd;
}

std::vector<std::string> environment_entries(LPVOID block, DWORD flags) {
    std::vector<std::string> out;
    if (!block) {
        for (char** e = environ; e && *e; ++e) out.emplace_back(*e);
        return out;
    }
    if (flags & CREATE_UNICODE_ENVIRONMENT) {
        for (auto* p = static_cast<const wchar_t*>(block); *p; p += wlen(p) + 1)
            out.push_back(to_utf8(p));
    } else {
        for (auto* p = static_cast<const char*>(block); *p; p += strlen(p) + 1) out.emplace_back(p);
    }
    // "=C:=C:\x" entries are Windows' per-drive folders; they mean nothing here.
    out.erase(std::remove_if(out.begin(), out.end(),
                             [](const std::string& e) { return e.empty() || e[0] == '='; }),
              out.end());
    return out;
}

struct Launch {
    std::string exec_path;  // unused when exec_fd is set
    int exec_fd = -1;
    std::vector<std::string> argv;
    std::vector<std::string> envp;
    std::string folder;  // "" keeps the current folder
    bool new_group = false;
};

struct ChildFailure {
    int stage;  // 0 exec, 1 folder
    int err;
};

void close_other_fds(int keep_a, int keep_b, long max_fd) {
    int keep[2] = {std::min(keep_a, keep_b), std::max(keep_a, keep_b)};
    unsigned from = 3;
    for (int k : keep) {
        if (k < 3) continue;
        if (static_cast<unsigned>(k) > from) {
#ifdef SYS_close_range
            if (syscall(SYS_close_range, from, static_cast<unsigned>(k) - 1, 0) != 0)
#endif
                for (unsigned fd = from; fd < static_cast<unsigned>(k); ++fd)
                    close(static_cast<int>(fd));
        }
        from = static_cast<unsigned>(k) + 1;
    }
#ifdef SYS_close_range
    if (syscall(SYS_close_range, from, ~0u, 0) == 0) return;
#endif
    for (long fd = from; fd < max_fd; ++fd) close(static_cast<int>(fd));
}

// Forks and execs; answers the child's id, or -1 with *err set to the errno and
// *stage to where the child failed.
pid_t launch(const Launch& l, int* err, int* stage) {
    std::vector<char*> argv, envp;
    for (auto& a : l.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : l.envp) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const long max_fd = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *err = errno;
        *stage = 0;
        return -1;
    }
    pid_t pid = fork();
    if (pid < 0) {
        *err = errno;
        *stage = 0;
        close(report[0]);
        close(report[1]);
        return -1;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl;
        memset(&dfl, 0, sizeof dfl);
        dfl.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &dfl, nullptr);
        if (l.new_group) setpgid(0, 0);
        ChildFailure failure{0, 0};
        if (!l.folder.empty() && chdir(l.folder.c_str()) != 0) {
            failure = {1, errno};
        } else {
            // Only the standard streams pass, whatever bInheritHandles says: Windows
            // passes the handles marked inheritable, and the layer marks none, so the
            // program's sockets, pipes and files never reach the child.
            close_other_fds(report[1], l.exec_fd, max_fd);
            if (l.exec_fd >= 0) {
                syscall(SYS_execveat, l.exec_fd, "", argv.data(), envp.data(), AT_EMPTY_PATH);
            } else {
                execve(l.exec_path.c_str(), argv.data(), envp.data());
            }
            failure = {0, errno};
        }
        ssize_t unused [[maybe_unused]] = write(report[1], &failure, sizeof failure);
        _exit(127);
    }
    close(report[1]);
    ChildFailure failure{0, 0};
    ssize_t n;
    do {
        n = read(report[0], &failure, sizeof failure);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n == static_cast<ssize_t>(sizeof failure)) {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        *err = failure.err;
        *stage = failure.stage;
        return -1;
    }
    return pid;
}

DWORD exec_error(int err, int stage) {
    if (stage == 1) return ERROR_DIRECTORY;
    switch (err) {
        case ENOEXEC:
        case ELIBBAD:
            return ERROR_BAD_EXE_FORMAT;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        default:
            return errno_to_win(err);
    }
}

void record_start(const char* api, pid_t pid, const std::wstring& line) {
    const char* log = getenv("WIN32_PROCESS_LOG");
    if (!log || !*log) return;
    std::string entry = std::string(api) + "\t" + std::to_string(pid) + "\t" + to_utf8(line) + "\n";
    int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    ssize_t unused [[maybe_unused]] = write(fd, entry.data(), entry.size());
    close(fd);
}

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

BOOL create_process(const char* api, LPCWSTR application_name, LPWSTR command_line, BOOL,
                    DWORD creation_flags, LPVOID environment, LPCWSTR current_directory,
                    LPSTARTUPINFOW, LPPROCESS_INFORMATION info) {
    const bool have_app = application_name && *application_name;
    const bool have_line = command_line && *command_line;
    if (!info || (!have_app && !have_line)) return fail(ERROR_INVALID_PARAMETER);
    // Nothing here could resume a suspended child.
    if (creation_flags & CREATE_SUSPENDED) return fail(ERROR_NOT_SUPPORTED);

    const std::wstring line =
        have_line ? std::wstring(command_line) : quote_program_name(application_name);
    std::string program;
    if (have_app) {
        program = absolute(to_unix(application_name));
        if (!is_regular_file(program)) {
            if (is_directory(program)) return fail(ERROR_ACCESS_DENIED);
            return fail(program.empty() || !is_directory(parent_folder(program))
                            ? ERROR_PATH_NOT_FOUND
                            : ERROR_FILE_NOT_FOUND);
        }
    } else {
        DWORD err = find_program(line, &program);
        if (err != ERROR_SUCCESS) return fail(err);
    }

    Image image;
    if (DWORD err = inspect_image(program, &image); err != ERROR_SUCCESS) return fail(err);

    Launch l;
    if (current_directory && *current_directory) {
        l.folder = absolute(to_unix(current_directory));
        if (l.folder.empty() || !is_directory(l.folder)) return fail(ERROR_DIRECTORY);
    }
    auto args = split_command_line(line);
    l.argv.push_back(program);
    for (size_t i = 1; i < args.size(); ++i) l.argv.push_back(to_utf8(args[i]));
    for (auto& e : environment_entries(environment, creation_flags)) {
        if (e.rfind("WIN32_CMDLINE=", 0) != 0) l.envp.push_back(std::move(e));
    }
    l.envp.push_back("WIN32_CMDLINE=" + to_utf8(line));
    l.new_group = (creation_flags & CREATE_NEW_PROCESS_GROUP) != 0;

    FdCloser copy;
    l.exec_path = program;
    if (image.kind != ImageKind::Unreadable && !make_executable(program)) {
        if (image.kind == ImageKind::Elf) {
            copy.fd = copy_to_memory(program);
            if (copy.fd < 0) return fail_errno();
            l.exec_fd = copy.fd;
        } else {
            l.exec_path = image.interpreter;
            std::vector<std::string> argv = {image.interpreter};
            if (!image.interpreter_arg.empty()) argv.push_back(image.interpreter_arg);
            argv.push_back(program);
            argv.insert(argv.end(), l.argv.begin() + 1, l.argv.end());
            l.argv = std::move(argv);
        }
    }

    int err = 0, stage = 0;
    pid_t pid = -1;
    // A program just written may still be open for writing in a child that another
    // thread is forking; that passes in a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        pid = launch(l, &err, &stage);
        if (pid >= 0 || err != ETXTBSY) break;
        usleep(10000);
    }
    if (pid < 0) return fail(exec_error(err, stage));

    auto process = ProcessObject::adopt_child(pid);
    HANDLE hp = new_handle(process);
    HANDLE ht = hp ? new_handle(std::make_shared<ChildThreadObject>(process)) : nullptr;
    if (!ht) {
        if (hp) close_handle(hp);
        return FALSE;
    }
    info->hProcess = hp;
    info->hThread = ht;
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = static_cast<DWORD>(pid);  // a process's first thread has its id
    record_start(api, pid, line);
    return TRUE;
}

}  // namespace w32

BOOL WINAPI CreateProcessW(LPCWSTR application_name, LPWSTR command_line, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL inherit_handles, DWORD creation_flags,
                           LPVOID environment, LPCWSTR current_directory,
                           LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information) {
    return w32::create_process("CreateProcessW", application_name, command_line, inherit_handles,
                               creation_flags, environment, current_directory, startup_info,
                               process_information);
}
