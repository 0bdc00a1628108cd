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
#include "testing/scoped_env.h"
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
        EXPECT_EQ(system(("mkdir -p '" + to.substr(0, to.rfind('/')) + "'").c_str()), 0);
        std::ifstream in(BASE_PROCESS_CHILD, std::ios::binary);
        std::ofstream(to, std::ios::binary) << in.rdbuf();
        EXPECT_EQ(chmod(to.c_str(), 0755), 0);
        return WinPath(*this, relative);
    }
};

// The child's command line: it sleeps, then ends with the exit code; more words go
// to its record file.
std::wstring Command(const std::wstring& exe, int sleep_ms, int exit_code,
                     const std::wstring& rest = L"") {
    return L"\"" + exe + L"\" " + std::to_wstring(sleep_ms) + L" " + std::to_wstring(exit_code) +
           rest;
}

// Starts a child that runs for a minute and keeps its process handle.
ScopedHandle Start(const std::wstring& exe) {
    std::wstring line = Command(exe, 60000, 0);
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(pi.hThread);
    return ScopedHandle(pi.hProcess);
}

DWORD ExitCode(const ScopedHandle& process) {
    DWORD code = 0;
    if (WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0) return STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeProcess(process.Get(), &code));
    return code;
}

std::string UniqueName(const char* stem) {
    static int serial = 0;
    return std::string(stem) + "_" + std::to_string(getpid()) + "_" + std::to_string(++serial) +
           ".exe";
}

std::string Lines(const std::string& path) {
    std::string text = testing_support::ReadAll(path);
    std::replace(text.begin(), text.end(), '\n', '|');
    return text;
}

}  // namespace

TEST(CreateProcessEx, WaitsUpToTheTimeOutAndGivesTheExitCodeOrStillActive) {
    ChildFolder tmp;
    std::string slow = UniqueName("slow");
    struct {
        std::wstring line;
        uint32_t timeout;
        bool result;
        uint32_t code;
    } cases[] = {{Command(tmp.Place("c.exe"), 0, 7), 60000, true, 7},
                 {Command(tmp.Place("c.exe"), 60000, 0), 0, true, STILL_ACTIVE},  // no wait
                 {Command(tmp.Place(slow), 60000, 0), 100, false, STILL_ACTIVE}};
    for (auto& c : cases) {
        uint32_t code = 0;
        EXPECT_EQ(base::CreateProcessEx(c.line.data(), SW_HIDE, c.timeout, &code), c.result);
        EXPECT_EQ(code, c.code) << c.timeout;
    }
    EXPECT_TRUE(base::IsProcessRunning(Wide(slow)));  // left running

    testing_support::LogCapture log;
    std::wstring missing = L"\"" + WinPath(tmp, "none.exe") + L"\" 0 0";
    uint32_t code = 12345;
    EXPECT_FALSE(base::CreateProcessEx(missing.data(), SW_HIDE, 1000, &code));
    EXPECT_EQ(code, 12345u);
    EXPECT_NE(log.Text().find("ERROR: CreateProcessEx fail error code:2 cmdline:" +
                              base::WideToUtf8(missing) + "\r\n"),
              std::string::npos)
        << log.Text();
}

TEST(SyncCreateProcess, QuotesTheProgramRunsInTheFolderAndRefusesACutLine) {
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
    EXPECT_EQ(Lines(record), tmp.file("work") + "|one|two words|");

    ASSERT_EQ(unlink(record.c_str()), 0);
    EXPECT_FALSE(base::SyncCreateProcess(exe, args + std::wstring(2100, L'x'), true, L""));
    EXPECT_FALSE(testing_support::Exists(record));
}

TEST(SyncCreateProcess, FallsBackToTheShellWhichWaitsWhenAskedAndLogsAFailure) {
    ChildFolder tmp;
    std::string shell_log = tmp.file("shell.log");
    testing_support::ScopedEnv env("WIN32_SHELL_LOG", shell_log);
    ASSERT_TRUE(testing_support::WriteAll(tmp.file("notes.txt"), "just text"));
    EXPECT_TRUE(base::SyncCreateProcess(WinPath(tmp, "notes.txt"), L"", false, L""));
    std::string logged = testing_support::ReadAll(shell_log);
    EXPECT_NE(logged.find("document"), std::string::npos) << logged;
    EXPECT_NE(logged.find(tmp.file("notes.txt")), std::string::npos) << logged;

    std::string name = UniqueName("shelled");
    std::wstring exe = tmp.Place(name);
    std::string record = tmp.file("record.txt");
    EXPECT_EQ(base::SyncShellExcute(L"500 0 \"" + Wide(record) + L"\" waited", exe, true), TRUE);
    EXPECT_FALSE(base::IsProcessRunning(Wide(name))) << "the call returns once the program ended";
    EXPECT_NE(Lines(record).find("|waited|"), std::string::npos);
    EXPECT_EQ(base::SyncShellExcute(L"60000 0", exe, false), TRUE);
    EXPECT_TRUE(base::IsProcessRunning(Wide(name))) << "without waiting it still runs";

    testing_support::LogCapture log;
    EXPECT_EQ(base::SyncShellExcute(L"", WinPath(tmp, "none.exe"), true), FALSE);
    EXPECT_NE(log.Text().find("ERROR: [SyncShellExcute]调用ShellExecuteEx返回错误 errorcode2\r\n"),
              std::string::npos)
        << log.Text();
}

// By name ignoring case, by folder (with slashes too) and below it; the program itself
// counts only when asked.
TEST(ProcessFind, ByNameIgnoringCaseAndByFolderWithSlashesAndBelowIt) {
    ChildFolder tmp;
    std::string name = UniqueName("Finder");
    std::wstring exe = tmp.Place("app/" + name), deep = tmp.Place("app/sub/deep.exe");
    auto a = Start(exe), b = Start(exe), c = Start(deep), d = Start(tmp.Place("other/top.exe"));
    std::vector<DWORD> ids, expected = {GetProcessId(a.Get()), GetProcessId(b.Get())};
    base::FindProcessIdsByName(base::ToUpper(Wide(name)).c_str(), ids);
    std::sort(ids.begin(), ids.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ids, expected);
    EXPECT_NE(base::FindProcessIdByName(Wide(name).c_str()), 0u);
    EXPECT_FALSE(base::IsProcessRunning(Wide(UniqueName("nobody"))));
    EXPECT_EQ(base::GetCurrentProcessName(), L"base_tests");
    std::wstring slashed = WinPath(tmp, "app") + L"\\";
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    std::vector<std::wstring> paths, with;
    EXPECT_EQ(base::FindProcessByPath(slashed.c_str(), false, paths), 3);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::wstring>{exe, exe, deep}));
    EXPECT_EQ(base::CountProcessesByPath(WinPath(tmp, "app/sub").c_str(), false), 1);
    EXPECT_TRUE(base::IsProcessRunningInPath(deep));
    EXPECT_FALSE(base::IsProcessRunningInPath(tmp.Place("idle/top.exe")));
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring folder(self);
    folder.resize(folder.rfind(L'\\'));
    paths.clear();
    base::FindProcessByPath(folder.c_str(), false, paths);
    base::FindProcessByPath(folder.c_str(), true, with);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), std::wstring(self)), 0);
    EXPECT_GE(std::count(with.begin(), with.end(), std::wstring(self)), 1);
}

// Only those of the name in the folder, or everything below it; more processes than one
// wait takes (64) are ended and waited for. Ended ones answer 10001, killed ones 16.
TEST(ProcessEnd, ByNameFileOrPathEndsOnlyThoseInTheFolder) {
    ChildFolder tmp;
    std::wstring here = tmp.Place("here/twin.exe"), there = tmp.Place("there/twin.exe");
    std::vector<ScopedHandle> twins;
    for (int i = 0; i < 70; ++i) twins.push_back(Start(here));
    auto c = Start(there), d = Start(tmp.Place("here/other.exe"));
    auto e = Start(tmp.Place("here/sub/deep.exe"));
    std::string name = UniqueName("victim");
    auto f = Start(tmp.Place(name)), g = Start(tmp.Place("byid.exe"));
    EXPECT_EQ(base::TerminateProcessesByName(WinPath(tmp, "here").c_str(), L"TWIN.exe", 60000),
              WAIT_OBJECT_0);
    for (auto& twin : twins) EXPECT_EQ(ExitCode(twin), 10001u);
    EXPECT_EQ(ExitCode(c) + ExitCode(d), 2 * STILL_ACTIVE);
    EXPECT_EQ(base::TerminateProcessesByName(nullptr, L"twin.exe", 500), 0xFFFFFFFFu);
    EXPECT_EQ(base::TerminateProcessesByFile(there, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(c), 10001u);
    EXPECT_EQ(ExitCode(d), STILL_ACTIVE);
    EXPECT_EQ(base::TerminateProcessesByPath(WinPath(tmp, "here").c_str(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(d) + ExitCode(e), 20002u);
    EXPECT_EQ(base::TerminateProcessesByPath(WinPath(tmp, "here").c_str(), 500), 0xFFFFFFFFu);

    EXPECT_TRUE(base::KillProcess(Wide(name)));
    EXPECT_TRUE(base::TerminateProcessById(GetProcessId(g.Get())));
    for (auto* p : {&f, &g}) {
        EXPECT_EQ(WaitForSingleObject(p->Get(), 60000), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCode(*p), 16u);
    }
    EXPECT_FALSE(base::KillProcess(Wide(name)));
}

// On a thread of its own: ending processes (above) leaves the main thread impersonating.
TEST(ProcessTokens, TheThreadImpersonatesItselfAndSwitchesTheDebugPrivilege) {
    std::thread([] {
        HANDLE none = nullptr;
        ASSERT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &none));
        ScopedHandle token(base::OpenCurrentThreadToken(GetCurrentThread()));
        ASSERT_TRUE(token.IsValid());
        for (bool on : {true, false}) {
            ASSERT_TRUE(base::EnableDebugPrivilege(token.Get(), on));
            EXPECT_EQ(testtoken::PrivilegeEnabled(token.Get(), SE_DEBUG_NAME), on);
        }
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
        EXPECT_TRUE(base::CreateProcessEx(line.data(), SW_HIDE, 60000, &code));
        std::wstring missing = L"\"" + WinPath(tmp, "none.exe") + L"\"";
        EXPECT_FALSE(base::CreateProcessEx(missing.data(), SW_HIDE, 5000, &code));
        EXPECT_TRUE(base::SyncCreateProcess(exe, L"0 0", true, L""));

        auto a = Start(exe);
        EXPECT_NE(base::FindProcessIdByName(Wide(name).c_str()), 0u);
        std::vector<DWORD> ids;
        base::FindProcessIdsByName(Wide(name).c_str(), ids);
        base::GetCurrentProcessName();
        EXPECT_EQ(base::CountProcessesByPath(WinPath(tmp, "leak").c_str(), true), 1);
        EXPECT_TRUE(base::IsProcessRunningInPath(exe));
        EXPECT_EQ(base::TerminateProcessesByName(WinPath(tmp, "none").c_str(), Wide(name), 500),
                  0xFFFFFFFFu);
        EXPECT_EQ(base::TerminateProcessesByFile(exe, 60000), WAIT_OBJECT_0);
        auto b = Start(exe);
        EXPECT_EQ(base::TerminateProcessesByPath(WinPath(tmp, "leak").c_str(), 60000),
                  WAIT_OBJECT_0);
        auto c = Start(exe);
        EXPECT_TRUE(base::KillProcess(Wide(name)));
        EXPECT_EQ(WaitForSingleObject(c.Get(), 60000), WAIT_OBJECT_0);
        EXPECT_FALSE(base::KillProcess(Wide(name)));
        EXPECT_TRUE(base::EnableThreadDebugPrivilege(GetCurrentThread(), true));
    };
    exercise();  // the thread's own token is made once, and stays
    const uintptr_t before = testing_support::HighestOfManyHandles();
    for (int i = 0; i < 3; ++i) exercise();
    EXPECT_EQ(testing_support::HighestOfManyHandles(), before);
}
