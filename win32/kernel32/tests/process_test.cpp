// CreateProcessW, the command line a child gets, the process handle calls and
// process snapshots, with real child processes.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <algorithm>
#include <set>
#include <unistd.h>

#include "kernel_test.h"

using namespace proctest;
using testing_support::AsOrdinaryUser;
using testing_support::WriteAll;

namespace {

DWORD exit_code(HANDLE process) {
    DWORD code = 0xDEADu;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    return code;
}

TEST(CreateProcess, ExitCodesWaitsAndTerminationAsOnWindows) {
    Started ends(child() + L" exit 7"), sleeps(child() + L" sleep 5000");
    ASSERT_TRUE(ends.ok && sleeps.ok) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(ends.pi.hProcess, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code(ends.pi.hProcess), 7u);
    EXPECT_EQ(GetProcessId(ends.pi.hProcess), ends.pi.dwProcessId);
    EXPECT_EQ(Failed(!TerminateProcess(ends.pi.hProcess, 1)), ERROR_ACCESS_DENIED);  // it has ended
    EXPECT_EQ(exit_code(ends.pi.hProcess), 7u);

    EXPECT_EQ(exit_code(sleeps.pi.hProcess), 259u);
    HANDLE both[2] = {ends.pi.hProcess, sleeps.pi.hProcess};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(sleeps.pi.hThread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    HANDLE by_id = OpenProcess(PROCESS_ALL_ACCESS, FALSE, sleeps.pi.dwProcessId);
    ASSERT_TRUE(TerminateProcess(by_id, 10001));
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sleeps.pi.hThread, 0), WAIT_OBJECT_0);  // ends with it
    EXPECT_EQ(exit_code(by_id), 10001u);
    EXPECT_EQ(exit_code(sleeps.pi.hProcess), 10001u);
    CloseHandle(by_id);
    EXPECT_EQ(run(child() + L" exitprocess 42"), 42u);
}

TEST(CreateProcess, ProgramsAreFoundAndStartedAsOnWindows) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("bin"));
    copy_child(dir.file("plain.exe"), 0644);  // no execute bit
    copy_child(dir.file("tool.exe"));
    copy_child(dir.file("w32kid.exe"));
    copy_child(dir.file("bin/onpath"));
    WriteAll(dir.file("job"), "#!/bin/sh\nexit 9\n");
    write_file(dir.file("notes.exe"), "just some text\n", 0755);
    BackToStart back;
    std::filesystem::current_path(dir.path());
    testing_support::ScopedEnv path("PATH", dir.file("bin") + ":" + getenv("PATH"));
    const std::wstring folder = dir.win() + L"\\";
    const struct {
        std::wstring line;
        DWORD code;  // the exit code, or with 0xFFFFFFFF the error of the start
        DWORD error = 0;
        LPCWSTR cwd = nullptr;
    } cases[] = {
        {L"\"" + folder + L"plain.exe\" exit 5", 5},
        {L"\"" + folder + L"job\"", 9},
        {L"\"" + folder + L"tool\" exit 4", 4},  // .exe appended
        {L"w32kid exit 6", 6},                   // in the current folder
        {L"onpath exit 8", 8},
        {L"\"" + folder + L"notes.exe\"", 0xFFFFFFFF, ERROR_BAD_EXE_FORMAT},
        {L"\"" + folder + L"absent.exe\" x", 0xFFFFFFFF, ERROR_FILE_NOT_FOUND},
        {L"\"" + folder + L"no\\absent.exe\"", 0xFFFFFFFF, ERROR_PATH_NOT_FOUND},
        {L"\"" + folder + L"bin\"", 0xFFFFFFFF, ERROR_ACCESS_DENIED},  // a folder
        {folder + L"bin exit 3", 0xFFFFFFFF, ERROR_ACCESS_DENIED},
        {child() + L" exit 0", 0xFFFFFFFF, ERROR_DIRECTORY, L"Z:\\no\\such\\folder"},
    };
    for (const auto& t : cases) {
        SetLastError(0);
        EXPECT_EQ(run(t.line, t.cwd), t.code) << t.line;
        if (t.code == 0xFFFFFFFF) {
            EXPECT_EQ(GetLastError(), t.error) << t.line;
        }
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    EXPECT_FALSE(
        CreateProcessW(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CreateProcess, ProgramThatMayNotBeMadeExecutableStillStarts) {
    if (getuid() != 0) GTEST_SKIP() << "needs a file of another user; runs as root";
    // The files belong to root; a child that gave up root may read them but not chmod them.
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    copy_child(dir.file("image.exe"), 0644);
    copy_layer_library(dir.path());
    WriteAll(dir.file("script"), "#!/bin/sh\nexit 13\n");
    EXPECT_EQ(AsOrdinaryUser([&] {
                  setenv("LD_LIBRARY_PATH", dir.path().c_str(), 1);
                  return run(L"\"" + dir.winfile("image.exe") + L"\" exit 5") == 5 &&
                                 run(L"\"" + dir.winfile("script") + L"\"") == 13
                             ? 0
                             : 1;
              }),
              0);
    struct stat st;
    ASSERT_EQ(0, stat(dir.file("image.exe").c_str(), &st));
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(CreateProcess, TheChildRunsWhereAndWhatItIsToldWithTheStandardStreamsOnlyAndIsRecorded) {
    TempDir dir;
    for (const char* folder : {"my", "my app", "work"})
        std::filesystem::create_directories(dir.file(folder));
    copy_child(dir.file("my app/kid.exe"));
    copy_child(dir.file("app.exe"));
    const std::string out = dir.file("out.txt"), log = dir.file("starts.log");
    // What a download leaves open, inheritable or not, never reaches a child: sockets
    // made without close-on-exec (as libcurl makes them), such a file, a file handle.
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int held[] = {socket(AF_INET, SOCK_STREAM, 0), pair[0], pair[1],
                        open(child_path().c_str(), O_RDONLY)};
    Handle file(CreateFileW(UnixPathToWin32(child_path()).c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<int> standard;
    for (int fd : {0, 1, 2})
        if (fcntl(fd, F_GETFD) >= 0) standard.push_back(fd);
    // Unquoted, a path with blanks breaks at the blank for the child, which is
    // found past the folder "my".
    const std::wstring line = dir.winfile("my app\\kid.exe") + L" record " + widen(out);
    ASSERT_EQ(run(line), 0u);
    Record r = read_record(out);
    EXPECT_EQ(r.image, dir.file("my app/kid.exe"));
    EXPECT_EQ(r.args, (std::vector<std::string>{"app\\kid.exe", "record", out}));
    EXPECT_EQ(r.cmdline, line);
    EXPECT_EQ(r.fds, standard);
    std::filesystem::remove(dir.file("my"));
    copy_child(dir.file("my"));  // a prefix that is a program runs instead
    ASSERT_EQ(run(line), 0u);
    EXPECT_EQ(read_record(out).image, dir.file("my"));

    // The working folder, the application name apart from the command line, a hidden start.
    testing_support::ScopedEnv record_starts("WIN32_PROCESS_LOG", log);
    std::wstring app = dir.winfile("app.exe"), args = L"whatever record " + widen(out);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(app.c_str(), args.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, dir.winfile("work").c_str(), &si, &pi));
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    r = read_record(out);
    EXPECT_EQ(r.image, dir.file("app.exe"));
    EXPECT_EQ(r.cwd, dir.file("work"));
    EXPECT_EQ(r.cmdline, args);
    EXPECT_EQ(r.fds, standard);  // bInheritHandles TRUE passes nothing the layer made
    EXPECT_EQ(ReadAll(log), "CreateProcessW\t" + std::to_string(pi.dwProcessId) + "\t" +
                                std::string(args.begin(), args.end()) + "\n");
    for (int fd : held) close(fd);
}

TEST(CommandLine, TheChildSplitsItsLineByTheWindowsRulesAndGetsItBackExactly) {
    TempDir dir;
    const std::string out = dir.file("out.txt");
    const std::pair<std::wstring, std::vector<std::string>> cases[] = {
        {L"\"a b\" c\td", {"a b", "c", "d"}},
        {L"  spaced    out  ", {"spaced", "out"}},
        // x\y: literal; c\"d: an escaped quote; "e\\": 2n backslashes close the run;
        // f\\\\"g h": four backslashes give two and the quote opens a run.
        {L"x\\y c\\\"d \"e\\\\\" f\\\\\\\\\"g h\"", {"x\\y", "c\"d", "e\\", "f\\\\g h"}},
        // A doubled quote inside quotes is one quote, and the quotes go on.
        {L"\"\" \"a\"\"b c\" d", {"", "a\"b c", "d"}},
        {L"-o\"Z:\\some dir\" -aoa", {"-oZ:\\some dir", "-aoa"}},
        {L"\"下载 目录\" \x00e9t\x00e9", {"下载 目录", "\xc3\xa9t\xc3\xa9"}},
    };
    for (const auto& [arguments, expected] : cases) {
        const std::wstring line = child() + L" record " + widen(out) + L" " + arguments;
        ASSERT_EQ(run(line), 0u);
        Record r = read_record(out);
        EXPECT_EQ(r.cmdline, line);
        EXPECT_EQ(std::vector<std::string>(r.args.begin() + 2, r.args.end()), expected);
        EXPECT_EQ(r.cmdline_env, "absent");  // the handed-over line is not left to the child
    }
    ASSERT_NE(GetCommandLineW(), nullptr);
    EXPECT_EQ(GetCommandLineW(), GetCommandLineW());
}

TEST(CommandLine, AProgramStartedOutsideTheLayerGetsALineBuiltFromItsArguments) {
    TempDir dir;
    const std::string out = dir.file("exec.txt");
    // The second time with a handed-over line that does not match the arguments.
    for (const char* handed_over : {static_cast<const char*>(nullptr), "\"Z:\\x.exe\" two"}) {
        pid_t pid = fork();
        if (pid == 0) {
            handed_over ? setenv("WIN32_CMDLINE", handed_over, 1) : unsetenv("WIN32_CMDLINE");
            execl(child_path().c_str(), child_path().c_str(), "record", out.c_str(), "a b", "q\"t",
                  "tail\\", "", nullptr);
            _exit(127);
        }
        waitpid(pid, nullptr, 0);
        Record r = read_record(out);
        EXPECT_EQ(r.cmdline, UnixPathToWin32(child_path()) + L" record " + widen(out) +
                                 L" \"a b\" \"q\\\"t\" tail\\ \"\"");
        EXPECT_EQ(r.cmdline_env, "absent");
    }
}

TEST(ProcessHandles, PseudoAndOpenedHandlesNameTheirProcess) {
    HANDLE self = GetCurrentProcess();
    EXPECT_EQ(self, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
    EXPECT_EQ(GetProcessId(self), GetCurrentProcessId());
    EXPECT_EQ(exit_code(self), 259u);
    EXPECT_EQ(WaitForSingleObject(self, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(CloseHandle(self));
    EXPECT_EQ(GetProcessId(GetCurrentProcess()), GetCurrentProcessId());
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    EXPECT_EQ(GetProcessId(h), GetCurrentProcessId());
    EXPECT_TRUE(CloseHandle(h));

    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    for (DWORD id : {DWORD{0}, static_cast<DWORD>(gone)}) {
        EXPECT_EQ(Failed(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id) == nullptr),
                  ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(AsOrdinaryUser([] {
                  return !OpenProcess(PROCESS_ALL_ACCESS, FALSE, 1) &&
                                 GetLastError() == ERROR_ACCESS_DENIED
                             ? 0
                             : 1;
              }),
              0);
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7ffc));
    DWORD code;
    EXPECT_EQ(Failed(!GetExitCodeProcess(bogus, &code)), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(TerminateProcess(bogus, 1));
    EXPECT_EQ(GetProcessId(bogus), 0u);
}

TEST(ProcessHandles, AProcessStartedElsewhereCanBeWaitedForAndEnded) {
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
        _exit(127);
    }
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(exit_code(h), 259u);
    EXPECT_EQ(WaitForSingleObject(h, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(TerminateProcess(h, 77));
    EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code(h), 77u);
    CloseHandle(h);
    waitpid(pid, nullptr, 0);
}

std::vector<PROCESSENTRY32W> Walk(HANDLE snapshot) {
    std::vector<PROCESSENTRY32W> out;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snapshot, &e); ok; ok = Process32NextW(snapshot, &e))
        out.push_back(e);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    return out;
}

TEST(ProcessHandles, ImageNamesAreDrivePathsAndSnapshotsListTheProcesses) {
    TempDir dir;
    const std::string name = "w32snap-" + std::to_string(getpid()) + ".exe";
    copy_child(dir.file(name));
    Started p(L"\"" + dir.winfile(name) + L"\" sleep 5000");
    ASSERT_TRUE(p.ok);
    WCHAR image[MAX_PATH];
    DWORD size = MAX_PATH, tiny = 3;
    ASSERT_TRUE(QueryFullProcessImageNameW(p.pi.hProcess, 0, image, &size));
    EXPECT_EQ(std::wstring(image, size), dir.winfile(name));
    EXPECT_EQ(Failed(!QueryFullProcessImageNameW(p.pi.hProcess, 0, image, &tiny)),
              ERROR_INSUFFICIENT_BUFFER);

    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snap, INVALID_HANDLE_VALUE);
    const auto entries = Walk(snap);
    EXPECT_EQ(Walk(snap).size(), entries.size());  // First starts the walk again
    std::multiset<std::wstring> seen;
    for (const auto& e : entries) {
        if (e.th32ProcessID == p.pi.dwProcessId || e.th32ProcessID == GetCurrentProcessId())
            seen.insert(e.szExeFile + (L" " + std::to_wstring(e.th32ParentProcessID)));
        if (e.th32ProcessID == p.pi.dwProcessId) {
            EXPECT_GE(e.cntThreads, 1u);
        }
    }
    EXPECT_EQ(seen, (std::multiset<std::wstring>{
                        L"win32_kernel32_tests " + std::to_wstring(getppid()),
                        widen(name) + L" " + std::to_wstring(GetCurrentProcessId())}));
    PROCESSENTRY32W e{};
    EXPECT_EQ(Failed(!Process32FirstW(snap, &e)), ERROR_BAD_LENGTH);  // without its size
    CloseHandle(snap);
    e.dwSize = sizeof e;
    EXPECT_EQ(Failed(!Process32FirstW(reinterpret_cast<HANDLE>(uintptr_t{0x7ff0}), &e)),
              ERROR_INVALID_HANDLE);
}

}  // namespace
