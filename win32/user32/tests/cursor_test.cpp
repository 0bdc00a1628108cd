#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(Cursors, SystemCursorsAreSharedPerId) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
    HCURSOR ibeam = LoadCursorW(nullptr, IDC_IBEAM);
    ASSERT_NE(ibeam, nullptr);
    EXPECT_NE(ibeam, arrow);
    for (LPCWSTR id : {IDC_WAIT, IDC_CROSS, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL, IDC_NO, IDC_HAND,
                       IDC_HELP, IDC_APPSTARTING, IDC_SIZENWSE, IDC_SIZENESW, IDC_UPARROW}) {
        EXPECT_NE(LoadCursorW(nullptr, id), nullptr);
    }
}

TEST(Cursors, DestroyingASharedCursorKeepsIt) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_TRUE(DestroyCursor(arrow));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), arrow);
}

TEST(Cursors, UnknownCursorsAreNotFound) {
    SetLastError(0);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadCursorW(nullptr, L"arrow"), nullptr);
    EXPECT_EQ(LoadCursorW(GetModuleHandleW(nullptr), IDC_ARROW), nullptr);
}

TEST(Cursors, AClassKeepsItsCursor) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.lpszClassName = L"CursorTestClass";
    ASSERT_NE(RegisterClassW(&wc), 0);
    WNDCLASSW back{};
    ASSERT_TRUE(GetClassInfoW(wc.hInstance, L"CursorTestClass", &back));
    EXPECT_EQ(back.hCursor, LoadCursorW(nullptr, IDC_HAND));
}

}  // namespace
