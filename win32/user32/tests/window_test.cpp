#include "user32_test_support.h"

#include <set>

using namespace user32_test;

namespace {

class WindowTest : public Fresh {
protected:
    static HWND Create(const std::wstring& cls, const wchar_t* title = L"", DWORD style = WS_POPUP,
                       HWND parent = nullptr, DWORD ex = 0, HMENU id = nullptr,
                       void* param = nullptr) {
        return CreateWindowExW(ex, cls.c_str(), title, style, 5, 6, 70, 80, parent, id, nullptr,
                               param);
    }
};

TEST_F(WindowTest, ClassesRegisterOnceByNameAndGoOnlyWithoutWindows) {
    std::wstring name = UniqueClassName(L"info");
    WNDCLASSEXW wc{sizeof wc, CS_DBLCLKS | CS_DROPSHADOW, RecordingProc, 0, 16};
    wc.lpszClassName = name.c_str();
    ATOM atom = RegisterClassExW(&wc);
    EXPECT_GE(atom, 0xC000);
    std::wstring upper = name;
    for (auto& c : upper) c = static_cast<wchar_t>(towupper(c));
    SetLastError(0);
    EXPECT_EQ(RegisterTestClass(upper), 0);  // names ignore case
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    WNDCLASSEXW out{sizeof out};
    EXPECT_EQ(GetClassInfoExW(nullptr, name.c_str(), &out), atom);
    EXPECT_EQ(std::pair(out.style, out.cbWndExtra),
              std::pair(UINT{CS_DBLCLKS | CS_DROPSHADOW}, 16));
    // A window names its class by atom too.
    HWND hwnd = CreateWindowExW(0, MAKEINTATOM(atom), L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_EQ(ClassOf(hwnd), name);
    EXPECT_EQ(Failed(!UnregisterClassW(name.c_str(), nullptr)), ERROR_CLASS_HAS_WINDOWS);
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassW(name.c_str(), nullptr));
    EXPECT_EQ(Failed(!UnregisterClassW(name.c_str(), nullptr)), ERROR_CLASS_DOES_NOT_EXIST);
    EXPECT_NE(RegisterTestClass(name), 0);
}

// Windows' creation rules by kind of window: which messages come before
// CreateWindowExW returns, and which style bits are added.
TEST_F(WindowTest, CreationMessagesAndStylesFollowTheKindOfWindow) {
    const std::vector<UINT> watched{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE,
                                    WM_CREATE,        WM_SIZE,     WM_MOVE};
    // The style, and the watched messages that come before the window is shown.
    const std::pair<DWORD, std::vector<UINT>> cases[] = {
        {WS_OVERLAPPEDWINDOW, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE}},
        {WS_POPUP | WS_THICKFRAME, watched},
        {WS_POPUP, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}},
        {WS_CHILD, {WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}},
    };
    HWND parent = MakeWindow();
    std::wstring name = UniqueClassName(L"order");
    RegisterTestClass(name);
    int param = 42;
    g_hook = [&](HWND, UINT msg, WPARAM, LPARAM lparam) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) {
            auto cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
            EXPECT_EQ(cs->lpCreateParams, &param);
            EXPECT_STREQ(cs->lpszName, L"title");
        }
        return std::nullopt;
    };
    for (const auto& [style, before_show] : cases) {
        ClearLog();
        const bool child = style & WS_CHILD;
        HWND hwnd = Create(name, L"title", style, child ? parent : nullptr, 0, nullptr, &param);
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(MessagesOf(hwnd, watched), before_show) << std::hex << style;
        // Top-level windows always clip their siblings.
        EXPECT_EQ((GetWindowLongW(hwnd, GWL_STYLE) & WS_CLIPSIBLINGS) != 0, !child);
        // A window that has not had its size and place yet gets them when first shown.
        ShowWindow(hwnd, SW_SHOW);
        ASSERT_EQ(SeenOf(WM_SIZE).size(), 1u) << std::hex << style;
        const RECT client = ClientRect(hwnd);
        EXPECT_EQ(SeenOf(WM_SIZE)[0].lparam, MAKELPARAM(client.right, client.bottom));
        EXPECT_EQ(SeenOf(WM_MOVE).size(), 1u) << std::hex << style;
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
    std::wstring name = UniqueClassName(L"kid");
    RegisterTestClass(name);
    for (const auto& c : cases) {
        HWND top = MakeWindow();
        HWND middle = MakeWindow(WS_CHILD, top, c.middle_ex);
        ClearLog();
        HWND child = Create(name, L"", WS_CHILD, middle, c.child_ex, reinterpret_cast<HMENU>(42));
        DestroyWindow(child);
        for (auto [hwnd, told] : {std::pair{top, c.top_told}, std::pair{middle, c.middle_told}}) {
            std::vector<std::pair<WPARAM, LPARAM>> seen, expected;
            for (auto& s : SeenOf(WM_PARENTNOTIFY))
                if (s.hwnd == hwnd) seen.emplace_back(s.wparam, s.lparam);
            if (told) {
                expected = {{MAKEWPARAM(WM_CREATE, 42), reinterpret_cast<LPARAM>(child)},
                            {MAKEWPARAM(WM_DESTROY, 42), reinterpret_cast<LPARAM>(child)}};
            }
            EXPECT_EQ(seen, expected) << c.middle_ex << " " << c.child_ex;
        }
        // The destruction notice comes before the child hears of its destruction.
        if (c.middle_told) {
            std::lock_guard lock(g_log_mutex);
            auto at = [&](HWND h, UINT m) {
                return std::find_if(g_log.begin(), g_log.end(), [&](const Seen& s) {
                    return s.hwnd == h && s.msg == m && (m != WM_PARENTNOTIFY || s.wparam != 42);
                });
            };
            EXPECT_LT(at(middle, WM_PARENTNOTIFY) + 1, at(child, WM_DESTROY));
        }
        DestroyWindow(top);
    }
}

TEST_F(WindowTest, CreationFailsAsTheProcedureOrTheArgumentsSay) {
    std::wstring name = UniqueClassName(L"fail");
    RegisterTestClass(name);
    for (UINT refusing : {UINT{WM_NCCREATE}, UINT{WM_CREATE}}) {
        ClearLog();
        g_hook = [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == refusing) return msg == WM_CREATE ? -1 : FALSE;
            return std::nullopt;
        };
        EXPECT_EQ(Create(name), nullptr);
        HWND failed = SeenOf(WM_NCCREATE).at(0).hwnd;
        EXPECT_FALSE(IsWindow(failed));
        // A refused WM_CREATE still destroys the window it made.
        if (refusing == WM_CREATE)
            EXPECT_EQ(MessagesOf(failed, {WM_CREATE, WM_DESTROY, WM_NCDESTROY}),
                      (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
        else
            EXPECT_TRUE(SeenOf(WM_CREATE).empty());
    }
    g_hook = nullptr;
    SetLastError(0);
    EXPECT_EQ(Failed(Create(L"no-such-class-anywhere") == nullptr), ERROR_CANNOT_FIND_WND_CLASS);
    EXPECT_EQ(Failed(Create(name, L"", WS_CHILD) == nullptr), ERROR_TLW_WITH_WSCHILD);
}

TEST_F(WindowTest, DestructionGoesParentFirstThenChildrenFirstAndOnlyOnItsThread) {
    HWND parent = MakeWindow();
    HWND child = MakeWindow(WS_CHILD, parent);
    HWND grandchild = MakeWindow(WS_CHILD, child);
    HWND owned = MakeWindow(WS_POPUP, parent);
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread([&] {
        destroyed = DestroyWindow(parent);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ClearLog();
    SendMessageW(parent, WM_CLOSE, 0, 0);  // DefWindowProcW destroys it
    std::vector<std::pair<HWND, UINT>> order;
    for (auto& s : SeenOf(WM_DESTROY)) order.emplace_back(s.hwnd, s.msg);
    for (auto& s : SeenOf(WM_NCDESTROY)) order.emplace_back(s.hwnd, s.msg);
    std::vector<std::pair<HWND, UINT>> expected{
        {parent, WM_DESTROY},       {child, WM_DESTROY},   {grandchild, WM_DESTROY},
        {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY},
    };
    order.erase(
        std::remove_if(order.begin(), order.end(), [&](auto& p) { return p.first == owned; }),
        order.end());
    EXPECT_EQ(order, expected);
    for (HWND h : {parent, child, grandchild, owned}) EXPECT_FALSE(IsWindow(h));
    // A handle stays invalid when its slot is reused, and fits 32 bits.
    SetLastError(0);
    EXPECT_EQ(Failed(GetWindowLongPtrW(parent, GWLP_USERDATA) == 0), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(DestroyWindow(parent));
    HWND again = MakeWindow();
    EXPECT_NE(again, parent);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_LE(reinterpret_cast<uintptr_t>(again), 0xFFFFFFFFu);
    DestroyWindow(again);
    // The windows of a thread end with it.
    HWND orphan = nullptr;
    std::thread([&] { orphan = MakeWindow(); }).join();
    EXPECT_NE(orphan, nullptr);
    EXPECT_FALSE(IsWindow(orphan));
}

LRESULT CALLBACK AnswerSeven(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    return msg == WM_USER + 1 ? 7 : DefWindowProcW(hwnd, msg, wparam, lparam);
}

TEST_F(WindowTest, WindowLongsHoldDataIdStylesExtraBytesAndTheProcedure) {
    std::wstring name = UniqueClassName(L"longs");
    RegisterTestClass(name, RecordingProc, 2 * sizeof(LONG_PTR));
    HWND parent = MakeWindow();
    HWND hwnd = Create(name, L"", WS_CHILD | WS_VISIBLE, parent, 0, reinterpret_cast<HMENU>(77));
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_ID), 77);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_VISIBLE));
    int data = 5;
    EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&data)), 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&data));
    EXPECT_EQ(SetWindowLongPtrW(hwnd, sizeof(LONG_PTR), 0x1122334455667788), 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR)), 0x1122334455667788);
    EXPECT_EQ(GetWindowLongW(hwnd, sizeof(LONG_PTR)), 0x55667788);
    SetLastError(0);
    EXPECT_EQ(Failed(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR) + 1) == 0), ERROR_INVALID_INDEX);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongW(hwnd, GWLP_WNDPROC), 0);  // no 32-bit procedure
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(SetWindowLongW(hwnd, GWL_EXSTYLE, WS_EX_LAYERED), 0);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE), WS_EX_LAYERED);
    EXPECT_EQ(MessagesOf(hwnd, {WM_STYLECHANGING, WM_STYLECHANGED}),
              (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));
    auto old = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AnswerSeven)));
    EXPECT_EQ(old, &RecordingProc);
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 0, 0), 7);
    EXPECT_TRUE(SeenOf(WM_USER + 1).empty());
    CallWindowProcW(old, hwnd, WM_USER + 2, 3, 4);
    EXPECT_EQ(SeenOf(WM_USER + 2).size(), 1u);
    DestroyWindow(parent);
}

TEST_F(WindowTest, TitlesAreSetReadAndCut) {
    std::wstring name = UniqueClassName(L"text");
    RegisterTestClass(name);
    HWND hwnd = Create(name, L"first");
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 5);
    EXPECT_TRUE(SetWindowTextW(hwnd, L"下载器 window"));
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 10);
    wchar_t buffer[32];
    EXPECT_EQ(GetWindowTextW(hwnd, buffer, 32), 10);
    EXPECT_STREQ(buffer, L"下载器 window");
    EXPECT_EQ(GetWindowTextW(hwnd, buffer, 4), 3);
    EXPECT_STREQ(buffer, L"下载器");
    EXPECT_EQ(SeenOf(WM_SETTEXT).size(), 1u);
    EXPECT_TRUE(SetWindowTextW(hwnd, nullptr));
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 0);
    DestroyWindow(hwnd);
}

TEST_F(WindowTest, FamiliesAndFindWindow) {
    std::wstring name = UniqueClassName(L"find");
    RegisterTestClass(name);
    HWND a = Create(name, L"Alpha", WS_OVERLAPPEDWINDOW);
    HWND b = Create(name, L"Beta", WS_OVERLAPPEDWINDOW);
    HWND popup = Create(name, L"", WS_POPUP, a);
    HWND child = Create(name, L"kid", WS_CHILD, a);
    EXPECT_EQ(GetParent(child), a);
    EXPECT_EQ(GetParent(popup), a);
    EXPECT_EQ(GetWindow(popup, GW_OWNER), a);
    EXPECT_EQ(GetParent(a), nullptr);
    EXPECT_EQ(GetWindow(a, GW_CHILD), child);
    DWORD pid = 0;
    EXPECT_EQ(GetWindowThreadProcessId(child, &pid), GetCurrentThreadId());
    EXPECT_EQ(pid, GetCurrentProcessId());
    // Titles match without regard to case; children are found under their parent only.
    EXPECT_EQ(FindWindowW(name.c_str(), L"alpha"), a);
    EXPECT_EQ(FindWindowW(nullptr, L"BETA"), b);
    EXPECT_EQ(FindWindowW(name.c_str(), L"Gamma"), nullptr);
    EXPECT_EQ(FindWindowW(nullptr, L"kid"), nullptr);
    EXPECT_EQ(FindWindowExW(a, nullptr, name.c_str(), nullptr), child);
    std::multiset<HWND> tops;
    for (HWND h = nullptr; (h = FindWindowExW(nullptr, h, name.c_str(), nullptr));) tops.insert(h);
    EXPECT_EQ(tops, (std::multiset<HWND>{a, b, popup}));
    // A message-only window is found only among its kind, and takes messages.
    HWND message_only = Create(name, L"", 0, HWND_MESSAGE);
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, name.c_str(), nullptr), message_only);
    EXPECT_EQ(GetParent(message_only), nullptr);
    EXPECT_TRUE(PostMessageW(message_only, WM_USER + 5, 1, 2));
    EXPECT_EQ(Next(message_only), WM_USER + 5u);
    DestroyWindow(message_only);
    DestroyWindow(a);
    EXPECT_FALSE(IsWindow(popup));  // owned pop-ups go with their owner
    EXPECT_EQ(FindWindowW(name.c_str(), L"Alpha"), nullptr);
    DestroyWindow(b);
}

}  // namespace
