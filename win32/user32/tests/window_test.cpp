#include "user32_test_support.h"

using namespace user32_test;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLog();
        hook() = nullptr;
    }
    void TearDown() override { hook() = nullptr; }
};

TEST_F(WindowTest, RepeatedRegistrationFailsWithClassAlreadyExists) {
    std::wstring name = UniqueClassName(L"dup");
    ATOM first = RegisterTestClass(name);
    EXPECT_GE(first, 0xC000);
    SetLastError(0);
    EXPECT_EQ(RegisterTestClass(name), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    // Class names ignore case, as on Windows.
    std::wstring upper = name;
    for (auto& c : upper) c = static_cast<wchar_t>(towupper(c));
    EXPECT_EQ(RegisterTestClass(upper), 0);
    // The registration already there is still usable.
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, ClassInfoReflectsTheRegistration) {
    std::wstring name = UniqueClassName(L"info");
    auto cursor = reinterpret_cast<HCURSOR>(0x1234);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS | CS_DROPSHADOW;
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = 16;
    wc.hCursor = cursor;
    wc.lpszClassName = name.c_str();
    ATOM atom = RegisterClassExW(&wc);
    ASSERT_NE(atom, 0);
    WNDCLASSEXW out{};
    out.cbSize = sizeof(out);
    EXPECT_EQ(GetClassInfoExW(nullptr, name.c_str(), &out), atom);
    EXPECT_EQ(out.style, static_cast<UINT>(CS_DBLCLKS | CS_DROPSHADOW));
    EXPECT_EQ(out.lpfnWndProc, &RecordingProc);
    EXPECT_EQ(out.cbWndExtra, 16);
    EXPECT_EQ(out.hCursor, cursor);
    EXPECT_EQ(std::wstring(out.lpszClassName), name);
    // A window can name its class by atom too.
    HWND hwnd = CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(IsWindow(hwnd));
    wchar_t class_name[256];
    EXPECT_EQ(GetClassNameW(hwnd, class_name, 256), static_cast<int>(name.size()));
    EXPECT_EQ(std::wstring(class_name), name);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, UnregisterClassFailsWhileWindowsOfItLive) {
    std::wstring name = UniqueClassName(L"unreg");
    RegisterTestClass(name);
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_FALSE(UnregisterClassW(name.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassW(name.c_str(), nullptr));
    EXPECT_FALSE(UnregisterClassW(name.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_NE(RegisterTestClass(name), 0);
}

TEST_F(WindowTest, CreationSendsNcCreateNcCalcSizeCreateInOrder) {
    std::wstring name = UniqueClassName(L"order");
    RegisterTestClass(name);
    int param = 42;
    void* seen_param = nullptr;
    std::wstring seen_title;
    hook() = [&](HWND, UINT msg, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) {
            auto cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
            seen_param = cs->lpCreateParams;
            seen_title = cs->lpszName;
        }
        return std::nullopt;
    };
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"title", WS_POPUP, 5, 6, 70, 80, nullptr, nullptr,
                                nullptr, &param);
    ASSERT_TRUE(IsWindow(hwnd));
    auto order = MessagesOf(hwnd, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE});
    std::vector<UINT> expected{WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(seen_param, &param);
    EXPECT_EQ(seen_title, L"title");
    auto sizes = SeenOf(WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lparam), 70);
    EXPECT_EQ(HIWORD(sizes[0].lparam), 80);
    DestroyWindow(hwnd);
}

// Windows' creation rules by kind of window: which messages come before
// CreateWindowExW returns, and which style bits are added.
TEST_F(WindowTest, CreationMessagesAndStylesFollowTheKindOfWindow) {
    struct Case {
        DWORD style;
        bool child;
        std::vector<UINT> before_show;  // of the watched messages, in order
        bool clip_siblings;
    };
    const std::vector<UINT> watched{WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE};
    const std::vector<Case> cases{
        {WS_OVERLAPPEDWINDOW, false, {WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE}, true},
        {WS_POPUP | WS_THICKFRAME,
         false,
         {WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE},
         true},
        {WS_POPUP, false, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}, true},
        {WS_CHILD, true, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}, false},
    };
    HWND parent = MakeWindow();
    for (const auto& c : cases) {
        ClearLog();
        HWND hwnd = MakeWindow(c.style, c.child ? parent : nullptr);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(MessagesOf(hwnd, watched), c.before_show) << std::hex << c.style;
        EXPECT_EQ((GetWindowLongW(hwnd, GWL_STYLE) & WS_CLIPSIBLINGS) != 0, c.clip_siblings);
        // A window that has not had its size and place yet gets them when first shown.
        ShowWindow(hwnd, SW_SHOW);
        EXPECT_EQ(SeenOf(WM_SIZE).size(), 1u) << std::hex << c.style;
        EXPECT_EQ(SeenOf(WM_MOVE).size(), 1u) << std::hex << c.style;
        DestroyWindow(hwnd);
    }
    DestroyWindow(parent);
}

// WM_PARENTNOTIFY climbs from a child to every ancestor until a window that
// asked not to notify (WS_EX_NOPARENTNOTIFY) or the top-level window.
TEST_F(WindowTest, ChildrenNotifyTheirAncestorsOfCreationAndDestruction) {
    struct Case {
        DWORD middle_ex, child_ex;
        bool top_told, middle_told;
    };
    const Case cases[] = {
        {0, 0, true, true},
        {WS_EX_NOPARENTNOTIFY, 0, false, true},
        {0, WS_EX_NOPARENTNOTIFY, false, false},
    };
    for (const auto& c : cases) {
        HWND top = MakeWindow();
        HWND middle = MakeWindow(WS_CHILD, top, c.middle_ex);
        ClearLog();
        std::wstring name = UniqueClassName(L"kid");
        RegisterTestClass(name);
        HWND child = CreateWindowExW(c.child_ex, name.c_str(), L"", WS_CHILD, 0, 0, 5, 5, middle,
                                     reinterpret_cast<HMENU>(42), nullptr, nullptr);
        DestroyWindow(child);
        for (auto [hwnd, told] : {std::pair{top, c.top_told}, std::pair{middle, c.middle_told}}) {
            std::vector<std::pair<WPARAM, LPARAM>> seen;
            for (auto& s : SeenOf(WM_PARENTNOTIFY))
                if (s.hwnd == hwnd) seen.emplace_back(s.wparam, s.lparam);
            std::vector<std::pair<WPARAM, LPARAM>> expected;
            if (told) {
                expected = {{MAKEWPARAM(WM_CREATE, 42), reinterpret_cast<LPARAM>(child)},
                            {MAKEWPARAM(WM_DESTROY, 42), reinterpret_cast<LPARAM>(child)}};
            }
            EXPECT_EQ(seen, expected) << c.middle_ex << " " << c.child_ex;
        }
        // The destruction notice comes before the child hears of its destruction.
        if (c.middle_told) {
            std::lock_guard lock(log_mutex());
            auto at = [&](HWND h, UINT m, WPARAM w) {
                return std::find_if(log().begin(), log().end(), [&](const Seen& s) {
                    return s.hwnd == h && s.msg == m && (m != WM_PARENTNOTIFY || s.wparam == w);
                });
            };
            EXPECT_LT(at(middle, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, 42)),
                      at(child, WM_DESTROY, 0));
        }
        DestroyWindow(top);
    }
}

TEST_F(WindowTest, CreationFailsWhenNcCreateAnswersFalse) {
    hook() = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_NCCREATE) return FALSE;
        return std::nullopt;
    };
    std::wstring name = UniqueClassName(L"nc");
    RegisterTestClass(name);
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(hwnd, nullptr);
    EXPECT_TRUE(SeenOf(WM_CREATE).empty());
    auto nc = SeenOf(WM_NCCREATE);
    ASSERT_EQ(nc.size(), 1u);
    EXPECT_FALSE(IsWindow(nc[0].hwnd));
}

TEST_F(WindowTest, CreationFailsWhenCreateAnswersMinusOneAndTheWindowIsDestroyed) {
    hook() = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) return -1;
        return std::nullopt;
    };
    std::wstring name = UniqueClassName(L"cr");
    RegisterTestClass(name);
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(hwnd, nullptr);
    auto created = SeenOf(WM_CREATE);
    ASSERT_EQ(created.size(), 1u);
    HWND failed = created[0].hwnd;
    std::vector<UINT> expected{WM_CREATE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(MessagesOf(failed, {WM_CREATE, WM_DESTROY, WM_NCDESTROY}), expected);
    EXPECT_FALSE(IsWindow(failed));
}

TEST_F(WindowTest, UnknownClassAndChildWithoutParentFail) {
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, L"no-such-class-anywhere", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                              nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    std::wstring name = UniqueClassName(L"orphan");
    RegisterTestClass(name);
    EXPECT_EQ(CreateWindowExW(0, name.c_str(), L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
}

TEST_F(WindowTest, DestroySendsDestroyParentFirstAndNcDestroyChildrenFirst) {
    HWND parent = MakeWindow();
    HWND child = MakeWindow(WS_CHILD, parent);
    HWND grandchild = MakeWindow(WS_CHILD, child);
    ASSERT_TRUE(IsWindow(grandchild));
    ClearLog();
    EXPECT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    {
        std::lock_guard lock(log_mutex());
        for (auto& s : log()) {
            if (s.msg == WM_DESTROY || s.msg == WM_NCDESTROY) order.emplace_back(s.hwnd, s.msg);
        }
    }
    std::vector<std::pair<HWND, UINT>> expected{
        {parent, WM_DESTROY},       {child, WM_DESTROY},   {grandchild, WM_DESTROY},
        {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY},
    };
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
}

TEST_F(WindowTest, HandleIsInvalidAfterDestroyEvenWhenItsSlotIsReused) {
    HWND first = MakeWindow();
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_FALSE(IsWindow(first));
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(first, GWLP_USERDATA), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(DestroyWindow(first));
    HWND second = MakeWindow();
    EXPECT_NE(second, first);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(second));
    // Handles fit the 32 bits the toolkit keys its window map with.
    EXPECT_LE(reinterpret_cast<uintptr_t>(second), 0xFFFFFFFFu);
    DestroyWindow(second);
}

TEST_F(WindowTest, CloseThroughDefWindowProcDestroysTheWindow) {
    HWND hwnd = MakeWindow();
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    std::vector<UINT> expected{WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(MessagesOf(hwnd, {WM_CLOSE, WM_DESTROY, WM_NCDESTROY}), expected);
}

TEST_F(WindowTest, WindowLongsHoldUserDataIdStylesAndExtraBytes) {
    std::wstring name = UniqueClassName(L"longs");
    RegisterTestClass(name, RecordingProc, 2 * sizeof(LONG_PTR));
    HWND parent = MakeWindow();
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, name.c_str(), L"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5,
                                parent, reinterpret_cast<HMENU>(77), nullptr, nullptr);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_ID), 77);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_VISIBLE));
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
    int data = 5;
    EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&data)), 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&data));
    EXPECT_EQ(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR)), 0);
    EXPECT_EQ(SetWindowLongPtrW(hwnd, sizeof(LONG_PTR), 0x1122334455667788), 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR)), 0x1122334455667788);
    EXPECT_EQ(GetWindowLongW(hwnd, sizeof(LONG_PTR)), 0x55667788);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR) + 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    // A 32-bit read of the procedure is refused on a 64-bit build.
    SetLastError(0);
    EXPECT_EQ(GetWindowLongW(hwnd, GWLP_WNDPROC), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    DestroyWindow(parent);
}

LRESULT CALLBACK AnswerSeven(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_USER + 1) return 7;
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

TEST_F(WindowTest, ReplacedProcedureGetsMessagesAndCanCallTheOldOne) {
    HWND hwnd = MakeWindow();
    auto old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AnswerSeven)));
    EXPECT_EQ(old, &RecordingProc);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(AnswerSeven));
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 0, 0), 7);
    EXPECT_TRUE(SeenOf(WM_USER + 1).empty());
    CallWindowProcW(old, hwnd, WM_USER + 2, 3, 4);
    auto seen = SeenOf(WM_USER + 2);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].wparam, 3u);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, StyleChangesAreAnnouncedAndApplied) {
    HWND hwnd = MakeWindow();
    LONG old = SetWindowLongW(hwnd, GWL_EXSTYLE, WS_EX_LAYERED);
    EXPECT_EQ(old, 0);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE), WS_EX_LAYERED);
    std::vector<UINT> expected{WM_STYLECHANGING, WM_STYLECHANGED};
    EXPECT_EQ(MessagesOf(hwnd, {WM_STYLECHANGING, WM_STYLECHANGED}), expected);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, TitleIsSetReadAndCut) {
    std::wstring name = UniqueClassName(L"text");
    RegisterTestClass(name);
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"first", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 5);
    EXPECT_TRUE(SetWindowTextW(hwnd, L"下载器 window"));
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 10);
    wchar_t buffer[32];
    EXPECT_EQ(GetWindowTextW(hwnd, buffer, 32), 10);
    EXPECT_EQ(std::wstring(buffer), L"下载器 window");
    EXPECT_EQ(GetWindowTextW(hwnd, buffer, 4), 3);
    EXPECT_EQ(std::wstring(buffer), L"下载器");
    EXPECT_EQ(SeenOf(WM_SETTEXT).size(), 1u);
    EXPECT_TRUE(SetWindowTextW(hwnd, nullptr));
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 0);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, FamilyQueries) {
    HWND owner = MakeWindow(WS_OVERLAPPEDWINDOW);
    HWND popup = MakeWindow(WS_POPUP, owner);
    HWND child = MakeWindow(WS_CHILD, owner);
    EXPECT_EQ(GetParent(child), owner);
    EXPECT_EQ(GetParent(popup), owner);
    EXPECT_EQ(GetWindow(popup, GW_OWNER), owner);
    EXPECT_EQ(GetParent(owner), nullptr);
    EXPECT_EQ(GetWindow(owner, GW_CHILD), child);
    HWND desktop = GetDesktopWindow();
    EXPECT_TRUE(IsWindow(desktop));
    RECT screen;
    EXPECT_TRUE(GetWindowRect(desktop, &screen));
    EXPECT_GT(screen.right, 0);
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(child, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId());
    // Destroying the owner takes its owned pop-up along.
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowTest, FindWindowMatchesClassAndTitleWithoutRegardToCase) {
    std::wstring name = UniqueClassName(L"find");
    RegisterTestClass(name);
    HWND a = CreateWindowExW(0, name.c_str(), L"Alpha", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                             nullptr, nullptr, nullptr);
    HWND b = CreateWindowExW(0, name.c_str(), L"Beta", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                             nullptr, nullptr, nullptr);
    EXPECT_EQ(FindWindowW(name.c_str(), L"alpha"), a);
    EXPECT_EQ(FindWindowW(name.c_str(), L"BETA"), b);
    EXPECT_EQ(FindWindowW(nullptr, L"Beta"), b);
    EXPECT_EQ(FindWindowW(name.c_str(), L"Gamma"), nullptr);
    HWND any = FindWindowW(name.c_str(), nullptr);
    EXPECT_TRUE(any == a || any == b);
    HWND next = FindWindowExW(nullptr, any, name.c_str(), nullptr);
    EXPECT_TRUE(next == a || next == b);
    EXPECT_NE(next, any);
    EXPECT_EQ(FindWindowExW(nullptr, next, name.c_str(), nullptr), nullptr);
    DestroyWindow(a);
    EXPECT_EQ(FindWindowW(name.c_str(), L"Alpha"), nullptr);
    DestroyWindow(b);
}

TEST_F(WindowTest, ChildrenAreFoundUnderTheirParentOnly) {
    HWND parent = MakeWindow();
    std::wstring name = UniqueClassName(L"kid");
    RegisterTestClass(name);
    HWND child = CreateWindowExW(0, name.c_str(), L"kid", WS_CHILD, 0, 0, 1, 1, parent, nullptr,
                                 nullptr, nullptr);
    EXPECT_EQ(FindWindowExW(parent, nullptr, name.c_str(), nullptr), child);
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), nullptr);
    DestroyWindow(parent);
}

TEST_F(WindowTest, MessageOnlyWindowIsHiddenFromFindWindowButTakesMessages) {
    std::wstring name = UniqueClassName(L"msgonly");
    RegisterTestClass(name);
    HWND hwnd = CreateWindowExW(0, name.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), nullptr);
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, name.c_str(), nullptr), hwnd);
    EXPECT_EQ(GetParent(hwnd), nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(PostMessageW(hwnd, WM_USER + 5, 1, 2));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, OtherThreadCannotDestroyAWindow) {
    HWND hwnd = MakeWindow();
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread([&] {
        destroyed = DestroyWindow(hwnd);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, WindowsOfAThreadEndWithTheThread) {
    HWND hwnd = nullptr;
    std::thread([&] { hwnd = MakeWindow(); }).join();
    EXPECT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
