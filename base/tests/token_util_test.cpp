#include "base/token_util.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <shlobj.h>
#include <win32_unixpath.h>

#include "base/scoped_handle.h"
#include "support/folder_view.h"
#include "support/handle_probe.h"
#include "support/privilege_probe.h"
#include "testing/temp_dir.h"

using base::ScopedHandle;
using testing_support::TempDir;
using testing_support::WinPath;

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system";

// Each test gets its own registry, window rendezvous, process record and integrity
// level.
class TokenUtil : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("WIN32_REGISTRY_DIR", tmp_.path().c_str(), 1);
        // Windows of other processes are found through the runtime folder: keep
        // the shell windows of tests running beside this one out of sight.
        setenv("XDG_RUNTIME_DIR", tmp_.path().c_str(), 1);
        setenv("WIN32_PROCESS_LOG", tmp_.file("processes.log").c_str(), 1);
        setenv("WIN32_INTEGRITY", "high", 1);
        unsetenv("WIN32_WINDOWS_VERSION");
    }

    void SetPolicy(const wchar_t* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Starts the child program through CreateProcessByToken; true when it ran and
    // ended with code 5.
    BOOL StartChild(LPSECURITY_ATTRIBUTES process_attributes = nullptr,
                    LPSECURITY_ATTRIBUTES thread_attributes = nullptr, BOOL inherit = FALSE) {
        std::string exe = BASE_PROCESS_CHILD;
        std::wstring line = L"\"" + UnixPathToWin32(exe) + L"\" 0 5";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        BOOL ok =
            base::CreateProcessByToken(nullptr, line.data(), process_attributes, thread_attributes,
                                       inherit, 0, nullptr, nullptr, &si, &pi);
        if (ok) {
            ScopedHandle process(pi.hProcess);
            ScopedHandle thread(pi.hThread);
            EXPECT_EQ(WaitForSingleObject(process.Get(), 5000), WAIT_OBJECT_0);
            DWORD code = 0;
            EXPECT_TRUE(GetExitCodeProcess(process.Get(), &code));
            EXPECT_EQ(code, 5u);
        }
        return ok;
    }

    // The functions that started processes, from the layer's record.
    std::string Starters() {
        std::ifstream in(tmp_.file("processes.log"));
        std::string out;
        for (std::string line; std::getline(in, line);)
            out += (out.empty() ? "" : " ") + line.substr(0, line.find('\t'));
        return out;
    }

    TempDir tmp_;
};

// A window of the desktop shell's class, as the shell of this session would have.
class ShellWindow {
public:
    ShellWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Progman";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, L"Progman", L"Program Manager", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, wc.hInstance, nullptr);
    }
    ~ShellWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace

TEST_F(TokenUtil, IntegrityLevelOfTheOwnToken) {
    EXPECT_EQ(base::GetTokenIntegrityLevel(nullptr), 0x2000u);
    for (auto [level, rid] :
         {std::pair{"medium", 0x2000u}, {"high", 0x3000u}, {"system", 0x4000u}, {"low", 0x1000u}}) {
        setenv("WIN32_INTEGRITY", level, 1);
        HANDLE raw = nullptr;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw));
        ScopedHandle token(raw);
        EXPECT_EQ(base::GetTokenIntegrityLevel(token.Get()), rid) << level;
        EXPECT_EQ(base::IsCurrentProcessHighIntegrity(), rid == 0x3000u) << level;
    }
}

TEST_F(TokenUtil, UacFollowsThePolicyValues) {
    EXPECT_TRUE(base::IsUacEnabled()) << "unreadable values count as 1";
    SetPolicy(L"EnableLUA", 1);
    SetPolicy(L"ConsentPromptBehaviorAdmin", 0);
    EXPECT_TRUE(base::IsUacEnabled()) << "one prompt setting off is not enough";
    SetPolicy(L"PromptOnSecureDesktop", 0);
    EXPECT_FALSE(base::IsUacEnabled()) << "administrators elevate without a prompt";
    SetPolicy(L"ConsentPromptBehaviorAdmin", 5);
    EXPECT_TRUE(base::IsUacEnabled());
    SetPolicy(L"EnableLUA", 0);
    EXPECT_FALSE(base::IsUacEnabled());
}

TEST_F(TokenUtil, TheBuiltInAdministratorIsNotHeldByUac) {
    std::string home = tmp_.file("home");
    std::string local = home + "/Users/Administrator/AppData/Local";
    ASSERT_EQ(system(("mkdir -p '" + local + "'").c_str()), 0);
    setenv("WIN32_DRIVES", ("C=" + home + ";Z=/").c_str(), 1);
    setenv("XDG_STATE_HOME", local.c_str(), 1);
    EXPECT_FALSE(base::IsUacEnabled());
    std::string other = home + "/Users/someone/AppData/Local";
    ASSERT_EQ(system(("mkdir -p '" + other + "'").c_str()), 0);
    setenv("XDG_STATE_HOME", other.c_str(), 1);
    EXPECT_TRUE(base::IsUacEnabled());
}

TEST_F(TokenUtil, ShellProcessAndItsTokenComeFromTheProgmanWindow) {
    EXPECT_EQ(base::GetShellProcessId(), 0u);
    EXPECT_EQ(base::GetShellPrimaryToken(), nullptr);
    ShellWindow shell;
    ASSERT_NE(shell.hwnd(), nullptr);
    EXPECT_EQ(base::GetShellProcessId(), GetCurrentProcessId());
    ScopedHandle token(base::GetShellPrimaryToken());
    ASSERT_TRUE(token.IsValid());
    TOKEN_TYPE type = TokenImpersonation;
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenType, &type, sizeof type, &size));
    EXPECT_EQ(type, TokenPrimary);
    EXPECT_EQ(base::GetTokenIntegrityLevel(token.Get()), 0x3000u);
    EXPECT_FALSE(base::IsShellTokenMediumIntegrity());
    setenv("WIN32_INTEGRITY", "medium", 1);
    EXPECT_TRUE(base::IsShellTokenMediumIntegrity());
}

TEST_F(TokenUtil, AttributesOrInheritanceStartNothing) {
    SECURITY_ATTRIBUTES sa = {};
    sa.nLength = sizeof sa;
    EXPECT_FALSE(StartChild(&sa));
    EXPECT_FALSE(StartChild(nullptr, &sa));
    EXPECT_FALSE(StartChild(nullptr, nullptr, TRUE));
    EXPECT_EQ(Starters(), "");
}

TEST_F(TokenUtil, OlderThanVistaStartsThePlainWay) {
    setenv("WIN32_WINDOWS_VERSION", "5.1.2600", 1);
    EXPECT_TRUE(StartChild());
    EXPECT_EQ(Starters(), "CreateProcessW");
}

TEST_F(TokenUtil, NotElevatedStartsThePlainWay) {
    setenv("WIN32_INTEGRITY", "medium", 1);
    EXPECT_TRUE(StartChild());
    EXPECT_EQ(Starters(), "CreateProcessW");
}

TEST_F(TokenUtil, ElevatedWithAnElevatedShellStartsThePlainWay) {
    ShellWindow shell;
    ASSERT_NE(shell.hwnd(), nullptr);
    EXPECT_TRUE(StartChild());
    EXPECT_EQ(Starters(), "CreateProcessW");
}

TEST_F(TokenUtil, ElevatedUnderUacWithoutAShellFailsForLackOfAToken) {
    EXPECT_FALSE(StartChild());
    EXPECT_EQ(Starters(), "");
}

TEST_F(TokenUtil, ElevatedWithUacOffAndNoShellStartsThePlainWay) {
    SetPolicy(L"EnableLUA", 0);
    EXPECT_TRUE(StartChild());
    EXPECT_EQ(Starters(), "CreateProcessW");
}

namespace {

bool ProcessPrivilegeEnabled(const wchar_t* name) {
    HANDLE raw = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw));
    ScopedHandle token(raw);
    return testtoken::PrivilegeEnabled(token.Get(), name);
}

}  // namespace

TEST_F(TokenUtil, PrivilegesSwitchByName) {
    EXPECT_TRUE(base::EnablePrivilege(SE_SHUTDOWN_NAME, true));
    EXPECT_TRUE(ProcessPrivilegeEnabled(SE_SHUTDOWN_NAME));
    EXPECT_TRUE(base::EnablePrivilege(SE_SHUTDOWN_NAME, false));
    EXPECT_FALSE(ProcessPrivilegeEnabled(SE_SHUTDOWN_NAME));
    EXPECT_FALSE(base::EnablePrivilege(L"SeNoSuchPrivilege", true));
}

TEST_F(TokenUtil, ElevationOfProcesses) {
    bool elevated = false;
    EXPECT_TRUE(base::QueryProcessElevation(&elevated, 0xFFFFFFFF));
    EXPECT_TRUE(elevated);
    EXPECT_TRUE(base::IsProcessElevated(GetCurrentProcessId()));
    setenv("WIN32_INTEGRITY", "medium", 1);
    EXPECT_TRUE(base::QueryProcessElevation(&elevated, 0xFFFFFFFF));
    EXPECT_FALSE(elevated);
    EXPECT_FALSE(base::IsProcessElevated(0xFFFFFFFF));
    elevated = true;
    EXPECT_FALSE(base::QueryProcessElevation(&elevated, 0x7FFFFFF0));
    EXPECT_TRUE(elevated) << "the flag is left alone when nothing could be read";
}

TEST_F(TokenUtil, ElevationIsNeededUnlessAnElevatedAdministrator) {
    bool admin = IsUserAnAdmin() != FALSE;
    EXPECT_EQ(base::NeedsElevation(), !admin);
    setenv("WIN32_INTEGRITY", "medium", 1);
    EXPECT_TRUE(base::NeedsElevation());
    setenv("WIN32_WINDOWS_VERSION", "5.1.2600", 1);
    EXPECT_EQ(base::NeedsElevation(), !admin);
}

TEST_F(TokenUtil, RunAsElevatedStartsThroughTheShell) {
    std::wstring exe = UnixPathToWin32(BASE_PROCESS_CHILD);
    EXPECT_TRUE(base::RunAsElevated(nullptr, exe.c_str(), L"0 0", nullptr));
    EXPECT_EQ(Starters(), "ShellExecuteExW");
    EXPECT_FALSE(base::RunAsElevated(nullptr, WinPath(tmp_, "missing.exe").c_str(), L"", nullptr));
}

TEST_F(TokenUtil, EveryTokenAndProcessHandleOpenedIsClosed) {
    std::wstring missing = L"\"" + WinPath(tmp_, "missing.exe") + L"\"";
    auto exercise = [&] {
        base::IsShellTokenMediumIntegrity();
        base::IsCurrentProcessHighIntegrity();
        base::EnablePrivilege(SE_SHUTDOWN_NAME, true);
        base::EnablePrivilege(L"SeNoSuchPrivilege", true);
        bool elevated = false;
        base::QueryProcessElevation(&elevated, 0xFFFFFFFF);
        base::QueryProcessElevation(&elevated, GetCurrentProcessId());
        base::QueryProcessElevation(&elevated, 0x7FFFFFF0);
        base::NeedsElevation();
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::wstring line = missing;
        EXPECT_FALSE(base::CreateProcessByToken(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                                                nullptr, nullptr, &si, &pi));
    };
    exercise();  // whatever is made once for good is made now
    const uintptr_t before = testing_support::HighestOfManyHandles();
    for (int i = 0; i < 5; ++i) exercise();  // no shell: the token path finds no token
    {
        ShellWindow shell;
        ASSERT_NE(shell.hwnd(), nullptr);
        for (int i = 0; i < 5; ++i) {
            exercise();  // an elevated shell: the plain path after reading its token
            CloseHandle(base::GetShellPrimaryToken());
        }
        setenv("WIN32_INTEGRITY", "medium", 1);
        for (int i = 0; i < 5; ++i) exercise();  // not elevated: the plain path
    }
    EXPECT_EQ(testing_support::HighestOfManyHandles(), before);
}
