// CreateProcessWithTokenW refuses anything that is not a token.
#include <windows.h>

#include <gtest/gtest.h>

TEST(CreateProcessWithToken, HandleThatIsNoTokenIsRefused) {
    std::wstring line = L"/bin/true";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    EXPECT_FALSE(CreateProcessWithTokenW(GetCurrentProcess(), 0, nullptr, line.data(), 0, nullptr,
                                         nullptr, &si, &pi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, pi.hProcess);

    EXPECT_FALSE(
        CreateProcessWithTokenW(nullptr, 0, nullptr, line.data(), 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, pi.hProcess);
}
