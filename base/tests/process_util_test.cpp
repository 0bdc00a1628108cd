#include "base/process_util.h"

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/scoped_handle.h"
#include "base/string_util.h"
#include "support/folder_view.h"
#include "support/handle_probe.h"
#include "support/log_capture.h"
#include "support/privilege_probe.h"
#include "testing/temp_dir.h"

using base::ScopedHandle;
using testing_support::TempDir;
using testing_support::WinPath;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A folder for child programs; whatever still runs from it is killed at the end.
class ChildFolder : public TempDir {
public:
    ~ChildFolder() {
        if (DIR* proc = opendir("/proc")) {
            while (dirent* e = readdir(proc)) {
                char target[4096] = {};
                std::string link = std::string("/proc/") + e->d_name + "/exe";
                ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
                if (n > 0 && std::string(target).rfind(path() + "/", 0) == 0)
                    kill(atoi(e->d_name), SIGKILL);
            }
            closedir(proc);
        }
    }

    // Copies the child program to the relative path; answers its Windows path.
    std::wstring Place(const std::string& relative) {
        std::string to = file(relative);
        std::string dir = to.substr(0, to.rfind('/'));
        std::string mk = "mkdir -p '" + dir + "'";
        EXPECT_EQ(system(mk.c_str()), 0);
        std::ifstream in(BASE_PROCESS_CHILD, std::ios::binary);
        std::ofstream out(to, std::ios::binary);
        out << in.rdbuf();
        out.close();
        EXPECT_EQ(chmod(to.c_str(), 0755), 0);
        return WinPath(*this, relative);
    }
};

std::wstring Command(const std::wstring& exe, int sleep_ms, int exit_code,
                     const std::wstring& rest = L"") {
    return L"\"" + exe + L"\" " + std::to_wstring(sleep_ms) + L" " + std::to_wstring(exit_code) +
           rest;
}

// Starts a child and keeps its process handle.
ScopedHandle Start(const std::wstring& exe, int sleep_ms, int exit_code) {
    std::wstring line = Command(exe, sleep_ms, exit_code);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(pi.hThread);
    return ScopedHandle(pi.hProcess);
}

DWORD ExitCodeAfterEnd(const ScopedHandle& process) {
    EXPECT_EQ(WaitForSingleObject(process.Get(), 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.Get(), &code));
    return code;
}

bool StillRunning(const ScopedHandle& process) {
    return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

std::string UniqueName(const char* stem) {
    static int serial = 0;
    return std::string(stem) + "_" + std::to_string(getpid()) + "_" + std::to_string(++serial) +
           ".exe";
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace

TEST(CreateProcessEx, HiddenChildWithinTheTimeOutGivesItsExitCode) {
    ChildFolder tmp;
    std::wstring line = Command(tmp.Place("c.exe"), 0, 7);
    uint32_t code = 0;
    EXPECT_TRUE(base::CreateProcessEx(line.data(), SW_HIDE, 5000, &code));
    EXPECT_EQ(code, 7u);
}

TEST(CreateProcessEx, NoWaitAnswersAtOnceWithStillActive) {
    ChildFolder tmp;
    std::wstring line = Command(tmp.Place("c.exe"), 10000, 0);
    uint32_t code = 0;
    DWORD before = GetTickCount();
    EXPECT_TRUE(base::CreateProcessEx(line.data(), SW_HIDE, 0, &code));
    EXPECT_LT(GetTickCount() - before, 1000u);
    EXPECT_EQ(code, 259u);
}

TEST(CreateProcessEx, TimeOutAnswersFalseAndLeavesTheChildRunning) {
    ChildFolder tmp;
    std::string name = UniqueName("slow");
    std::wstring line = Command(tmp.Place(name), 10000, 0);
    uint32_t code = 0;
    EXPECT_FALSE(base::CreateProcessEx(line.data(), SW_HIDE, 100, &code));
    EXPECT_EQ(code, 259u);
    EXPECT_TRUE(base::IsProcessRunning(Wide(name)));
}

TEST(CreateProcessEx, AProgramThatIsMissingAnswersFalseAndIsLogged) {
    ChildFolder tmp;
    testing_support::LogCapture log;
    std::wstring line = L"\"" + WinPath(tmp, "none.exe") + L"\" 0 0";
    uint32_t code = 12345;
    EXPECT_FALSE(base::CreateProcessEx(line.data(), SW_HIDE, 1000, &code));
    EXPECT_EQ(code, 12345u);
    std::string expected = "ERROR: CreateProcessEx fail error code:2 cmdline:\"" +
                           base::WideToUtf8(WinPath(tmp, "none.exe")) + "\" 0 0\r\n";
    EXPECT_NE(log.Text().find(expected), std::string::npos) << log.Text();
}

TEST(SyncCreateProcess, QuotesAPathWithBlanksAndRunsInTheFolder) {
    ChildFolder tmp;
    std::wstring exe = tmp.Place("with blanks/the child.exe");
    std::string record = tmp.file("record.txt");
    ASSERT_EQ(mkdir(tmp.file("work").c_str(), 0755), 0);
    std::wstring args = L"0 0 \"" + Wide(record) + L"\" one \"two words\"";
    testing_support::LogCapture log;
    EXPECT_TRUE(base::SyncCreateProcess(exe, args, true, WinPath(tmp, "work")));
    EXPECT_NE(log.Text().find("MESSAGE: " + base::WideToUtf8(L"\"" + exe + L"\" " + args) + "\r\n"),
              std::string::npos)
        << log.Text();
    auto lines = Lines(record);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], tmp.file("work"));
    EXPECT_EQ(lines[1], "one");
    EXPECT_EQ(lines[2], "two words");
}

TEST(SyncCreateProcess, ACommandLineBeyondItsBufferStartsNothing) {
    ChildFolder tmp;
    std::wstring exe = tmp.Place("c.exe");
    std::string record = tmp.file("record.txt");
    std::wstring args = L"0 0 \"" + Wide(record) + L"\" " + std::wstring(2100, L'x');
    EXPECT_FALSE(base::SyncCreateProcess(exe, args, true, L""));
    EXPECT_FALSE(testing_support::Exists(record));
}

TEST(SyncCreateProcess, FallsBackToTheShellWhenTheFileIsNoProgram) {
    ChildFolder tmp;
    std::string shell_log = tmp.file("shell.log");
    setenv("WIN32_SHELL_LOG", shell_log.c_str(), 1);
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("notes.txt"), "just text"));
    EXPECT_TRUE(base::SyncCreateProcess(WinPath(tmp, "notes.txt"), L"", false, L""));
    std::string logged = testing_support::ReadAll(shell_log);
    EXPECT_NE(logged.find("document"), std::string::npos) << logged;
    EXPECT_NE(logged.find(tmp.file("notes.txt")), std::string::npos) << logged;
}

TEST(SyncShellExcute, WaitsForTheProgramWhenAskedAndLogsAFailure) {
    ChildFolder tmp;
    std::string name = UniqueName("shelled");
    std::wstring exe = tmp.Place(name);
    std::string record = tmp.file("record.txt");
    std::wstring params = L"500 0 \"" + Wide(record) + L"\" waited";
    EXPECT_EQ(base::SyncShellExcute(params, exe, true), TRUE);
    EXPECT_FALSE(base::IsProcessRunning(Wide(name))) << "the call returns once the program ended";
    auto lines = Lines(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "waited");

    EXPECT_EQ(base::SyncShellExcute(L"10000 0", exe, false), TRUE);
    EXPECT_TRUE(base::IsProcessRunning(Wide(name))) << "without waiting it still runs";

    testing_support::LogCapture log;
    EXPECT_EQ(base::SyncShellExcute(L"", WinPath(tmp, "none.exe"), true), FALSE);
    EXPECT_NE(log.Text().find("ERROR: [SyncShellExcute]调用ShellExecuteEx返回错误 errorcode2\r\n"),
              std::string::npos)
        << log.Text();
}

TEST(ProcessFind, ByNameIgnoringCase) {
    ChildFolder tmp;
    std::string name = UniqueName("Finder");
    std::wstring exe = tmp.Place(name);
    auto a = Start(exe, 10000, 0);
    auto b = Start(exe, 10000, 0);
    std::wstring upper = Wide(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    DWORD first = base::FindProcessIdByName(upper.c_str());
    EXPECT_TRUE(first == GetProcessId(a.Get()) || first == GetProcessId(b.Get()));
    std::vector<DWORD> ids;
    base::FindProcessIdsByName(Wide(name).c_str(), ids);
    std::sort(ids.begin(), ids.end());
    std::vector<DWORD> expected = {GetProcessId(a.Get()), GetProcessId(b.Get())};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ids, expected);
    EXPECT_TRUE(base::IsProcessRunning(Wide(name)));
    EXPECT_FALSE(base::IsProcessRunning(Wide(UniqueName("nobody"))));
    EXPECT_EQ(base::FindProcessIdByName(nullptr), 0u);
}

TEST(ProcessFind, CurrentProcessNameIsTheTestProgram) {
    EXPECT_EQ(base::GetCurrentProcessName(), L"base_tests");
}

TEST(ProcessFind, ByFolderWithSlashesAndBelowIt) {
    ChildFolder tmp;
    std::wstring top = tmp.Place("app/top.exe");
    std::wstring deep = tmp.Place("app/sub/deep.exe");
    std::wstring other = tmp.Place("elsewhere/top.exe");
    auto p1 = Start(top, 10000, 0);
    auto p2 = Start(deep, 10000, 0);
    auto p3 = Start(other, 10000, 0);

    std::wstring slashed = WinPath(tmp, "app");
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    for (const std::wstring& folder : {slashed, slashed + L"/", WinPath(tmp, "app") + L"\\"}) {
        std::vector<std::wstring> paths;
        EXPECT_EQ(base::FindProcessByPath(folder.c_str(), false, paths), 2);
        std::sort(paths.begin(), paths.end());
        std::vector<std::wstring> expected = {deep, top};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(paths, expected);
    }
    EXPECT_EQ(base::CountProcessesByPath(WinPath(tmp, "app/sub").c_str(), false), 1);
    EXPECT_TRUE(base::IsProcessRunningInPath(top));
    EXPECT_TRUE(base::IsProcessRunningInPath(other));
    std::wstring idle = tmp.Place("idle/top2.exe");
    EXPECT_FALSE(base::IsProcessRunningInPath(idle));
    EXPECT_FALSE(base::IsProcessRunningInPath(WinPath(tmp, "app/missing.exe")));
    std::vector<std::wstring> none;
    EXPECT_EQ(base::FindProcessByPath(nullptr, true, none), 0);
}

TEST(ProcessFind, TheProgramItselfCountsOnlyWhenAsked) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring folder(self);
    folder.resize(folder.rfind(L'\\'));
    std::vector<std::wstring> without, with;
    base::FindProcessByPath(folder.c_str(), false, without);
    base::FindProcessByPath(folder.c_str(), true, with);
    EXPECT_EQ(std::count(without.begin(), without.end(), std::wstring(self)), 0);
    EXPECT_GE(std::count(with.begin(), with.end(), std::wstring(self)), 1);
}

TEST(ProcessEnd, ByNameEndsOnlyThoseInTheFolder) {
    ChildFolder tmp;
    std::wstring here = tmp.Place("here/twin.exe");
    std::wstring there = tmp.Place("there/twin.exe");
    std::wstring other = tmp.Place("here/other.exe");
    auto a = Start(here, 10000, 0);
    auto b = Start(here, 10000, 0);
    auto c = Start(there, 10000, 0);
    auto d = Start(other, 10000, 0);
    EXPECT_EQ(base::TerminateProcessesByName(WinPath(tmp, "here").c_str(), L"TWIN.exe", 5000),
              WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeAfterEnd(a), 10001u);
    EXPECT_EQ(ExitCodeAfterEnd(b), 10001u);
    EXPECT_TRUE(StillRunning(c));
    EXPECT_TRUE(StillRunning(d));
    EXPECT_EQ(base::TerminateProcessesByName(WinPath(tmp, "here").c_str(), L"twin.exe", 500),
              0xFFFFFFFFu);
    EXPECT_EQ(base::TerminateProcessesByName(nullptr, L"twin.exe", 500), 0xFFFFFFFFu);

    EXPECT_EQ(base::TerminateProcessesByFile(there, 500), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeAfterEnd(c), 10001u);
    EXPECT_TRUE(StillRunning(d));
}

TEST(ProcessEnd, ByPathEndsEverythingUnderTheFolder) {
    ChildFolder tmp;
    auto a = Start(tmp.Place("p/one.exe"), 10000, 0);
    auto b = Start(tmp.Place("p/q/two.exe"), 10000, 0);
    auto c = Start(tmp.Place("r/three.exe"), 10000, 0);
    EXPECT_EQ(base::TerminateProcessesByPath(WinPath(tmp, "p").c_str(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeAfterEnd(a), 10001u);
    EXPECT_EQ(ExitCodeAfterEnd(b), 10001u);
    EXPECT_TRUE(StillRunning(c));
    EXPECT_EQ(base::TerminateProcessesByPath(WinPath(tmp, "p").c_str(), 500), 0xFFFFFFFFu);
}

TEST(ProcessEnd, MoreThanSixtyFourProcessesAreEndedAndWaitedFor) {
    ChildFolder tmp;
    std::wstring exe = tmp.Place("many/kid.exe");
    std::vector<ScopedHandle> kids;
    for (int i = 0; i < 70; ++i) kids.push_back(Start(exe, 20000, 0));
    EXPECT_EQ(base::TerminateProcessesByName(WinPath(tmp, "many").c_str(), L"kid.exe", 10000),
              WAIT_OBJECT_0);
    for (auto& kid : kids) EXPECT_FALSE(StillRunning(kid));
    EXPECT_EQ(base::CountProcessesByPath(WinPath(tmp, "many").c_str(), false), 0);
}

TEST(ProcessEnd, KillProcessByNameAndById) {
    ChildFolder tmp;
    std::string name = UniqueName("victim");
    auto a = Start(tmp.Place(name), 10000, 0);
    EXPECT_TRUE(base::KillProcess(Wide(name)));
    EXPECT_EQ(ExitCodeAfterEnd(a), 16u);
    EXPECT_FALSE(base::KillProcess(Wide(name)));

    auto b = Start(tmp.Place("byid.exe"), 10000, 0);
    EXPECT_TRUE(base::TerminateProcessById(GetProcessId(b.Get())));
    EXPECT_EQ(ExitCodeAfterEnd(b), 16u);
}

// On a thread of its own: ending processes (above) leaves the main thread impersonating.
TEST(ProcessTokens, TheThreadImpersonatesItselfAndSwitchesTheDebugPrivilege) {
    std::thread([] {
        HANDLE none = nullptr;
        ASSERT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &none));
        ScopedHandle token(base::OpenCurrentThreadToken(GetCurrentThread()));
        ASSERT_TRUE(token.IsValid());
        ASSERT_TRUE(base::EnableDebugPrivilege(token.Get(), true));
        EXPECT_TRUE(testtoken::PrivilegeEnabled(token.Get(), SE_DEBUG_NAME));
        ASSERT_TRUE(base::EnableDebugPrivilege(token.Get(), false));
        EXPECT_FALSE(testtoken::PrivilegeEnabled(token.Get(), SE_DEBUG_NAME));

        EXPECT_TRUE(base::EnableThreadDebugPrivilege(GetCurrentThread(), true));
        EXPECT_TRUE(testtoken::PrivilegeEnabled(token.Get(), SE_DEBUG_NAME))
            << "the thread keeps its one impersonation token";
        EXPECT_FALSE(base::EnableThreadDebugPrivilege(nullptr, true));
    }).join();
}

TEST(ProcessHandles, EveryHandleOpenedOrReceivedIsClosed) {
    ChildFolder tmp;
    std::string name = UniqueName("leak");
    std::wstring exe = tmp.Place("leak/" + name);
    auto exercise = [&] {
        std::wstring line = Command(exe, 0, 3);
        uint32_t code = 0;
        EXPECT_TRUE(base::CreateProcessEx(line.data(), SW_HIDE, 5000, &code));
        std::wstring missing = L"\"" + WinPath(tmp, "none.exe") + L"\"";
        EXPECT_FALSE(base::CreateProcessEx(missing.data(), SW_HIDE, 5000, &code));
        EXPECT_TRUE(base::SyncCreateProcess(exe, L"0 0", true, L""));

        auto a = Start(exe, 10000, 0);
        EXPECT_NE(base::FindProcessIdByName(Wide(name).c_str()), 0u);
        std::vector<DWORD> ids;
        base::FindProcessIdsByName(Wide(name).c_str(), ids);
        base::GetCurrentProcessName();
        EXPECT_EQ(base::CountProcessesByPath(WinPath(tmp, "leak").c_str(), true), 1);
        EXPECT_TRUE(base::IsProcessRunningInPath(exe));
        EXPECT_EQ(base::TerminateProcessesByName(WinPath(tmp, "none").c_str(), Wide(name), 500),
                  0xFFFFFFFFu);
        EXPECT_EQ(base::TerminateProcessesByFile(exe, 5000), WAIT_OBJECT_0);
        ExitCodeAfterEnd(a);

        auto b = Start(exe, 10000, 0);
        EXPECT_EQ(base::TerminateProcessesByPath(WinPath(tmp, "leak").c_str(), 5000),
                  WAIT_OBJECT_0);
        ExitCodeAfterEnd(b);
        auto c = Start(exe, 10000, 0);
        EXPECT_TRUE(base::KillProcess(Wide(name)));
        ExitCodeAfterEnd(c);
        EXPECT_FALSE(base::KillProcess(Wide(name)));
        EXPECT_TRUE(base::EnableThreadDebugPrivilege(GetCurrentThread(), true));
    };
    exercise();  // the thread's own token is made once, and stays
    const uintptr_t before = testing_support::HighestOfManyHandles();
    for (int i = 0; i < 3; ++i) exercise();
    EXPECT_EQ(testing_support::HighestOfManyHandles(), before);
}
