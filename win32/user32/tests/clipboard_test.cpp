// The clipboard as a Windows program sees it: who may open it, who owns it, whose
// blocks it keeps and frees, and text read back in another text format.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "user32_test_support.h"

namespace {

HANDLE WideBlock(const wchar_t* text) {
    HANDLE h = GlobalAlloc(GMEM_MOVEABLE, (wcslen(text) + 1) * sizeof(WCHAR));
    wcscpy(static_cast<WCHAR*>(GlobalLock(h)), text);
    GlobalUnlock(h);
    return h;
}

bool Freed(HANDLE h) { return GlobalSize(h) == 0 && GetLastError() == ERROR_INVALID_HANDLE; }

TEST(Clipboard, TextPlacedByItsOwnerReadsBackInEveryTextFormat) {
    HWND a = user32_test::MakeWindow();
    HANDLE placed = WideBlock(L"下载 ok");
    ASSERT_TRUE(OpenClipboard(a) && EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, placed), placed);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(GetClipboardOwner(), a);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(2));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), placed);
    HANDLE narrow = GetClipboardData(CF_TEXT);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(narrow)), "下载 ok");
    GlobalUnlock(narrow);
    EXPECT_EQ(GetClipboardData(CF_TEXT), narrow) << "converted once, then kept";
    EXPECT_EQ(GetClipboardData(2), nullptr);
    EXPECT_TRUE(CloseClipboard());
}

TEST(Clipboard, CallsOutOfTurnFail) {
    HWND a = user32_test::MakeWindow(), b = user32_test::MakeWindow();
    HANDLE h = WideBlock(L"x");
    auto not_open = [](bool ok) { return !ok && GetLastError() == ERROR_CLIPBOARD_NOT_OPEN; };
    EXPECT_TRUE(not_open(EmptyClipboard()));
    EXPECT_TRUE(not_open(CloseClipboard()));
    EXPECT_TRUE(not_open(GetClipboardData(CF_TEXT)));
    // Nobody owns it after it was emptied with no window, and only its owner may
    // place data.
    for (HWND opener : {static_cast<HWND>(nullptr), b}) {
        ASSERT_TRUE(OpenClipboard(opener == b ? a : nullptr) && EmptyClipboard() &&
                    CloseClipboard());
        ASSERT_TRUE(OpenClipboard(opener));
        EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);
        EXPECT_EQ(GetOpenClipboardWindow(), opener);
        // Open on this thread, it is shut to others until closed.
        std::thread([] {
            EXPECT_FALSE(OpenClipboard(nullptr));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }).join();
        ASSERT_TRUE(CloseClipboard());
    }
    std::thread([] { EXPECT_TRUE(OpenClipboard(nullptr) && CloseClipboard()); }).join();
    GlobalFree(h);
}

TEST(Clipboard, ItFreesWhatItHoldsAndTellsTheOwnerWhoLostIt) {
    HWND a = user32_test::MakeWindow(), b = user32_test::MakeWindow();
    HANDLE first = WideBlock(L"1"), second = WideBlock(L"2");
    ASSERT_TRUE(OpenClipboard(a) && EmptyClipboard());
    SetClipboardData(CF_UNICODETEXT, first);
    SetClipboardData(CF_UNICODETEXT, second);
    EXPECT_TRUE(Freed(first)) << "replaced in its format";
    EXPECT_FALSE(Freed(second));
    ASSERT_TRUE(CloseClipboard());
    user32_test::ClearLog();
    ASSERT_TRUE(OpenClipboard(b) && EmptyClipboard());
    EXPECT_EQ(user32_test::MessagesOf(a, {WM_DESTROYCLIPBOARD}).size(), 1u);
    EXPECT_TRUE(Freed(second));
    EXPECT_EQ(GetClipboardOwner(), b);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(CloseClipboard());
}

}  // namespace
