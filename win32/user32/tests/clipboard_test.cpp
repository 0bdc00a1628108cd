// The clipboard as a Windows program sees it: who may open it, who owns it, whose
// blocks it keeps and frees, and text read back in another text format.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <thread>

#include "user32_test_support.h"

namespace {

using user32_test::MakeWindow;

HANDLE WideBlock(const std::wstring& text) {
    HANDLE h = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(WCHAR));
    memcpy(GlobalLock(h), text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    GlobalUnlock(h);
    return h;
}

bool Freed(HANDLE h) { return GlobalSize(h) == 0 && GetLastError() == ERROR_INVALID_HANDLE; }

TEST(Clipboard, TextPlacedByItsOwnerReadsBackInEveryTextFormat) {
    HWND a = MakeWindow();
    ASSERT_TRUE(OpenClipboard(a));
    ASSERT_TRUE(EmptyClipboard());
    HANDLE placed = WideBlock(L"下载 ok");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, placed), placed);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(GetClipboardOwner(), a);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(2));

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), placed);
    HANDLE narrow = GetClipboardData(CF_TEXT);
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(narrow)), "下载 ok");
    GlobalUnlock(narrow);
    EXPECT_EQ(GetClipboardData(CF_TEXT), narrow) << "converted once, then kept";
    EXPECT_EQ(GetClipboardData(2), nullptr);
    ASSERT_TRUE(CloseClipboard());
    DestroyWindow(a);
}

TEST(Clipboard, CallsOutOfTurnFail) {
    HWND a = MakeWindow(), b = MakeWindow();
    SetLastError(0);
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    for (BOOL (*call)() : {&EmptyClipboard, &CloseClipboard}) {
        SetLastError(0);
        EXPECT_FALSE(call());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN));
    }
    HANDLE h = WideBlock(L"x");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);

    // Opened without a window, emptying leaves no owner, and nobody may place data.
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);
    ASSERT_TRUE(CloseClipboard());
    // Opened by a window that did not empty it: the owner is another.
    ASSERT_TRUE(OpenClipboard(a));
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_TRUE(CloseClipboard());
    ASSERT_TRUE(OpenClipboard(b));
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);
    EXPECT_EQ(GetOpenClipboardWindow(), b);

    // Open on this thread, it is shut to others until closed.
    BOOL other = TRUE;
    DWORD error = 0;
    std::thread([&] {
        other = OpenClipboard(nullptr);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(other);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseClipboard());
    std::thread([&] { other = OpenClipboard(nullptr) && CloseClipboard(); }).join();
    EXPECT_TRUE(other);
    GlobalFree(h);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(Clipboard, TheClipboardFreesWhatItHoldsAndTellsTheOwnerItLost) {
    HWND a = MakeWindow(), b = MakeWindow();
    ASSERT_TRUE(OpenClipboard(a));
    ASSERT_TRUE(EmptyClipboard());
    HANDLE first = WideBlock(L"1"), second = WideBlock(L"2");
    SetClipboardData(CF_UNICODETEXT, first);
    SetClipboardData(CF_UNICODETEXT, second);
    EXPECT_TRUE(Freed(first)) << "replaced in its format";
    EXPECT_FALSE(Freed(second));
    ASSERT_TRUE(CloseClipboard());

    user32_test::ClearLog();
    ASSERT_TRUE(OpenClipboard(b));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(user32_test::MessagesOf(a, {WM_DESTROYCLIPBOARD}).size(), 1u);
    EXPECT_TRUE(Freed(second));
    EXPECT_EQ(GetClipboardOwner(), b);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(CloseClipboard());
    DestroyWindow(a);
    DestroyWindow(b);
}

}  // namespace
