// Shell_NotifyIconW: the tray keeps each icon's state, refuses doubles and missing
// icons, drops icons with their window, and a click posts the callback.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <win32_debug.h>
#include <windows.h>

#include <cwchar>
#include <thread>

#include "testing/win32_last_error.h"

namespace {

using testing_support::Failed;

constexpr UINT kTrayMessage = 0x800;
const HICON kIcon = reinterpret_cast<HICON>(static_cast<uintptr_t>(0x1234));

HWND MakeOwner() {
    static ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"TrayTestOwner";
        return RegisterClassW(&wc);
    }();
    EXPECT_NE(atom, 0);
    return CreateWindowExW(0, L"TrayTestOwner", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           nullptr, nullptr);
}

NOTIFYICONDATAW Data(HWND owner, UINT id, UINT flags, const wchar_t* tip = L"tip") {
    NOTIFYICONDATAW d{};
    d.cbSize = sizeof d;
    d.hWnd = owner;
    d.uID = id;
    d.uFlags = flags;
    d.uCallbackMessage = kTrayMessage;
    d.hIcon = kIcon;
    wcsncpy(d.szTip, tip, 127);
    return d;
}

// By default with the fields the program's tray icon gives.
BOOL Call(DWORD what, HWND owner, UINT id, const wchar_t* tip = L"tip",
          UINT flags = NIF_MESSAGE | NIF_ICON | NIF_TIP) {
    auto d = Data(owner, id, flags, tip);
    return Shell_NotifyIconW(what, &d);
}

WIN32_TRAY_ICON_STATE StateOf(HWND owner, UINT id) {
    WIN32_TRAY_ICON_STATE s{};
    EXPECT_TRUE(Win32TrayIconState(owner, id, &s));
    return s;
}

TEST(Tray, AddModifyAndDeleteAnswerAsWindowsDoes) {
    HWND owner = MakeOwner(), other = MakeOwner();
    ASSERT_TRUE(Call(NIM_ADD, owner, 1, L"下载器"));
    EXPECT_TRUE(Call(NIM_ADD, other, 1));  // the same id of another window is another icon
    SetLastError(0);
    EXPECT_EQ(Failed(!Call(NIM_ADD, owner, 1, L"second")), ERROR_ALREADY_EXISTS);
    auto s = StateOf(owner, 1);
    EXPECT_EQ(std::wstring(s.tip), L"下载器");
    EXPECT_EQ(s.callback_message, kTrayMessage);
    // A modification changes only the fields it names.
    auto d = Data(owner, 1, NIF_TIP, L"new tip");
    d.hIcon = nullptr;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));
    s = StateOf(owner, 1);
    EXPECT_EQ(std::wstring(s.tip), L"new tip");
    EXPECT_EQ(s.icon, kIcon);
    for (DWORD what : {DWORD{NIM_MODIFY}, DWORD{NIM_DELETE}}) {
        SetLastError(0);
        EXPECT_EQ(Failed(!Call(what, owner, 3, L"tip", NIF_TIP)), ERROR_NOT_FOUND);
    }
    ASSERT_TRUE(Call(NIM_DELETE, owner, 1));
    EXPECT_EQ(Win32TrayIconCount(owner), 0u);
    EXPECT_TRUE(Call(NIM_ADD, owner, 1));
    // A tip without a terminator is cut to 127 characters.
    d = Data(owner, 6, NIF_TIP);
    std::fill(std::begin(d.szTip), std::end(d.szTip), L'x');
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &d));
    EXPECT_EQ(std::wstring(StateOf(owner, 6).tip), std::wstring(127, L'x'));
    d.cbSize = 8;
    EXPECT_EQ(Failed(!Shell_NotifyIconW(NIM_ADD, &d)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Failed(!Shell_NotifyIconW(NIM_ADD, nullptr)), ERROR_INVALID_PARAMETER);
    // Icons leave with their window, and a window that is gone gets none.
    DestroyWindow(owner);
    EXPECT_EQ(Win32TrayIconCount(owner), 0u);
    EXPECT_EQ(Win32TrayIconCount(other), 1u);
    EXPECT_EQ(Failed(!Call(NIM_ADD, owner, 1)), ERROR_INVALID_WINDOW_HANDLE);
    DestroyWindow(other);
}

TEST(Tray, AClickPostsTheCallbackOfAVisibleIconToItsOwner) {
    HWND owner = MakeOwner();
    ASSERT_TRUE(Call(NIM_ADD, owner, 9));
    ASSERT_TRUE(Win32TrayClick(owner, 9, WM_LBUTTONUP));
    BOOL clicked = FALSE;
    std::thread([&] { clicked = Win32TrayClick(owner, 9, WM_RBUTTONUP); }).join();
    EXPECT_TRUE(clicked);
    for (LPARAM button : {WM_LBUTTONUP, WM_RBUTTONUP}) {
        MSG msg{};
        ASSERT_TRUE(PeekMessageW(&msg, owner, kTrayMessage, kTrayMessage, PM_REMOVE));
        EXPECT_EQ(msg.wParam, WPARAM(9));
        EXPECT_EQ(msg.lParam, button);
    }
    // No click reaches a missing icon, one without a callback or a hidden one.
    EXPECT_EQ(Failed(!Win32TrayClick(owner, 11, WM_LBUTTONUP)), ERROR_NOT_FOUND);
    ASSERT_TRUE(Call(NIM_ADD, owner, 12, L"tip", NIF_TIP));
    EXPECT_FALSE(Win32TrayClick(owner, 12, WM_LBUTTONUP));
    auto hide = Data(owner, 9, NIF_STATE);
    hide.dwState = hide.dwStateMask = NIS_HIDDEN;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &hide));
    EXPECT_FALSE(Win32TrayClick(owner, 9, WM_LBUTTONUP));
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, owner, kTrayMessage, kTrayMessage, PM_REMOVE));
    DestroyWindow(owner);
    EXPECT_FALSE(Win32TrayClick(owner, 9, WM_LBUTTONUP));
}

}  // namespace
