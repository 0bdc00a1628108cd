#include "support/privilege_probe.h"

#include <gtest/gtest.h>

namespace testtoken {

bool PrivilegeEnabled(HANDLE token, const wchar_t* name) {
    TOKEN_PRIVILEGES on = {};
    on.PrivilegeCount = 1;
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, name, &on.Privileges[0].Luid));
    on.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous = {};
    DWORD size = sizeof previous;
    EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &on, sizeof previous, &previous, &size));
    if (previous.PrivilegeCount == 0) return true;
    AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
    return false;
}

}  // namespace testtoken
