#include "user32_test_support.h"
#include "testing/child_process.h"

#include <stdlib.h>

#include <filesystem>
#include <thread>

using namespace user32_test;

namespace {

// One private runtime folder for the whole test program, set before its first window:
// the layer settles on its rendezvous folder once, as a program's XDG_RUNTIME_DIR never
// changes while it runs.
class RuntimeFolder : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/user32-xproc-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        path = pattern;
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(path); }
    std::string path;
};
auto* const g_runtime =
    static_cast<RuntimeFolder*>(::testing::AddGlobalTestEnvironment(new RuntimeFolder));

class CrossProcessTest : public ::testing::Test {
protected:
    void SetUp() override { ClearLog(); }

    // Starts the helper; with ready, waits for its "ready" line.
    static void Start(testing_support::ChildProcess& child, const std::vector<std::string>& args,
                      bool ready = false) {
        ASSERT_TRUE(child.Start(USER32_POST_HELPER, args));
        if (ready) EXPECT_EQ(child.Expect(""), "ready");
    }
    static int Run(const std::vector<std::string>& args) {
        testing_support::ChildProcess child;
        Start(child, args);
        return child.Wait();
    }
};

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

HWND MakeInstanceWindow(const std::wstring& class_name, const wchar_t* title = L"") {
    RegisterTestClass(class_name);
    return CreateWindowExW(0, class_name.c_str(), title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr,
                           nullptr);
}

TEST_F(CrossProcessTest, PrivateMessageFromASecondProcessReachesTheHiddenWindow) {
    std::wstring name = UniqueClassName(L"GAMEDOWNLOADER_INSWND");
    HWND hwnd = MakeInstanceWindow(name);
    ASSERT_TRUE(IsWindow(hwnd));
    ASSERT_FALSE(IsWindowVisible(hwnd));
    testing_support::ChildProcess helper;
    Start(helper, {"post", Narrow(name), "-", "0x9401", "0x1234", "-5"});
    EXPECT_TRUE(PumpUntil([] { return !SeenOf(0x9401).empty(); }, 5000));
    EXPECT_EQ(helper.Wait(), 0);
    EXPECT_EQ(CallsOf(0x9401), (Calls{{hwnd, 0x1234, -5}}));
    DestroyWindow(hwnd);
}

TEST_F(CrossProcessTest, ASecondProcessFindsTheWindowByClassAndTitleUntilItIsDestroyed) {
    std::wstring name = UniqueClassName(L"FINDME");
    HWND hwnd = MakeInstanceWindow(name, L"Main Title");
    EXPECT_EQ(Run({"find", Narrow(name), "-"}), 0);
    EXPECT_EQ(Run({"find", Narrow(name), "main title"}), 0);
    EXPECT_EQ(Run({"find", Narrow(name), "Other Title"}), 1);
    SetWindowTextW(hwnd, L"Other Title");
    EXPECT_EQ(Run({"find", Narrow(name), "Other Title"}), 0);
    DestroyWindow(hwnd);
    EXPECT_EQ(Run({"find", Narrow(name), "-"}), 1);
}

TEST_F(CrossProcessTest, PostingToAWindowOfAnotherProcess) {
    std::wstring name = UniqueClassName(L"SERVED");
    testing_support::ChildProcess server;
    Start(server, {"serve", Narrow(name)}, true);
    HWND local = MakeInstanceWindow(UniqueClassName(L"LOCAL"));
    HWND remote = FindWindowW(name.c_str(), nullptr);
    ASSERT_NE(remote, nullptr);
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_LE(reinterpret_cast<uintptr_t>(remote), 0xFFFFFFFFu);
    // Local handles and remote proxies never collide; a proxy is the same each time.
    HWND more = MakeWindow();
    for (HWND h : {local, more}) EXPECT_NE(h, remote);
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), remote);
    DWORD pid = 0;
    EXPECT_NE(GetWindowThreadProcessId(remote, &pid), 0u);
    EXPECT_EQ(pid, static_cast<DWORD>(server.pid()));
    EXPECT_EQ(ClassOf(remote), name);
    // Only messages with plain numbers cross; a send waits for the window's answer.
    EXPECT_FALSE(PostMessageW(remote, WM_CLOSE, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SendMessageW(remote, 0x9402, 40, 2), 42);
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(remote, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    // An answer that comes after the sender gave up harms nobody.
    EXPECT_FALSE(SendMessageTimeoutW(remote, 0x9403, 1, 1, SMTO_NORMAL, 100, &answer));
    Sleep(600);
    EXPECT_TRUE(PostMessageW(remote, 0x9401, 42, 0));
    EXPECT_EQ(server.Wait(), 42);
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), nullptr);
    DestroyWindow(local);
    DestroyWindow(more);
}

TEST_F(CrossProcessTest, ASendMeanwhileServesThisThreadAndGivesUpOnAWindowThatNeverAnswers) {
    std::wstring name = UniqueClassName(L"HUNG");
    testing_support::ChildProcess hung;
    Start(hung, {"hang", Narrow(name)}, true);
    HWND remote = FindWindowW(name.c_str(), nullptr);
    ASSERT_NE(remote, nullptr);
    // A thread of this process sends to this thread's window while it waits.
    HWND local = MakeWindow();
    LRESULT from_thread = -1;
    std::thread other([&] { from_thread = SendMessageW(local, WM_USER + 7, 0, 0); });
    DWORD_PTR answer = 0;
    SetLastError(0);
    EXPECT_FALSE(SendMessageTimeoutW(remote, WM_NULL, 0, 0, SMTO_NORMAL, 300, &answer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(CallsOf(WM_USER + 7).size(), 1u);
    MSG m;  // lets the thread go if it was not served
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    other.join();
    EXPECT_EQ(from_thread, 0);
    // One that ends while a send waits: the send fails then, not at its time-out.
    std::thread killer = Later(200, [&] { hung.Kill(); });
    const DWORD start = GetTickCount();
    EXPECT_FALSE(SendMessageTimeoutW(remote, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &answer));
    EXPECT_LT(GetTickCount() - start, 10000u);
    killer.join();
    DestroyWindow(local);
}

TEST_F(CrossProcessTest, WindowsOfAProcessThatDiedAreNotFound) {
    std::wstring name = UniqueClassName(L"VANISHED");
    testing_support::ChildProcess gone;
    Start(gone, {"vanish", Narrow(name)}, true);
    const pid_t pid = gone.pid();
    EXPECT_EQ(gone.Wait(), 128 + SIGKILL);
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), nullptr);
    // Nor does it litter the user's runtime folder once somebody looked.
    for (auto& e : std::filesystem::recursive_directory_iterator(g_runtime->path)) {
        EXPECT_NE(e.path().stem(), std::to_string(pid)) << e.path();
    }
}

}  // namespace
