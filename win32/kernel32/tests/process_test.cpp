// CreateProcessW and the process handle calls, with real child processes.
#include "child_program.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

using namespace proctest;

namespace {

std::wstring child() { return in_quotes(win_path(child_path())); }

struct Started {
    PROCESS_INFORMATION pi{};
    explicit Started(const std::wstring& line, LPCWSTR folder = nullptr) {
        ok = start(line, &pi, folder);
    }
    ~Started() {
        if (!ok) return;
        DWORD code;
        if (GetExitCodeProcess(pi.hProcess, &code) && code == STILL_ACTIVE)
            TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    bool ok = false;
};

DWORD exit_code(HANDLE process) {
    DWORD code = 0xDEADu;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    return code;
}

}  // namespace

TEST(CreateProcess, ChildExitCodeIsReportedAfterItEnds) {
    Started p(child() + L" exit 7");
    ASSERT_TRUE(p.ok) << GetLastError();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.pi.hProcess, 5000));
    EXPECT_EQ(7u, exit_code(p.pi.hProcess));
    EXPECT_NE(0u, p.pi.dwProcessId);
    EXPECT_EQ(p.pi.dwProcessId, GetProcessId(p.pi.hProcess));
}

TEST(CreateProcess, RunningChildReportsStillActiveAndWaitTimesOut) {
    Started p(child() + L" sleep 5000");
    ASSERT_TRUE(p.ok) << GetLastError();
    EXPECT_EQ(259u, exit_code(p.pi.hProcess));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(p.pi.hProcess, 50));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(p.pi.hThread, 0));
}

TEST(CreateProcess, TerminateProcessEndsTheChildWithTheGivenCode) {
    Started p(child() + L" sleep 5000");
    ASSERT_TRUE(p.ok);
    ASSERT_TRUE(TerminateProcess(p.pi.hProcess, 10001));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.pi.hProcess, 2000));
    EXPECT_EQ(10001u, exit_code(p.pi.hProcess));
    // The thread handle ends with the process.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.pi.hThread, 0));
}

TEST(CreateProcess, TerminateCodeIsSeenThroughAHandleOpenedById) {
    Started p(child() + L" sleep 5000");
    ASSERT_TRUE(p.ok);
    HANDLE other = OpenProcess(PROCESS_ALL_ACCESS, FALSE, p.pi.dwProcessId);
    ASSERT_NE(nullptr, other);
    ASSERT_TRUE(TerminateProcess(other, 16));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(other, 2000));
    EXPECT_EQ(16u, exit_code(other));
    EXPECT_EQ(16u, exit_code(p.pi.hProcess));
    CloseHandle(other);
}

TEST(CreateProcess, TerminatingAnEndedProcessIsRefused) {
    Started p(child() + L" exit 0");
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(p.pi.hProcess, 5000));
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(p.pi.hProcess, 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, exit_code(p.pi.hProcess));
}

TEST(CreateProcess, ExitProcessCodeReachesTheParent) {
    EXPECT_EQ(42u, run(child() + L" exitprocess 42"));
}

TEST(CreateProcess, WaitForAllChildrenEndsWhenTheLastOneEnds) {
    Started a(child() + L" sleep 50");
    Started b(child() + L" sleep 400");  // still running however late the first wait is
    ASSERT_TRUE(a.ok && b.ok);
    HANDLE both[2] = {a.pi.hProcess, b.pi.hProcess};
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForMultipleObjects(2, both, TRUE, 10));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, TRUE, 5000));
    EXPECT_EQ(0u, exit_code(a.pi.hProcess));
    EXPECT_EQ(0u, exit_code(b.pi.hProcess));
}

TEST(CreateProcess, WaitForAnyChildAnswersTheOneThatEnded) {
    Started a(child() + L" sleep 5000");
    Started b(child() + L" exit 3");
    ASSERT_TRUE(a.ok && b.ok);
    HANDLE both[2] = {a.pi.hProcess, b.pi.hProcess};
    EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(2, both, FALSE, 5000));
}

TEST(CreateProcess, ProgramWithoutExecuteBitStarts) {
    TempDir dir;
    copy_child(dir.file("plain.exe"), 0644);
    EXPECT_EQ(5u, run(in_quotes(dir.win("plain.exe")) + L" exit 5"));
}

TEST(CreateProcess, ScriptWithoutExecuteBitStarts) {
    TempDir dir;
    write_file(dir.file("job"), "#!/bin/sh\nexit 9\n", 0644);
    EXPECT_EQ(9u, run(in_quotes(dir.win("job"))));
}

TEST(CreateProcess, FileThatIsNoProgramFailsWithBadExeFormat) {
    TempDir dir;
    write_file(dir.file("notes.exe"), "just some text\n", 0755);
    PROCESS_INFORMATION pi;
    EXPECT_FALSE(start(in_quotes(dir.win("notes.exe")), &pi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
}

TEST(CreateProcess, MissingProgramFailsWithFileNotFound) {
    TempDir dir;
    PROCESS_INFORMATION pi;
    EXPECT_FALSE(start(in_quotes(dir.win("absent.exe")) + L" x", &pi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(start(in_quotes(dir.win("no-such-folder\\absent.exe")), &pi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(CreateProcess, ExeIsAppendedToANameWithoutExtension) {
    TempDir dir;
    copy_child(dir.file("tool.exe"));
    EXPECT_EQ(4u, run(in_quotes(dir.win("tool")) + L" exit 4"));
}

TEST(CreateProcess, UnquotedPathWithBlanksSkipsAFolderPrefix) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("my"));
    std::filesystem::create_directories(dir.file("my app"));
    copy_child(dir.file("my app/kid.exe"));
    std::string out = dir.file("out.txt");
    std::wstring line = dir.win("my app\\kid.exe") + L" record " + widen(out);
    ASSERT_EQ(0u, run(line));
    Record r = read_record(out);
    EXPECT_EQ(dir.file("my app/kid.exe"), r.image);
    // The child splits its command line as Windows would: the path breaks at the blank.
    ASSERT_EQ(3u, r.args.size());
    EXPECT_EQ("app\\kid.exe", r.args[0]);
    EXPECT_EQ(line, r.cmdline);
}

TEST(CreateProcess, UnquotedPathRunsAPrefixThatIsAProgram) {
    TempDir dir;
    copy_child(dir.file("my"));
    std::filesystem::create_directories(dir.file("my app"));
    copy_child(dir.file("my app/kid.exe"));
    std::string out = dir.file("out.txt");
    ASSERT_EQ(0u, run(dir.win("my app\\kid.exe") + L" record " + widen(out)));
    EXPECT_EQ(dir.file("my"), read_record(out).image);
}

TEST(CreateProcess, BareNameIsFoundInTheCurrentFolder) {
    TempDir dir;
    copy_child(dir.file("w32kid.exe"));
    std::string before = std::filesystem::current_path();
    ASSERT_EQ(0, chdir(dir.path().c_str()));
    DWORD code = run(L"w32kid exit 6");
    ASSERT_EQ(0, chdir(before.c_str()));
    EXPECT_EQ(6u, code);
}

TEST(CreateProcess, BareNameIsFoundOnPath) {
    TempDir dir;
    copy_child(dir.file("w32kid"));
    std::string path = dir.path() + ":" + (getenv("PATH") ? getenv("PATH") : "");
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(8u, run(L"w32kid exit 8"));
}

TEST(CreateProcess, WorkingFolderIsTheGivenDrivePath) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("work"));
    std::string out = dir.file("out.txt");
    std::wstring folder = dir.win("work");
    ASSERT_EQ(0u, run(child() + L" record " + widen(out), folder.c_str()));
    EXPECT_EQ(dir.file("work"), read_record(out).cwd);
}

TEST(CreateProcess, MissingWorkingFolderFailsWithDirectoryError) {
    TempDir dir;
    PROCESS_INFORMATION pi;
    std::wstring folder = dir.win("gone");
    EXPECT_FALSE(start(child() + L" exit 0", &pi, folder.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), GetLastError());
}

TEST(CreateProcess, ApplicationNameChoosesTheProgramAndCommandLineTheArguments) {
    TempDir dir;
    copy_child(dir.file("app.exe"));
    std::string out = dir.file("out.txt");
    std::wstring app = dir.win("app.exe");
    std::wstring line = L"whatever record " + widen(out);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(app.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Record r = read_record(out);
    EXPECT_EQ(dir.file("app.exe"), r.image);
    EXPECT_EQ(line, r.cmdline);
}

TEST(CreateProcess, HiddenStartWithInheritedHandlesRuns) {
    std::wstring line = child() + L" exit 11";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    si.wShowWindow = 0;  // SW_HIDE
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &pi));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 5000));
    EXPECT_EQ(11u, exit_code(pi.hProcess));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(CreateProcess, NoProgramAtAllIsAnInvalidParameter) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    EXPECT_FALSE(
        CreateProcessW(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(CurrentProcess, PseudoHandleNamesThisProcessAndNeverSignals) {
    HANDLE self = GetCurrentProcess();
    EXPECT_EQ(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)), self);
    EXPECT_EQ(GetCurrentProcessId(), GetProcessId(self));
    EXPECT_EQ(259u, exit_code(self));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(self, 0));
    EXPECT_TRUE(CloseHandle(self));
    EXPECT_EQ(GetCurrentProcessId(), GetProcessId(GetCurrentProcess()));
}

TEST(OpenProcess, OwnIdGivesAHandleToThisProcess) {
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(GetCurrentProcessId(), GetProcessId(h));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(OpenProcess, UnknownIdIsAnInvalidParameter) {
    SetLastError(0);
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_ALL_ACCESS, FALSE, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    pid_t gone = fork();
    if (gone == 0) _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    SetLastError(0);
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(gone)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(OpenProcess, AnotherUsersProcessIsAccessDenied) {
    // As root every process is ours, so the check runs in a child that gave up root.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (getuid() == 0 && setuid(65534) != 0) _exit(90);
        HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, 1);
        _exit(h == nullptr && GetLastError() == ERROR_ACCESS_DENIED ? 0 : 91);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST(OpenProcess, ProcessStartedElsewhereCanBeWaitedForAndEnded) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
        _exit(127);
    }
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(259u, exit_code(h));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(h, 20));
    EXPECT_TRUE(TerminateProcess(h, 77));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 2000));
    EXPECT_EQ(77u, exit_code(h));
    CloseHandle(h);
    waitpid(pid, nullptr, 0);
}

TEST(ProcessHandles, CallsOnAHandleOfAnotherKindFail) {
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7ffc));
    DWORD code;
    EXPECT_FALSE(GetExitCodeProcess(bogus, &code));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(TerminateProcess(bogus, 1));
    EXPECT_EQ(0u, GetProcessId(bogus));
}

TEST(ProcessHandles, FullImageNameIsADrivePath) {
    Started p(child() + L" sleep 5000");
    ASSERT_TRUE(p.ok);
    WCHAR name[MAX_PATH];
    DWORD size = MAX_PATH;
    ASSERT_TRUE(QueryFullProcessImageNameW(p.pi.hProcess, 0, name, &size));
    EXPECT_EQ(win_path(child_path()), std::wstring(name, size));
    DWORD tiny = 3;
    EXPECT_FALSE(QueryFullProcessImageNameW(p.pi.hProcess, 0, name, &tiny));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(CreateProcess, ProgramThatMayNotBeMadeExecutableStillStarts) {
    if (getuid() != 0) GTEST_SKIP() << "needs a file of another user; runs as root";
    // The files belong to root; a child that gave up root may read them but not chmod them.
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    copy_child(dir.file("image.exe"), 0644);
    write_file(dir.file("script"), "#!/bin/sh\nexit 13\n", 0644);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setuid(65534) != 0) _exit(90);
        if (run(in_quotes(dir.win("image.exe")) + L" exit 5") != 5) _exit(91);
        if (run(in_quotes(dir.win("script"))) != 13) _exit(92);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    struct stat st;
    ASSERT_EQ(0, stat(dir.file("image.exe").c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 07777);
}

TEST(CreateProcess, StartsAreRecordedWhenAskedFor) {
    TempDir dir;
    std::string log = dir.file("starts.log");
    setenv("WIN32_PROCESS_LOG", log.c_str(), 1);
    std::wstring line = child() + L" exit 0";
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(start(line, &pi));
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    unsetenv("WIN32_PROCESS_LOG");
    std::string narrow(line.begin(), line.end());
    EXPECT_EQ("CreateProcessW\t" + std::to_string(pi.dwProcessId) + "\t" + narrow + "\n",
              read_file(log));
}
