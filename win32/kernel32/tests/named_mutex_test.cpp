// Named mutexes between processes: the test program runs copies of itself as
// child processes (fork and exec) that take commands on stdin and answer on stdout.
#include <windows.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "handle.h"

extern char** environ;

namespace {

constexpr char kChildVariable[] = "NAMED_MUTEX_TEST_CHILD";

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The child's side: "create <owned> <name>", "wait <ms>", "release", "close", one
// answer line each, until stdin ends.
int run_child() {
    HANDLE h = nullptr;
    char line[512];
    while (fgets(line, sizeof line, stdin)) {
        char name[400] = {};
        int owned = 0;
        unsigned ms = 0;
        if (sscanf(line, "create %d %399s", &owned, name) == 2) {
            h = CreateMutexW(nullptr, owned, widen(name).c_str());
            printf("%d %u\n", h != nullptr, GetLastError());
        } else if (sscanf(line, "wait %u", &ms) == 1) {
            printf("%u\n", WaitForSingleObject(h, ms));
        } else if (strncmp(line, "release", 7) == 0) {
            BOOL ok = ReleaseMutex(h);
            printf("%d %u\n", ok, ok ? 0u : GetLastError());
        } else if (strncmp(line, "close", 5) == 0) {
            printf("%d\n", CloseHandle(h));
            h = nullptr;
        } else {
            printf("?\n");
        }
        fflush(stdout);
    }
    return 0;
}

[[maybe_unused]] const int g_child_mode = [] {
    if (getenv(kChildVariable)) _exit(run_child());
    return 0;
}();

// A child copy of this program, killed and reaped when it goes out of scope.
class Child {
public:
    Child() {
        int to_child[2], from_child[2];
        if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) return;
        std::vector<std::string> env_text;
        for (char** e = environ; *e; ++e) env_text.emplace_back(*e);
        env_text.push_back(std::string(kChildVariable) + "=1");
        std::vector<char*> envp;
        for (auto& e : env_text) envp.push_back(e.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>("named_mutex_child"), nullptr};
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_child[0], 0);
            dup2(from_child[1], 1);
            execve("/proc/self/exe", argv, envp.data());
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        to_ = fdopen(to_child[1], "w");
        from_ = fdopen(from_child[0], "r");
    }
    ~Child() {
        if (to_) fclose(to_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (from_) fclose(from_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Sends one command and answers the child's reply line ("" when it is gone).
    std::string call(const std::string& command) {
        if (!to_ || !from_) return "";
        fprintf(to_, "%s\n", command.c_str());
        fflush(to_);
        char line[128];
        if (!fgets(line, sizeof line, from_)) return "";
        std::string reply(line);
        while (!reply.empty() && reply.back() == '\n') reply.pop_back();
        return reply;
    }

    void kill_hard() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
};

std::string number(DWORD v) { return std::to_string(v); }

// Each test gets its own runtime folder, so that its lock files are its own.
class NamedMutex : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/named-mutex-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        setenv("XDG_RUNTIME_DIR", dir, 1);
        name_ = "gamekeyDOWNLOADER_INSWND-" + std::to_string(getpid());
        wname_ = widen(name_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string create(bool owned) { return "create " + std::to_string(owned) + " " + name_; }

    std::string dir_;
    std::string name_;
    std::wstring wname_;
};

TEST_F(NamedMutex, SecondCreateInAnotherProcessAnswersAlreadyExists) {
    SetLastError(ERROR_ALREADY_EXISTS);
    Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    ASSERT_NE(mine.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    Child child;
    EXPECT_EQ(child.call(create(true)), "1 183");
    // Asking for the initial ownership of an existing mutex gets none.
    EXPECT_EQ(child.call("wait 0"), number(WAIT_TIMEOUT));
}

TEST_F(NamedMutex, SecondCreateInTheSameProcessOpensTheSameMutex) {
    Handle first(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    ASSERT_NE(first.get(), nullptr);
    Handle second(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    ASSERT_NE(second.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first.get(), second.get());
    // One object: its owner takes it again through the other handle, and another
    // thread cannot take it until both takes are released.
    EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0);
    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(first.get(), 0); }).join();
    EXPECT_EQ(other, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(ReleaseMutex(first.get()));
    EXPECT_TRUE(ReleaseMutex(second.get()));
    EXPECT_FALSE(ReleaseMutex(first.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
}

TEST_F(NamedMutex, OwnershipIsExclusiveBetweenProcesses) {
    Child child;
    ASSERT_EQ(child.call(create(true)), "1 0");
    Handle mine(CreateMutexW(nullptr, FALSE, wname_.c_str()));
    ASSERT_NE(mine.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(mine.get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(ReleaseMutex(mine.get()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_EQ(child.call("release"), "1 0");
    EXPECT_EQ(WaitForSingleObject(mine.get(), 2000), WAIT_OBJECT_0);
    EXPECT_EQ(child.call("wait 30"), number(WAIT_TIMEOUT));
    EXPECT_EQ(child.call("release"), "0 288");

    EXPECT_TRUE(ReleaseMutex(mine.get()));
    EXPECT_EQ(child.call("wait 2000"), number(WAIT_OBJECT_0));
}

TEST_F(NamedMutex, WaiterInAnotherProcessWakesWhenTheOwnerReleases) {
    Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    Child child;
    ASSERT_EQ(child.call(create(false)), "1 183");
    std::string reply;
    std::thread asker([&] { reply = child.call("wait 5000"); });
    Sleep(50);
    EXPECT_TRUE(ReleaseMutex(mine.get()));
    asker.join();
    EXPECT_EQ(reply, number(WAIT_OBJECT_0));
}

TEST_F(NamedMutex, NameIsFreeAgainAfterTheLastHandleCloses) {
    Child child;
    ASSERT_EQ(child.call(create(true)), "1 0");
    ASSERT_EQ(child.call("close"), "1");
    {
        Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
        ASSERT_NE(mine.get(), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(child.call(create(false)), "1 183");
        EXPECT_EQ(child.call("close"), "1");
    }
    EXPECT_EQ(child.call(create(true)), "1 0");
    EXPECT_EQ(child.call("wait 0"), number(WAIT_OBJECT_0));
}

TEST_F(NamedMutex, KilledOwnerProcessLeavesTheMutexAbandonedNotLocked) {
    Child owner;
    ASSERT_EQ(owner.call(create(true)), "1 0");
    Handle mine(CreateMutexW(nullptr, FALSE, wname_.c_str()));
    ASSERT_NE(mine.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(mine.get(), 20), static_cast<DWORD>(WAIT_TIMEOUT));
    owner.kill_hard();
    EXPECT_EQ(WaitForSingleObject(mine.get(), 2000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(mine.get()));

    // Released properly, the next owner finds a normal mutex.
    Child next;
    EXPECT_EQ(next.call(create(false)), "1 183");
    EXPECT_EQ(next.call("wait 2000"), number(WAIT_OBJECT_0));
}

TEST_F(NamedMutex, OwnerThreadThatEndsLeavesItAbandonedToAnotherProcess) {
    Handle mine(CreateMutexW(nullptr, FALSE, wname_.c_str()));
    DWORD took = 0xDEADBEEF;
    std::thread([&] { took = WaitForSingleObject(mine.get(), 0); }).join();
    ASSERT_EQ(took, WAIT_OBJECT_0);
    Child child;
    ASSERT_EQ(child.call(create(false)), "1 183");
    EXPECT_EQ(child.call("wait 2000"), number(WAIT_ABANDONED));
    EXPECT_EQ(child.call("release"), "1 0");
    EXPECT_EQ(WaitForSingleObject(mine.get(), 2000), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mine.get()));
}

TEST_F(NamedMutex, KilledFirstCopyDoesNotBlockTheNextStart) {
    {
        Child first_copy;
        ASSERT_EQ(first_copy.call(create(true)), "1 0");
        first_copy.kill_hard();
    }
    Handle mine(CreateMutexW(nullptr, TRUE, wname_.c_str()));
    ASSERT_NE(mine.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    Child third_copy;
    EXPECT_EQ(third_copy.call(create(true)), "1 183");
    EXPECT_EQ(third_copy.call("wait 0"), number(WAIT_TIMEOUT));
}

TEST_F(NamedMutex, WaitForAllDoesNotHoldTheMutexWhileTheOtherObjectsAreNotReady) {
    Handle mine(CreateMutexW(nullptr, FALSE, wname_.c_str()));
    Handle gate(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD result = 0xDEADBEEF;
    std::thread waiter([&] {
        HANDLE both[] = {mine.get(), gate.get()};
        result = WaitForMultipleObjects(2, both, TRUE, 5000);
        if (result == WAIT_OBJECT_0) ReleaseMutex(mine.get());
    });
    Sleep(30);
    Child child;
    ASSERT_EQ(child.call(create(false)), "1 183");
    EXPECT_EQ(child.call("wait 1000"), number(WAIT_OBJECT_0));
    EXPECT_EQ(child.call("release"), "1 0");
    SetEvent(gate.get());
    waiter.join();
    EXPECT_EQ(result, WAIT_OBJECT_0);
}

TEST_F(NamedMutex, NamesOfAnyTextAreDistinctMutexes) {
    std::wstring a = L"游戏/one\\" + wname_;
    std::wstring b = L"游戏/two\\" + wname_;
    Handle ha(CreateMutexW(nullptr, TRUE, a.c_str()));
    ASSERT_NE(ha.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    Handle hb(CreateMutexW(nullptr, TRUE, b.c_str()));
    ASSERT_NE(hb.get(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    std::wstring long_name(300, L'x');
    Handle hl(CreateMutexW(nullptr, FALSE, long_name.c_str()));
    EXPECT_NE(hl.get(), nullptr);
}

}  // namespace
