#include <commctrl.h>

#include <gtest/gtest.h>

TEST(InitCommonControlsEx, AcceptsOnlyARecordOfItsSizeNamingKnownClasses) {
    const INITCOMMONCONTROLSEX cases[] = {
        {sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES},
        {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_LINK_CLASS},
        {sizeof(INITCOMMONCONTROLSEX) + 4, ICC_BAR_CLASSES},
        {sizeof(INITCOMMONCONTROLSEX), 0x10000}};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(InitCommonControlsEx(&cases[i]), i < 2) << i;
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    EXPECT_NE(GetProcAddress(LoadLibraryW(L"comctl32.dll"), "InitCommonControlsEx"), nullptr);
}
