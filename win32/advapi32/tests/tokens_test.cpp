// Access tokens: integrity and elevation, impersonation, duplication, privileges.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/win32_fork.h"

namespace {

const HANDLE kThisProcess = GetCurrentProcess();
const HANDLE kThisThread = GetCurrentThread();
const HANDLE kNoToken = reinterpret_cast<HANDLE>(0x7FF0);

HANDLE ProcessToken(DWORD access) {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(kThisProcess, access, &token));
    return token;
}

// The level, read as a careful caller does: a small buffer first, then one of
// the size the first call reported.
DWORD IntegrityOf(HANDLE token) {
    DWORD needed = 0;
    BYTE small[8];
    if (GetTokenInformation(token, TokenIntegrityLevel, small, sizeof small, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 1;
    std::vector<BYTE> buf(needed);
    if (!GetTokenInformation(token, TokenIntegrityLevel, buf.data(), needed, &needed)) return 2;
    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buf.data())->Label.Sid;
    if (!IsValidSid(sid) || *GetSidSubAuthorityCount(sid) != 1) return 3;
    return *GetSidSubAuthority(sid, 0);
}

// Integrity level, elevation, elevation type and IsUserAnAdmin, as text.
std::string Standing(HANDLE token) {
    TOKEN_ELEVATION e{};
    TOKEN_ELEVATION_TYPE t{};
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevation, &e, sizeof e, &size) || size != sizeof e ||
        !GetTokenInformation(token, TokenElevationType, &t, sizeof t, &size))
        return "no answer";
    char text[64];
    snprintf(text, sizeof text, "%lx%s type %d%s", static_cast<unsigned long>(IntegrityOf(token)),
             e.TokenIsElevated ? " elevated" : "", t, IsUserAnAdmin() ? " admin" : "");
    return text;
}

const std::string kMedium = "2000 type 1", kHigh = "3000 elevated type 2 admin";

TEST(Tokens, IntegrityIsHighForRootMediumForOthersOrWhatTheKnobSays) {
    HANDLE token = ProcessToken(TOKEN_QUERY);
    EXPECT_EQ(Standing(token), geteuid() == 0 ? kHigh : kMedium);
    EXPECT_EQ(testing_support::AsOrdinaryUser(
                  [] { return Standing(ProcessToken(TOKEN_QUERY)) == kMedium ? 0 : 1; }),
              0);
    {
        // The level and the elevation follow the knob, IsUserAnAdmin the user.
        const std::string admin = geteuid() == 0 ? " admin" : "";
        testing_support::ScopedEnv knob("WIN32_INTEGRITY", "medium");
        EXPECT_EQ(Standing(token), kMedium + admin);
        setenv("WIN32_INTEGRITY", "High", 1);
        EXPECT_EQ(Standing(token), "3000 elevated type 2" + admin);
        setenv("WIN32_INTEGRITY", "0x1000", 1);
        EXPECT_EQ(IntegrityOf(token), 0x1000u);
    }
    EXPECT_TRUE(CloseHandle(token));
}

TEST(Tokens, AThreadHasATokenOnlyWhileImpersonatingThatOtherThreadsSeeThroughItsHandle) {
    HANDLE token = nullptr;
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

    HANDLE me = nullptr;
    ASSERT_TRUE(DuplicateHandle(kThisProcess, kThisThread, kThisProcess, &me, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    DWORD own_error = 0;
    BOOL seen = FALSE;
    std::thread([&] {
        HANDLE t = nullptr;
        if (!OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &t)) own_error = GetLastError();
        if ((seen = OpenThreadToken(me, TOKEN_QUERY, TRUE, &t))) CloseHandle(t);
    }).join();
    EXPECT_EQ(own_error, static_cast<DWORD>(ERROR_NO_TOKEN));
    EXPECT_TRUE(seen);
    CloseHandle(me);
    ASSERT_TRUE(RevertToSelf());
    EXPECT_FALSE(OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
}

TEST(Tokens, DuplicateMakesAPrimaryTokenWithTheRequestedAccess) {
    // The way a program takes another process's token to start a child with it.
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    HANDLE source = nullptr, primary = nullptr, copy = nullptr;
    ASSERT_TRUE(OpenProcessToken(process, TOKEN_DUPLICATE, &source));
    CloseHandle(process);
    EXPECT_EQ(IntegrityOf(source), 1u);  // no query access
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(DuplicateTokenEx(source, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                 TokenPrimary, &primary));
    EXPECT_NE(primary, source);
    TOKEN_TYPE type{};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(primary, TokenType, &type, sizeof type, &size));
    EXPECT_EQ(type, TokenPrimary);
    EXPECT_EQ(IntegrityOf(primary), geteuid() == 0 ? 0x3000u : 0x2000u);
    HANDLE query_only = ProcessToken(TOKEN_QUERY);
    EXPECT_FALSE(DuplicateTokenEx(query_only, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                  TokenPrimary, &copy));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    for (HANDLE h : {query_only, primary, source}) CloseHandle(h);
}

TEST(Tokens, PrivilegesAreLookedUpIgnoringCaseAndAdjustingReportsThePreviousState) {
    const std::pair<const wchar_t*, DWORD> names[] = {
        {SE_DEBUG_NAME, 20}, {L"sedebugprivilege", 20}, {L"SeAssignPrimaryTokenPrivilege", 3}};
    for (auto [name, value] : names) {
        LUID luid{};
        ASSERT_TRUE(LookupPrivilegeValueW(nullptr, name, &luid));
        EXPECT_EQ(luid.LowPart, value);
        EXPECT_EQ(luid.HighPart, 0);
    }
    LUID luid{};
    EXPECT_FALSE(LookupPrivilegeValueW(nullptr, L"SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));

    HANDLE token = ProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    TOKEN_PRIVILEGES change{}, before{};
    change.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_INCREASE_QUOTA_NAME, &change.Privileges[0].Luid));
    for (DWORD attributes : {DWORD{SE_PRIVILEGE_ENABLED}, DWORD{0}}) {
        change.Privileges[0].Attributes = attributes;
        DWORD size = 0;
        SetLastError(1234);
        ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &change, sizeof before, &before, &size));
        EXPECT_EQ(GetLastError(), 0u);
        ASSERT_EQ(before.PrivilegeCount, 1u);
        EXPECT_EQ(before.Privileges[0].Luid.LowPart, change.Privileges[0].Luid.LowPart);
        EXPECT_EQ(before.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED,
                  attributes ^ SE_PRIVILEGE_ENABLED);  // it was the other way
    }
    CloseHandle(token);
    HANDLE query_only = ProcessToken(TOKEN_QUERY);
    EXPECT_FALSE(AdjustTokenPrivileges(query_only, FALSE, &change, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(query_only);
}

TEST(Tokens, HandlesThatAreNoTokensAreRefused) {
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(kNoToken, TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(IntegrityOf(kNoToken), 1u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    std::wstring line = L"/bin/true";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    for (HANDLE not_a_token : {kThisProcess, HANDLE{}}) {
        PROCESS_INFORMATION pi{};
        EXPECT_FALSE(CreateProcessWithTokenW(not_a_token, 0, nullptr, line.data(), 0, nullptr,
                                             nullptr, &si, &pi));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(pi.hProcess, nullptr);
    }
}

}  // namespace
