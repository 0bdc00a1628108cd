// Access tokens: integrity and elevation, impersonation, duplication, privileges.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace {

const HANDLE kThisProcess = GetCurrentProcess();
const HANDLE kThisThread = GetCurrentThread();

class TokensTest : public ::testing::Test {
protected:
    void TearDown() override {
        unsetenv("WIN32_INTEGRITY");
        RevertToSelf();
    }

    static HANDLE ProcessToken(DWORD access) {
        HANDLE token = nullptr;
        EXPECT_TRUE(OpenProcessToken(kThisProcess, access, &token));
        return token;
    }

    // Reads the level the way a careful caller does: a small buffer first, then
    // one of the size the first call reported.
    static DWORD IntegrityOf(HANDLE token) {
        DWORD needed = 0;
        BYTE small[8];
        EXPECT_FALSE(GetTokenInformation(token, TokenIntegrityLevel, small, sizeof small, &needed));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::vector<BYTE> buf(needed);
        EXPECT_TRUE(GetTokenInformation(token, TokenIntegrityLevel, buf.data(), needed, &needed));
        auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buf.data());
        EXPECT_TRUE(IsValidSid(label->Label.Sid));
        UCHAR count = *GetSidSubAuthorityCount(label->Label.Sid);
        EXPECT_EQ(count, 1);
        return *GetSidSubAuthority(label->Label.Sid, count - 1);
    }

    static bool Elevated(HANDLE token) {
        TOKEN_ELEVATION e{};
        DWORD size = 0;
        EXPECT_TRUE(GetTokenInformation(token, TokenElevation, &e, sizeof e, &size));
        EXPECT_EQ(size, sizeof e);
        return e.TokenIsElevated != 0;
    }

    static TOKEN_ELEVATION_TYPE ElevationType(HANDLE token) {
        TOKEN_ELEVATION_TYPE t{};
        DWORD size = 0;
        EXPECT_TRUE(GetTokenInformation(token, TokenElevationType, &t, sizeof t, &size));
        return t;
    }
};

TEST_F(TokensTest, IntegrityIsHighForRootAndMediumForOthers) {
    HANDLE token = ProcessToken(TOKEN_QUERY);
    const bool root = geteuid() == 0;
    EXPECT_EQ(IntegrityOf(token), root ? 0x3000u : 0x2000u);
    EXPECT_EQ(Elevated(token), root);
    EXPECT_EQ(ElevationType(token), root ? TokenElevationTypeFull : TokenElevationTypeDefault);
    EXPECT_EQ(IsUserAnAdmin(), root ? TRUE : FALSE);
    EXPECT_TRUE(CloseHandle(token));
}

TEST_F(TokensTest, OrdinaryUserIsMediumAndNotAnAdmin) {
    // As root, check in a child that gives up root for good.
    auto check = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(kThisProcess, TOKEN_QUERY, &token)) return 1;
        BYTE buf[64];
        DWORD size = 0;
        if (!GetTokenInformation(token, TokenIntegrityLevel, buf, sizeof buf, &size)) return 2;
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buf)->Label.Sid;
        if (*GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1) != 0x2000) return 3;
        TOKEN_ELEVATION e{};
        if (!GetTokenInformation(token, TokenElevation, &e, sizeof e, &size) || e.TokenIsElevated)
            return 4;
        return IsUserAnAdmin() ? 5 : 0;
    };
    if (geteuid() != 0) {
        EXPECT_EQ(check(), 0);
        return;
    }
    pid_t pid = fork();
    if (pid == 0) _exit(setresuid(65534, 65534, 65534) == 0 ? check() : 9);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TokensTest, KnobForcesTheIntegrityLevel) {
    HANDLE token = ProcessToken(TOKEN_QUERY);
    setenv("WIN32_INTEGRITY", "medium", 1);
    EXPECT_EQ(IntegrityOf(token), 0x2000u);
    EXPECT_FALSE(Elevated(token));
    EXPECT_EQ(ElevationType(token), TokenElevationTypeDefault);
    setenv("WIN32_INTEGRITY", "High", 1);
    EXPECT_EQ(IntegrityOf(token), 0x3000u);
    EXPECT_TRUE(Elevated(token));
    EXPECT_EQ(ElevationType(token), TokenElevationTypeFull);
    setenv("WIN32_INTEGRITY", "0x1000", 1);
    EXPECT_EQ(IntegrityOf(token), 0x1000u);
    CloseHandle(token);
}

TEST_F(TokensTest, ThreadHasATokenOnlyWhileImpersonating) {
    HANDLE token = nullptr;
    SetLastError(0);
    EXPECT_FALSE(OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    ASSERT_TRUE(OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token));
    TOKEN_TYPE type{};
    SECURITY_IMPERSONATION_LEVEL level{};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenType, &type, sizeof type, &size));
    EXPECT_EQ(type, TokenImpersonation);
    ASSERT_TRUE(GetTokenInformation(token, TokenImpersonationLevel, &level, sizeof level, &size));
    EXPECT_EQ(level, SecurityImpersonation);
    CloseHandle(token);

    // Impersonation belongs to the thread that asked for it; another thread sees
    // it through a real handle of that thread, and has none of its own.
    HANDLE me = nullptr;
    ASSERT_TRUE(DuplicateHandle(kThisProcess, kThisThread, kThisProcess, &me, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    DWORD own_error = 0;
    BOOL seen = FALSE;
    std::thread([&] {
        HANDLE t = nullptr;
        if (!OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &t)) own_error = GetLastError();
        seen = OpenThreadToken(me, TOKEN_QUERY, TRUE, &t);
        if (seen) CloseHandle(t);
    }).join();
    EXPECT_EQ(own_error, static_cast<DWORD>(ERROR_NO_TOKEN));
    EXPECT_TRUE(seen);
    CloseHandle(me);

    ASSERT_TRUE(RevertToSelf());
    EXPECT_FALSE(OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
}

TEST_F(TokensTest, DuplicateMakesAPrimaryTokenWithTheRequestedAccess) {
    // The way a program takes another process's token to start a child with it.
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(process, nullptr);
    HANDLE source = nullptr;
    ASSERT_TRUE(OpenProcessToken(process, TOKEN_DUPLICATE, &source));
    CloseHandle(process);
    DWORD size = 0;
    TOKEN_ELEVATION e{};
    EXPECT_FALSE(GetTokenInformation(source, TokenElevation, &e, sizeof e, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    HANDLE primary = nullptr;
    ASSERT_TRUE(DuplicateTokenEx(source, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                 TokenPrimary, &primary));
    EXPECT_NE(primary, source);
    TOKEN_TYPE type{};
    ASSERT_TRUE(GetTokenInformation(primary, TokenType, &type, sizeof type, &size));
    EXPECT_EQ(type, TokenPrimary);
    EXPECT_EQ(IntegrityOf(primary), geteuid() == 0 ? 0x3000u : 0x2000u);

    HANDLE query_only = ProcessToken(TOKEN_QUERY);
    HANDLE copy = nullptr;
    EXPECT_FALSE(DuplicateTokenEx(query_only, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                  TokenPrimary, &copy));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(query_only);
    CloseHandle(primary);
    CloseHandle(source);
}

TEST_F(TokensTest, LooksUpPrivilegeNamesIgnoringCase) {
    LUID luid{};
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &luid));
    EXPECT_EQ(luid.LowPart, 20u);
    EXPECT_EQ(luid.HighPart, 0);
    LUID same{};
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"sedebugprivilege", &same));
    EXPECT_EQ(same.LowPart, luid.LowPart);
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeAssignPrimaryTokenPrivilege", &luid));
    EXPECT_EQ(luid.LowPart, 3u);
    EXPECT_FALSE(LookupPrivilegeValueW(nullptr, L"SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
}

TEST_F(TokensTest, AdjustingPrivilegesSucceedsAndReportsThePreviousState) {
    HANDLE token = ProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    TOKEN_PRIVILEGES enable{};
    enable.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_INCREASE_QUOTA_NAME, &enable.Privileges[0].Luid));
    enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    TOKEN_PRIVILEGES before{};
    DWORD size = 0;
    SetLastError(1234);
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &enable, sizeof before, &before, &size));
    EXPECT_EQ(GetLastError(), 0u);
    ASSERT_EQ(before.PrivilegeCount, 1u);
    EXPECT_EQ(before.Privileges[0].Luid.LowPart, enable.Privileges[0].Luid.LowPart);
    EXPECT_EQ(before.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED, 0u);

    // Turning it off again reports that it was on.
    TOKEN_PRIVILEGES disable = enable;
    disable.Privileges[0].Attributes = 0;
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &disable, sizeof before, &before, &size));
    ASSERT_EQ(before.PrivilegeCount, 1u);
    EXPECT_NE(before.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED, 0u);
    CloseHandle(token);

    HANDLE query_only = ProcessToken(TOKEN_QUERY);
    EXPECT_FALSE(AdjustTokenPrivileges(query_only, FALSE, &enable, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(query_only);
}

TEST_F(TokensTest, HandlesThatAreNotTokensAreRejected) {
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(0x7FF0), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    TOKEN_ELEVATION e{};
    DWORD size = 0;
    EXPECT_FALSE(
        GetTokenInformation(reinterpret_cast<HANDLE>(0x7FF0), TokenElevation, &e, sizeof e, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
