#include "base/process_util.h"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "support/base_test.h"

using base::ScopedHandle;
using base_test::LogCapture;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// A folder for child programs; whatever still runs from it is killed at the end.
class Process : public base_test::FolderTest {
protected:
    ~Process() override {
        for (const auto& e : std::filesystem::directory_iterator("/proc")) {
            std::error_code error;
            const auto exe = std::filesystem::read_symlink(e.path() / "exe", error).string();
            if (!error && exe.rfind(path() + "/", 0) == 0)
                kill(atoi(e.path().filename().c_str()), SIGKILL);
        }
    }

    std::wstring Place(const std::string& relative) {
        const std::filesystem::path to = file(relative);
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::copy_file(BASE_PROCESS_CHILD, to,
                                   std::filesystem::copy_options::overwrite_existing);
        return winfile(relative);
    }
};

// The child's command line: it sleeps, then ends with the exit code.
std::wstring Command(const std::wstring& exe, int sleep_ms, int exit_code) {
    return L"\"" + exe + L"\" " + std::to_wstring(sleep_ms) + L" " + std::to_wstring(exit_code);
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
    std::string text = ReadAll(path);
    std::replace(text.begin(), text.end(), '\n', '|');
    return text;
}

TEST_F(Process, CreateProcessExWaitsUpToTheTimeOutAndGivesTheExitCodeOrStillActive) {
    const std::string slow = UniqueName("slow");
    const struct {
        std::wstring line;
        uint32_t timeout;
        bool result;
        uint32_t code;
    } cases[] = {{Command(Place("c.exe"), 0, 7), 60000, true, 7},
                 {Command(Place("c.exe"), 60000, 0), 0, true, STILL_ACTIVE},  // no wait
                 {Command(Place(slow), 60000, 0), 100, false, STILL_ACTIVE}};
    for (auto c : cases) {
        uint32_t code = 0;
        EXPECT_EQ(base::CreateProcessEx(c.line.data(), SW_HIDE, c.timeout, &code), c.result);
        EXPECT_EQ(code, c.code) << c.timeout;
    }
    EXPECT_TRUE(base::IsProcessRunning(Wide(slow)));  // left running

    LogCapture log;
    std::wstring missing = L"\"" + winfile("none.exe") + L"\" 0 0";
    uint32_t code = 12345;
    EXPECT_FALSE(base::CreateProcessEx(missing.data(), SW_HIDE, 1000, &code) || code != 12345);
    EXPECT_TRUE(log.Has(
        "ERROR: CreateProcessEx fail error code:2 cmdline:" + base::WideToUtf8(missing) + "\r\n"))
        << log.Text();
}

TEST_F(Process, SyncCreateProcessRunsProgramsInTheFolderAndFallsBackToTheShell) {
    const std::wstring exe = Place("with blanks/the child.exe");
    Dir("work");
    const std::wstring args = L"0 0 \"" + Wide(file("record.txt")) + L"\" one \"two words\"";
    LogCapture log;
    EXPECT_TRUE(base::SyncCreateProcess(exe, args, true, winfile("work")));
    EXPECT_TRUE(log.Has("MESSAGE: " + base::WideToUtf8(L"\"" + exe + L"\" " + args) + "\r\n"))
        << log.Text();
    EXPECT_EQ(Lines(file("record.txt")), file("work") + "|one|two words|");
    ASSERT_EQ(unlink(file("record.txt").c_str()), 0);
    EXPECT_FALSE(base::SyncCreateProcess(exe, args + std::wstring(2100, L'x'), true, L""));
    EXPECT_FALSE(Has("record.txt"));

    ScopedEnv env("WIN32_SHELL_LOG", file("shell.log"));
    Write("notes.txt", "just text");
    EXPECT_TRUE(base::SyncCreateProcess(winfile("notes.txt"), L"", false, L""));
    const std::string logged = Read("shell.log");
    EXPECT_NE(logged.find("document"), std::string::npos) << logged;
    EXPECT_NE(logged.find(file("notes.txt")), std::string::npos) << logged;

    const std::string name = UniqueName("shelled");
    const std::wstring shelled = Place(name);
    EXPECT_EQ(
        base::SyncShellExcute(L"500 0 \"" + Wide(file("record.txt")) + L"\" waited", shelled, true),
        TRUE);
    EXPECT_FALSE(base::IsProcessRunning(Wide(name))) << "the call returns once the program ended";
    EXPECT_NE(Lines(file("record.txt")).find("|waited|"), std::string::npos);
    EXPECT_EQ(base::SyncShellExcute(L"60000 0", shelled, false), TRUE);
    EXPECT_TRUE(base::IsProcessRunning(Wide(name))) << "without waiting it still runs";

    EXPECT_EQ(base::SyncShellExcute(L"", winfile("none.exe"), true), FALSE);
    EXPECT_TRUE(log.Has("ERROR: [SyncShellExcute]调用ShellExecuteEx返回错误 errorcode2\r\n"))
        << log.Text();
}

// Found by name ignoring case, by folder (with slashes too) and below it, the program
// itself only when asked. Ended by name and folder, by file, or everything below a folder;
// more processes than one wait takes (64) are ended and waited for. Ended ones answer
// 10001, killed ones 16.
TEST_F(Process, FindAndEndByNameFileOrFolder) {
    const std::string name = UniqueName("Twin");
    const std::wstring here = Place("here/" + name), there = Place("there/" + name),
                       deep = Place("here/sub/deep.exe"), folder = winfile("here");
    std::vector<ScopedHandle> twins;
    for (int i = 0; i < 70; ++i) twins.push_back(Start(here));
    auto c = Start(there), d = Start(Place("here/other.exe")), e = Start(deep);
    const std::string victim = UniqueName("victim");
    auto f = Start(Place(victim)), g = Start(Place("byid.exe"));
    std::vector<DWORD> ids;
    base::FindProcessIdsByName(base::ToUpper(Wide(name)).c_str(), ids);
    EXPECT_EQ(ids.size(), 71u);
    EXPECT_NE(base::FindProcessIdByName(Wide(name).c_str()), 0u);
    EXPECT_FALSE(base::IsProcessRunning(Wide(UniqueName("nobody"))));
    EXPECT_EQ(base::GetCurrentProcessName(), L"base_tests");
    std::wstring slashed = folder + L"\\";
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    std::vector<std::wstring> paths, with;
    EXPECT_EQ(base::FindProcessByPath(slashed.c_str(), false, paths), 72);
    EXPECT_EQ(
        std::count(paths.begin(), paths.end(), here) + std::count(paths.begin(), paths.end(), deep),
        71);
    EXPECT_EQ(base::CountProcessesByPath(winfile("here/sub").c_str(), false), 1);
    EXPECT_TRUE(base::IsProcessRunningInPath(deep) &&
                !base::IsProcessRunningInPath(Place("idle/top.exe")));
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring own = std::wstring(self).substr(0, std::wstring(self).rfind(L'\\'));
    paths.clear();
    base::FindProcessByPath(own.c_str(), false, paths);
    base::FindProcessByPath(own.c_str(), true, with);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), std::wstring(self)), 0);
    EXPECT_GE(std::count(with.begin(), with.end(), std::wstring(self)), 1);

    EXPECT_EQ(base::TerminateProcessesByName(folder.c_str(), base::ToUpper(Wide(name)), 60000),
              WAIT_OBJECT_0);
    for (auto& twin : twins) EXPECT_EQ(ExitCode(twin), 10001u);
    EXPECT_EQ(ExitCode(c) + ExitCode(d), 2 * STILL_ACTIVE);
    EXPECT_EQ(base::TerminateProcessesByName(nullptr, Wide(name), 500), 0xFFFFFFFFu);
    EXPECT_EQ(base::TerminateProcessesByFile(there, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(std::make_pair(ExitCode(c), ExitCode(d)), std::make_pair(10001u, STILL_ACTIVE));
    EXPECT_EQ(base::TerminateProcessesByPath(folder.c_str(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCode(d) + ExitCode(e), 20002u);
    EXPECT_EQ(base::TerminateProcessesByPath(folder.c_str(), 500), 0xFFFFFFFFu);

    EXPECT_TRUE(base::KillProcess(Wide(victim)));
    EXPECT_TRUE(base::TerminateProcessById(GetProcessId(g.Get())));
    for (auto* p : {&f, &g}) {
        EXPECT_EQ(WaitForSingleObject(p->Get(), 60000), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCode(*p), 16u);
    }
    EXPECT_FALSE(base::KillProcess(Wide(victim)));
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
            EXPECT_EQ(base_test::PrivilegeEnabled(token.Get(), SE_DEBUG_NAME), on);
        }
        EXPECT_TRUE(base::EnableThreadDebugPrivilege(GetCurrentThread(), true));
        EXPECT_TRUE(base_test::PrivilegeEnabled(token.Get(), SE_DEBUG_NAME))
            << "the thread keeps its one impersonation token";
        EXPECT_FALSE(base::EnableThreadDebugPrivilege(nullptr, true));
    }).join();
}

TEST_F(Process, EveryHandleOpenedOrReceivedIsClosed) {
    const std::string name = UniqueName("leak");
    const std::wstring exe = Place("leak/" + name), folder = winfile("leak");
    auto exercise = [&] {
        std::wstring line = Command(exe, 0, 3), missing = L"\"" + winfile("none.exe") + L"\"";
        uint32_t code = 0;
        EXPECT_TRUE(base::CreateProcessEx(line.data(), SW_HIDE, 60000, &code));
        EXPECT_FALSE(base::CreateProcessEx(missing.data(), SW_HIDE, 5000, &code));
        EXPECT_TRUE(base::SyncCreateProcess(exe, L"0 0", true, L""));
        auto a = Start(exe);
        EXPECT_NE(base::FindProcessIdByName(Wide(name).c_str()), 0u);
        std::vector<DWORD> ids;
        base::FindProcessIdsByName(Wide(name).c_str(), ids);
        base::GetCurrentProcessName();
        EXPECT_EQ(base::CountProcessesByPath(folder.c_str(), true), 1);
        EXPECT_TRUE(base::IsProcessRunningInPath(exe));
        EXPECT_EQ(base::TerminateProcessesByName(winfile("none").c_str(), Wide(name), 500),
                  0xFFFFFFFFu);
        EXPECT_EQ(base::TerminateProcessesByFile(exe, 60000), WAIT_OBJECT_0);
        auto b = Start(exe);
        EXPECT_EQ(base::TerminateProcessesByPath(folder.c_str(), 60000), WAIT_OBJECT_0);
        auto c = Start(exe);
        EXPECT_TRUE(base::KillProcess(Wide(name)));
        EXPECT_EQ(WaitForSingleObject(c.Get(), 60000), WAIT_OBJECT_0);
        EXPECT_FALSE(base::KillProcess(Wide(name)));
        EXPECT_TRUE(base::EnableThreadDebugPrivilege(GetCurrentThread(), true));
    };
    exercise();  // the thread's own token is made once, and stays
    const uintptr_t before = base_test::HighestOfManyHandles();
    for (int i = 0; i < 3; ++i) exercise();
    EXPECT_EQ(base_test::HighestOfManyHandles(), before);
}

}  // namespace
