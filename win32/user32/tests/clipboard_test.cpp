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

TEST(Clipboard, TheOwnersTextReadsInEveryTextFormatUntilAnotherEmptiesIt) {
    HWND a = user32_test::MakeWindow(), b = user32_test::MakeWindow();
    HANDLE first = WideBlock(L"1"), placed = WideBlock(L"下载 ok");
    ASSERT_TRUE(OpenClipboard(a) && EmptyClipboard());
    SetClipboardData(CF_UNICODETEXT, first);
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, placed), placed);
    EXPECT_TRUE(Freed(first)) << "replaced in its format";
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
    ASSERT_TRUE(CloseClipboard());
    user32_test::ClearLog();
    ASSERT_TRUE(OpenClipboard(b) && EmptyClipboard() && CloseClipboard());
    EXPECT_EQ(user32_test::MessagesOf(a, {WM_DESTROYCLIPBOARD}).size(), 1u);
    EXPECT_TRUE(Freed(placed) && Freed(narrow));
    EXPECT_EQ(GetClipboardOwner(), b);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST(Clipboard, CallsOutOfTurnFail) {
    auto not_open = [](bool ok) { return !ok && GetLastError() == ERROR_CLIPBOARD_NOT_OPEN; };
    EXPECT_TRUE(not_open(EmptyClipboard()));
    EXPECT_TRUE(not_open(CloseClipboard()));
    EXPECT_TRUE(not_open(GetClipboardData(CF_TEXT)));
    // Emptied when opened without a window, it has no owner, and nobody may place data.
    HANDLE h = WideBlock(L"x");
    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, h), nullptr);
    // Open on this thread, it is shut to others until closed.
    std::thread([] {
        EXPECT_FALSE(OpenClipboard(nullptr) || GetLastError() != ERROR_ACCESS_DENIED);
    }).join();
    ASSERT_TRUE(CloseClipboard());
    std::thread([] { EXPECT_TRUE(OpenClipboard(nullptr) && CloseClipboard()); }).join();
    GlobalFree(h);
}

}  // namespace
