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
#include "testing/win32_last_error.h"

namespace {

using testing_support::Failed;

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

// A fixed-size piece of token information as a number, or -1 when the query fails.
template <class T>
int Info(HANDLE token, TOKEN_INFORMATION_CLASS what) {
    T v{};
    DWORD size = 0;
    return GetTokenInformation(token, what, &v, sizeof v, &size) && size == sizeof v ? int(v) : -1;
}

// Integrity level, elevation, elevation type and IsUserAnAdmin, as text.
std::string Standing(HANDLE token) {
    char text[64];
    snprintf(text, sizeof text, "%lx%s type %d%s", static_cast<unsigned long>(IntegrityOf(token)),
             Info<DWORD>(token, TokenElevation) ? " elevated" : "",
             Info<TOKEN_ELEVATION_TYPE>(token, TokenElevationType),
             IsUserAnAdmin() ? " admin" : "");
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
    EXPECT_EQ(Failed(!OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token)), ERROR_NO_TOKEN);
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    ASSERT_TRUE(OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(Info<TOKEN_TYPE>(token, TokenType), TokenImpersonation);
    EXPECT_EQ(Info<SECURITY_IMPERSONATION_LEVEL>(token, TokenImpersonationLevel),
              SecurityImpersonation);
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
    EXPECT_EQ(Failed(!OpenThreadToken(kThisThread, TOKEN_QUERY, TRUE, &token)), ERROR_NO_TOKEN);
}

TEST(Tokens, DuplicateMakesAPrimaryTokenWithTheRequestedAccess) {
    // The way a program takes another process's token to start a child with it.
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    HANDLE source = nullptr, primary = nullptr, copy = nullptr;
    ASSERT_TRUE(OpenProcessToken(process, TOKEN_DUPLICATE, &source));
    CloseHandle(process);
    EXPECT_EQ(Failed(IntegrityOf(source) == 1), ERROR_ACCESS_DENIED);  // no query access
    ASSERT_TRUE(DuplicateTokenEx(source, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                 TokenPrimary, &primary));
    EXPECT_NE(primary, source);
    EXPECT_EQ(Info<TOKEN_TYPE>(primary, TokenType), TokenPrimary);
    EXPECT_EQ(IntegrityOf(primary), geteuid() == 0 ? 0x3000u : 0x2000u);
    HANDLE query_only = ProcessToken(TOKEN_QUERY);
    EXPECT_EQ(Failed(!DuplicateTokenEx(query_only, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                       TokenPrimary, &copy)),
              ERROR_ACCESS_DENIED);
    for (HANDLE h : {query_only, primary, source}) CloseHandle(h);
}

TEST(Tokens, PrivilegesAreLookedUpIgnoringCaseAndAdjustingReportsThePreviousState) {
    auto luid_of = [](const wchar_t* name) {
        LUID luid{};
        return LookupPrivilegeValueW(nullptr, name, &luid)
                   ? std::to_string(luid.HighPart) + ":" + std::to_string(luid.LowPart)
                   : "error " + std::to_string(GetLastError());
    };
    for (const wchar_t* name : {SE_DEBUG_NAME, L"sedebugprivilege"})
        EXPECT_EQ(luid_of(name), "0:20");
    EXPECT_EQ(luid_of(L"SeAssignPrimaryTokenPrivilege"), "0:3");
    EXPECT_EQ(luid_of(L"SeNoSuchPrivilege"), "error 1313");

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
    EXPECT_EQ(Failed(!AdjustTokenPrivileges(query_only, FALSE, &change, 0, nullptr, nullptr)),
              ERROR_ACCESS_DENIED);
    CloseHandle(query_only);
}

TEST(Tokens, HandlesThatAreNoTokensAreRefused) {
    HANDLE token = nullptr;
    EXPECT_EQ(Failed(!OpenProcessToken(kNoToken, TOKEN_QUERY, &token)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Failed(IntegrityOf(kNoToken) == 1), ERROR_INVALID_HANDLE);
    std::wstring line = L"/bin/true";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    for (HANDLE not_a_token : {kThisProcess, HANDLE{}}) {
        PROCESS_INFORMATION pi{};
        EXPECT_EQ(Failed(!CreateProcessWithTokenW(not_a_token, 0, nullptr, line.data(), 0, nullptr,
                                                  nullptr, &si, &pi)),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(pi.hProcess, nullptr);
    }
}

}  // namespace
