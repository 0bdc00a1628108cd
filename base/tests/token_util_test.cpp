#include "base/token_util.h"

#include <shlobj.h>
#include <win32_unixpath.h>

#include "support/base_test.h"

using base::ScopedHandle;

namespace {

// Windows of other processes are found through the runtime folder, which the layer reads
// once: the program takes a private one before its first test, so the shell windows of
// tests running beside it stay out of sight whichever test makes the first window.
struct PrivateRuntime : ::testing::Environment {
    void SetUp() override { env = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", dir.path()); }
    void TearDown() override { env.reset(); }
    TempDir dir;
    std::unique_ptr<ScopedEnv> env;
};
::testing::Environment* const g_private_runtime =
    ::testing::AddGlobalTestEnvironment(new PrivateRuntime);

// Each test gets its own registry, process record and integrity level; every variable it
// sets is put back afterwards.
class TokenUtil : public ::testing::Test {
protected:
    TokenUtil() {
        Set("WIN32_REGISTRY_DIR", tmp_.path());
        Set("WIN32_PROCESS_LOG", tmp_.file("processes.log"));
        Set("WIN32_INTEGRITY", "high");
        Set("WIN32_WINDOWS_VERSION", "6.1.7601");
    }
    void Set(const char* name, const std::string& value) { env_.Set(name, value); }

    void SetPolicy(const wchar_t* name, DWORD value) {
        ASSERT_TRUE(base_test::SetMachineValue(
            L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\system", name, REG_DWORD,
            &value, sizeof value));
    }

    // Starts the child program through CreateProcessByToken; true when it ran and
    // ended with code 5.
    BOOL StartChild(LPSECURITY_ATTRIBUTES process_attributes = nullptr,
                    LPSECURITY_ATTRIBUTES thread_attributes = nullptr, BOOL inherit = FALSE) {
        std::wstring line = L"\"" + UnixPathToWin32(BASE_PROCESS_CHILD) + L"\" 0 5";
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        const BOOL ok =
            base::CreateProcessByToken(nullptr, line.data(), process_attributes, thread_attributes,
                                       inherit, 0, nullptr, nullptr, &si, &pi);
        if (!ok) return ok;
        ScopedHandle process(pi.hProcess), thread(pi.hThread);
        DWORD code = 0;
        EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
        EXPECT_TRUE(GetExitCodeProcess(process.Get(), &code) && code == 5) << code;
        return ok;
    }

    // The functions that started processes, from the layer's record; the record starts anew.
    std::string Starters() {
        std::string out, text = ReadAll(tmp_.file("processes.log"));
        for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1)
            out += (out.empty() ? "" : " ") + text.substr(at, text.find('\t', at) - at);
        WriteAll(tmp_.file("processes.log"), "");
        return out;
    }

    TempDir tmp_;
    testing_support::ScopedEnvs env_;
};

// A window of the desktop shell's class, as the shell of this session would have.
struct ShellWindow {
    ~ShellWindow() { DestroyWindow(hwnd); }
    HWND hwnd = base_test::MakeWindow(L"Progman", L"Program Manager", WS_POPUP);
};

}  // namespace

TEST_F(TokenUtil, IntegrityLevelsOfTheOwnAndTheShellsToken) {
    EXPECT_EQ(base::GetTokenIntegrityLevel(nullptr), 0x2000u);
    for (auto [level, rid] :
         {std::pair{"medium", 0x2000u}, {"high", 0x3000u}, {"system", 0x4000u}, {"low", 0x1000u}}) {
        Set("WIN32_INTEGRITY", level);
        HANDLE raw = nullptr;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw));
        EXPECT_EQ(base::GetTokenIntegrityLevel(ScopedHandle(raw).Get()), rid) << level;
        EXPECT_EQ(base::IsCurrentProcessHighIntegrity(), rid == 0x3000u) << level;
    }
    Set("WIN32_INTEGRITY", "high");
    EXPECT_TRUE(base::GetShellProcessId() == 0 && base::GetShellPrimaryToken() == nullptr);
    ShellWindow shell;  // the shell is found through its window
    EXPECT_EQ(base::GetShellProcessId(), GetCurrentProcessId());
    ScopedHandle token(base::GetShellPrimaryToken());
    TOKEN_TYPE type = TokenImpersonation;
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenType, &type, sizeof type, &size));
    EXPECT_EQ(type, TokenPrimary);
    EXPECT_EQ(base::GetTokenIntegrityLevel(token.Get()), 0x3000u);
    EXPECT_FALSE(base::IsShellTokenMediumIntegrity());
    Set("WIN32_INTEGRITY", "medium");
    EXPECT_TRUE(base::IsShellTokenMediumIntegrity());
}

TEST_F(TokenUtil, UacFollowsThePolicyValuesButNeverHoldsTheBuiltInAdministrator) {
    EXPECT_TRUE(base::IsUacEnabled()) << "unreadable values count as 1";
    const struct {
        const wchar_t* name;
        DWORD value;
        bool enabled;
    } steps[] = {{L"EnableLUA", 1, true},
                 {L"ConsentPromptBehaviorAdmin", 0, true},  // one prompt setting is not enough
                 {L"PromptOnSecureDesktop", 0, false},  // administrators elevate without a prompt
                 {L"ConsentPromptBehaviorAdmin", 5, true},
                 {L"EnableLUA", 0, false}};
    for (auto& s : steps) {
        SetPolicy(s.name, s.value);
        EXPECT_EQ(base::IsUacEnabled(), s.enabled) << s.name << " " << s.value;
    }
    SetPolicy(L"EnableLUA", 1);
    Set("WIN32_DRIVES", "C=" + tmp_.file("home") + ";Z=/");
    for (const std::string user : {"Administrator", "someone"}) {
        const std::string local = tmp_.file("home/Users/" + user + "/AppData/Local");
        ASSERT_EQ(system(("mkdir -p '" + local + "'").c_str()), 0);
        Set("XDG_STATE_HOME", local);
        EXPECT_EQ(base::IsUacEnabled(), user != "Administrator") << user;
    }
}

// The program's way to start a process that is not elevated with it: through the
// shell's token when elevated under UAC, the plain way otherwise.
TEST_F(TokenUtil, CreateProcessByTokenStartsThePlainWayUnlessElevatedUnderUac) {
    EXPECT_FALSE(StartChild()) << "elevated under UAC without a shell there is no token";
    EXPECT_EQ(Starters(), "");
    {
        ShellWindow elevated_shell;
        SECURITY_ATTRIBUTES sa = {sizeof sa};  // refused on any way
        EXPECT_FALSE(StartChild(&sa) || StartChild(nullptr, &sa) ||
                     StartChild(nullptr, nullptr, TRUE));
        EXPECT_TRUE(StartChild());
        EXPECT_EQ(Starters(), "CreateProcessW");
    }
    SetPolicy(L"EnableLUA", 0);
    EXPECT_TRUE(StartChild());
    SetPolicy(L"EnableLUA", 1);
    Set("WIN32_INTEGRITY", "medium");
    EXPECT_TRUE(StartChild());
    Set("WIN32_INTEGRITY", "high");
    Set("WIN32_WINDOWS_VERSION", "5.1.2600");
    EXPECT_TRUE(StartChild());
    EXPECT_EQ(Starters(), "CreateProcessW CreateProcessW CreateProcessW");
}

TEST_F(TokenUtil, PrivilegesElevationAndTheElevatedStart) {
    HANDLE raw = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw));
    ScopedHandle token(raw);
    for (bool on : {true, false}) {
        EXPECT_TRUE(base::EnablePrivilege(SE_SHUTDOWN_NAME, on));
        EXPECT_EQ(base_test::PrivilegeEnabled(token.Get(), SE_SHUTDOWN_NAME), on);
    }
    EXPECT_FALSE(base::EnablePrivilege(L"SeNoSuchPrivilege", true));

    bool elevated = false;
    EXPECT_TRUE(base::QueryProcessElevation(&elevated, 0xFFFFFFFF) && elevated &&
                base::IsProcessElevated(GetCurrentProcessId()));
    const bool admin = IsUserAnAdmin() != FALSE;
    EXPECT_EQ(base::NeedsElevation(), !admin);
    Set("WIN32_INTEGRITY", "medium");
    EXPECT_TRUE(base::QueryProcessElevation(&elevated, 0xFFFFFFFF));
    EXPECT_FALSE(elevated || base::IsProcessElevated(0xFFFFFFFF));
    elevated = true;
    EXPECT_FALSE(base::QueryProcessElevation(&elevated, 0x7FFFFFF0));
    EXPECT_TRUE(elevated) << "the flag is left alone when nothing could be read";
    EXPECT_TRUE(base::NeedsElevation());
    Set("WIN32_WINDOWS_VERSION", "5.1.2600");
    EXPECT_EQ(base::NeedsElevation(), !admin);

    std::wstring exe = UnixPathToWin32(BASE_PROCESS_CHILD);
    EXPECT_TRUE(base::RunAsElevated(nullptr, exe.c_str(), L"0 0", nullptr));
    EXPECT_EQ(Starters(), "ShellExecuteExW");
    EXPECT_FALSE(base::RunAsElevated(nullptr, tmp_.winfile("missing.exe").c_str(), L"", nullptr));
}

TEST_F(TokenUtil, EveryTokenAndProcessHandleOpenedIsClosed) {
    const std::wstring missing = L"\"" + tmp_.winfile("missing.exe") + L"\"";
    auto exercise = [&] {
        base::IsShellTokenMediumIntegrity();
        base::IsCurrentProcessHighIntegrity();
        base::EnablePrivilege(SE_SHUTDOWN_NAME, true);
        base::EnablePrivilege(L"SeNoSuchPrivilege", true);
        bool elevated = false;
        for (DWORD id : {0xFFFFFFFFu, GetCurrentProcessId(), 0x7FFFFFF0u})
            base::QueryProcessElevation(&elevated, id);
        base::NeedsElevation();
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        std::wstring line = missing;
        EXPECT_FALSE(base::CreateProcessByToken(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                                                nullptr, nullptr, &si, &pi));
    };
    exercise();  // whatever is made once for good is made now
    const uintptr_t before = base_test::HighestOfManyHandles();
    for (int i = 0; i < 5; ++i) exercise();  // no shell: the token path finds no token
    {
        ShellWindow shell;
        for (int i = 0; i < 5; ++i) {
            exercise();  // an elevated shell: the plain path after reading its token
            CloseHandle(base::GetShellPrimaryToken());
        }
        Set("WIN32_INTEGRITY", "medium");
        for (int i = 0; i < 5; ++i) exercise();  // not elevated: the plain path
    }
    EXPECT_EQ(base_test::HighestOfManyHandles(), before);
}
