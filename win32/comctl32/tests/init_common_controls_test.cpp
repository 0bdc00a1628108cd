#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

TEST(InitCommonControlsEx, AcceptsOnlyARecordOfItsSizeWithKnownClasses) {
    const struct {
        DWORD size, classes;
        BOOL expected;
    } cases[] = {
        {sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES, TRUE},
        {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_LINK_CLASS, TRUE},
        {sizeof(INITCOMMONCONTROLSEX) + 4, ICC_BAR_CLASSES, FALSE},
        {sizeof(INITCOMMONCONTROLSEX), 0x10000, FALSE},
    };
    for (const auto& c : cases) {
        INITCOMMONCONTROLSEX init = {c.size, c.classes};
        EXPECT_EQ(InitCommonControlsEx(&init), c.expected) << c.size << " " << c.classes;
    }
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    EXPECT_EQ(GetProcAddress(comctl, "InitCommonControlsEx"),
              reinterpret_cast<FARPROC>(&InitCommonControlsEx));
}

}  // namespace
