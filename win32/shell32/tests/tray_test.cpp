// Shell_NotifyIconW: the tray keeps each icon's state, refuses doubles and
// missing icons, drops icons with their window, and a click posts the callback.
#include "child_program.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <win32_debug.h>
#include <windows.h>

#include <cwchar>
#include <sstream>
#include <string>
#include <thread>

using namespace proctest;

namespace {

constexpr UINT kTrayMessage = 0x800;

// A hidden top-level window of its own class, destroyed with the test.
class Owner {
public:
    Owner() {
        static ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"TrayTestOwner";
            return RegisterClassW(&wc);
        }();
        EXPECT_NE(atom, 0);
        hwnd_ = CreateWindowExW(0, L"TrayTestOwner", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd_, nullptr);
    }
    ~Owner() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    HWND hwnd() const { return hwnd_; }
    void destroy() {
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }

private:
    HWND hwnd_ = nullptr;
};

NOTIFYICONDATAW data(HWND owner, UINT id, UINT flags) {
    NOTIFYICONDATAW d{};
    d.cbSize = sizeof d;
    d.hWnd = owner;
    d.uID = id;
    d.uFlags = flags;
    return d;
}

// Adds an icon the way the program's tray icon does.
BOOL add(HWND owner, UINT id, const wchar_t* tip = L"tip") {
    auto d = data(owner, id, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    d.uCallbackMessage = kTrayMessage;
    d.hIcon = reinterpret_cast<HICON>(static_cast<uintptr_t>(0x1234));
    wcsncpy(d.szTip, tip, 127);
    d.uTimeout = 30;
    return Shell_NotifyIconW(NIM_ADD, &d);
}

WIN32_TRAY_ICON_STATE state_of(HWND owner, UINT id) {
    WIN32_TRAY_ICON_STATE s{};
    EXPECT_TRUE(Win32TrayIconState(owner, id, &s));
    return s;
}

TEST(Tray, AddKeepsOwnerIdCallbackIconTipAndTimeout) {
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 1, L"下载器"));
    auto s = state_of(owner.hwnd(), 1);
    EXPECT_EQ(s.owner, owner.hwnd());
    EXPECT_EQ(s.id, 1u);
    EXPECT_EQ(s.callback_message, kTrayMessage);
    EXPECT_EQ(s.icon, reinterpret_cast<HICON>(static_cast<uintptr_t>(0x1234)));
    EXPECT_EQ(std::wstring(s.tip), L"下载器");
    EXPECT_EQ(s.timeout, 30u);
    EXPECT_EQ(s.flags & (NIF_MESSAGE | NIF_ICON | NIF_TIP), UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(Win32TrayIconCount(owner.hwnd()), 1u);
}

TEST(Tray, AddOfAnExistingIdFails) {
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 7, L"first"));
    SetLastError(0);
    EXPECT_FALSE(add(owner.hwnd(), 7, L"second"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(std::wstring(state_of(owner.hwnd(), 7).tip), L"first");
    EXPECT_EQ(Win32TrayIconCount(owner.hwnd()), 1u);
}

TEST(Tray, SameIdOnAnotherWindowIsAnotherIcon) {
    Owner a, b;
    ASSERT_TRUE(add(a.hwnd(), 1));
    ASSERT_TRUE(add(b.hwnd(), 1));
    EXPECT_EQ(Win32TrayIconCount(a.hwnd()), 1u);
    EXPECT_EQ(Win32TrayIconCount(b.hwnd()), 1u);
    EXPECT_GE(Win32TrayIconCount(nullptr), 2u);
}

TEST(Tray, ModifyChangesOnlyTheNamedFields) {
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 2, L"old tip"));
    auto d = data(owner.hwnd(), 2, NIF_TIP);
    wcscpy(d.szTip, L"new tip");
    d.hIcon = reinterpret_cast<HICON>(static_cast<uintptr_t>(0x9999));  // not named: ignored
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));
    auto s = state_of(owner.hwnd(), 2);
    EXPECT_EQ(std::wstring(s.tip), L"new tip");
    EXPECT_EQ(s.icon, reinterpret_cast<HICON>(static_cast<uintptr_t>(0x1234)));

    d = data(owner.hwnd(), 2, NIF_ICON);
    d.hIcon = reinterpret_cast<HICON>(static_cast<uintptr_t>(0x5678));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));
    s = state_of(owner.hwnd(), 2);
    EXPECT_EQ(s.icon, reinterpret_cast<HICON>(static_cast<uintptr_t>(0x5678)));
    EXPECT_EQ(std::wstring(s.tip), L"new tip");
}

TEST(Tray, ModifyAndDeleteOfAMissingIconFail) {
    Owner owner;
    auto d = data(owner.hwnd(), 3, NIF_TIP);
    SetLastError(0);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_FOUND));
    SetLastError(0);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_FOUND));
}

TEST(Tray, DeleteRemovesTheIconAndItsIdCanBeAddedAgain) {
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 4));
    auto d = data(owner.hwnd(), 4, 0);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &d));
    EXPECT_EQ(Win32TrayIconCount(owner.hwnd()), 0u);
    WIN32_TRAY_ICON_STATE s{};
    EXPECT_FALSE(Win32TrayIconState(owner.hwnd(), 4, &s));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_FOUND));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &d));
    EXPECT_TRUE(add(owner.hwnd(), 4));
}

TEST(Tray, IconsLeaveWithTheirOwnerWindow) {
    Owner owner, other;
    ASSERT_TRUE(add(owner.hwnd(), 1));
    ASSERT_TRUE(add(owner.hwnd(), 2));
    ASSERT_TRUE(add(other.hwnd(), 1));
    HWND gone = owner.hwnd();
    owner.destroy();
    EXPECT_EQ(Win32TrayIconCount(gone), 0u);
    EXPECT_EQ(Win32TrayIconCount(other.hwnd()), 1u);
    EXPECT_FALSE(Win32TrayClick(gone, 1, WM_LBUTTONUP));
}

TEST(Tray, AddForAWindowThatIsNotThereFails) {
    Owner owner;
    HWND gone = owner.hwnd();
    owner.destroy();
    SetLastError(0);
    EXPECT_FALSE(add(gone, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Tray, TooSmallOrMissingDataIsRefused) {
    Owner owner;
    auto d = data(owner.hwnd(), 5, NIF_TIP);
    d.cbSize = 8;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &d));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Win32TrayIconCount(owner.hwnd()), 0u);
}

TEST(Tray, LongTipIsCutTo127Characters) {
    Owner owner;
    auto d = data(owner.hwnd(), 6, NIF_TIP);
    for (auto& c : d.szTip) c = L'x';  // no terminator at all
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &d));
    EXPECT_EQ(std::wstring(state_of(owner.hwnd(), 6).tip), std::wstring(127, L'x'));
}

TEST(Tray, ClickPostsTheCallbackMessageWithIdAndButton) {
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 9));
    ASSERT_TRUE(Win32TrayClick(owner.hwnd(), 9, WM_LBUTTONUP));
    ASSERT_TRUE(Win32TrayClick(owner.hwnd(), 9, WM_RBUTTONUP));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, owner.hwnd(), kTrayMessage, kTrayMessage, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, owner.hwnd());
    EXPECT_EQ(msg.wParam, WPARAM(9));
    EXPECT_EQ(msg.lParam, LPARAM(WM_LBUTTONUP));
    ASSERT_TRUE(PeekMessageW(&msg, owner.hwnd(), kTrayMessage, kTrayMessage, PM_REMOVE));
    EXPECT_EQ(msg.lParam, LPARAM(WM_RBUTTONUP));
    EXPECT_FALSE(PeekMessageW(&msg, owner.hwnd(), kTrayMessage, kTrayMessage, PM_REMOVE));
}

TEST(Tray, ClickFromAnotherThreadReachesTheOwnersQueue) {
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 10));
    BOOL clicked = FALSE;
    std::thread([&] { clicked = Win32TrayClick(owner.hwnd(), 10, WM_RBUTTONUP); }).join();
    ASSERT_TRUE(clicked);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, owner.hwnd(), kTrayMessage, kTrayMessage, PM_REMOVE));
    EXPECT_EQ(msg.lParam, LPARAM(WM_RBUTTONUP));
}

TEST(Tray, ClickOfAMissingHiddenOrSilentIconFails) {
    Owner owner;
    EXPECT_FALSE(Win32TrayClick(owner.hwnd(), 11, WM_LBUTTONUP));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_FOUND));

    auto silent = data(owner.hwnd(), 12, NIF_TIP);  // no callback message
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &silent));
    EXPECT_FALSE(Win32TrayClick(owner.hwnd(), 12, WM_LBUTTONUP));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    ASSERT_TRUE(add(owner.hwnd(), 13));
    auto hide = data(owner.hwnd(), 13, NIF_STATE);
    hide.dwState = NIS_HIDDEN;
    hide.dwStateMask = NIS_HIDDEN;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &hide));
    EXPECT_EQ(state_of(owner.hwnd(), 13).state, DWORD(NIS_HIDDEN));
    EXPECT_FALSE(Win32TrayClick(owner.hwnd(), 13, WM_LBUTTONUP));

    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, owner.hwnd(), kTrayMessage, kTrayMessage, PM_REMOVE));
}

TEST(Tray, LogRecordsEveryChangeAndClick) {
    TempDir dir;
    std::string path = dir.file("tray.log");
    setenv("WIN32_TRAY_LOG", path.c_str(), 1);
    Owner owner;
    ASSERT_TRUE(add(owner.hwnd(), 1, L"hi"));
    auto d = data(owner.hwnd(), 1, NIF_TIP);
    wcscpy(d.szTip, L"there");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &d));
    ASSERT_TRUE(Win32TrayClick(owner.hwnd(), 1, WM_RBUTTONUP));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &d));
    ASSERT_TRUE(add(owner.hwnd(), 2, L"left behind"));
    HWND gone = owner.hwnd();
    owner.destroy();
    EXPECT_EQ(Win32TrayIconCount(gone), 0u);
    unsetenv("WIN32_TRAY_LOG");

    char hwnd[16];
    snprintf(hwnd, sizeof hwnd, "%08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(gone)));
    std::string h = hwnd;
    std::string expected = "add\t" + h + "\t1\tmsg=0x800 icon=00001234 state=0 tip=hi\n" +
                           "modify\t" + h + "\t1\tmsg=0x800 icon=00001234 state=0 tip=there\n" +
                           "click\t" + h + "\t1\t0x0205\n" + "delete\t" + h + "\t1\n" +
                           "add\t" + h + "\t2\tmsg=0x800 icon=00001234 state=0 tip=left behind\n" +
                           "gone\t" + h + "\t2\n";
    // Only this window's lines: icons of windows other tests left behind may be noted too.
    std::string mine;
    std::istringstream in(read_file(path));
    for (std::string line; std::getline(in, line);)
        if (line.find("\t" + h + "\t") != std::string::npos) mine += line + "\n";
    EXPECT_EQ(mine, expected);
}

}  // namespace
