#include "user32_test_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

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

    // Runs the helper; with ready, waits for its "ready" line first. Answers the pid.
    pid_t Start(const std::vector<std::string>& args, bool ready = false) {
        int fds[2];
        if (pipe(fds) != 0) return -1;
        pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv;
            std::string helper = USER32_POST_HELPER;
            argv.push_back(helper.data());
            for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(helper.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        if (ready) {
            char buf[16] = {};
            ssize_t n = read(fds[0], buf, sizeof(buf) - 1);
            EXPECT_GT(n, 0);
            EXPECT_STREQ(buf, "ready\n");
        }
        close(fds[0]);
        return pid;
    }

    static int Wait(pid_t pid) {
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        if (WIFSIGNALED(status)) return 1000 + WTERMSIG(status);
        return WEXITSTATUS(status);
    }

    int Run(const std::vector<std::string>& args) { return Wait(Start(args)); }
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
    pid_t helper = Start({"post", Narrow(name), "-", "0x9401", "0x1234", "-5"});
    SetTimer(hwnd, 1, 5000, nullptr);  // gives up rather than hang
    MSG msg;
    bool got = false;
    while (!got && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) break;
        DispatchMessageW(&msg);
        got = msg.message == 0x9401;
    }
    EXPECT_EQ(Wait(helper), 0);
    ASSERT_TRUE(got);
    auto seen = SeenOf(0x9401);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].hwnd, hwnd);
    EXPECT_EQ(seen[0].wparam, 0x1234u);
    EXPECT_EQ(seen[0].lparam, -5);
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
    pid_t server = Start({"serve", Narrow(name)}, true);
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
    EXPECT_EQ(pid, static_cast<DWORD>(server));
    wchar_t class_name[128];
    EXPECT_GT(GetClassNameW(remote, class_name, 128), 0);
    EXPECT_EQ(std::wstring(class_name), name);
    // Only private messages cross, and nothing is sent synchronously.
    EXPECT_FALSE(PostMessageW(remote, WM_CLOSE, 0, 0));
    EXPECT_EQ(SendMessageW(remote, 0x9401, 0, 0), 0);
    EXPECT_TRUE(PostMessageW(remote, 0x9401, 42, 0));
    EXPECT_EQ(Wait(server), 42);
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), nullptr);
    DestroyWindow(local);
    DestroyWindow(more);
}

TEST_F(CrossProcessTest, WindowsOfAProcessThatDiedAreNotFound) {
    std::wstring name = UniqueClassName(L"VANISHED");
    pid_t gone = Start({"vanish", Narrow(name)}, true);
    EXPECT_EQ(Wait(gone), 1000 + SIGKILL);
    EXPECT_EQ(FindWindowW(name.c_str(), nullptr), nullptr);
    // Nor does it litter the user's runtime folder once somebody looked.
    for (auto& e : std::filesystem::recursive_directory_iterator(g_runtime->path)) {
        EXPECT_NE(e.path().stem(), std::to_string(gone)) << e.path();
    }
}

}  // namespace
