// Process snapshots: the process list as Toolhelp walks it.
#include "child_program.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

using namespace proctest;

namespace {

std::vector<PROCESSENTRY32W> walk(HANDLE snapshot) {
    std::vector<PROCESSENTRY32W> out;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snapshot, &e); ok; ok = Process32NextW(snapshot, &e))
        out.push_back(e);
    return out;
}

}  // namespace

TEST(Toolhelp, SnapshotFindsAChildByItsFileName) {
    TempDir dir;
    std::string name = "w32snap-" + std::to_string(getpid()) + ".exe";
    copy_child(dir.file(name));
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(start(in_quotes(dir.win(name)) + L" sleep 5000", &pi));

    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, snap);
    auto entries = walk(snap);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    CloseHandle(snap);

    int matches = 0;
    for (auto& e : entries) {
        if (widen(name) != e.szExeFile) continue;
        ++matches;
        EXPECT_EQ(pi.dwProcessId, e.th32ProcessID);
        EXPECT_EQ(GetCurrentProcessId(), e.th32ParentProcessID);
        EXPECT_GE(e.cntThreads, 1u);
    }
    EXPECT_EQ(1, matches);

    TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(Toolhelp, SnapshotHoldsThisProcessUnderItsImageName) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, snap);
    bool found = false;
    for (auto& e : walk(snap)) {
        if (e.th32ProcessID != GetCurrentProcessId()) continue;
        found = true;
        EXPECT_EQ(std::wstring(L"win32_kernel32_tests"), e.szExeFile);
        EXPECT_EQ(static_cast<DWORD>(getppid()), e.th32ParentProcessID);
    }
    EXPECT_TRUE(found);
    CloseHandle(snap);
}

TEST(Toolhelp, FirstStartsTheWalkAgain) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    auto once = walk(snap);
    auto twice = walk(snap);
    ASSERT_FALSE(once.empty());
    ASSERT_EQ(once.size(), twice.size());
    EXPECT_EQ(once.front().th32ProcessID, twice.front().th32ProcessID);
    CloseHandle(snap);
}

TEST(Toolhelp, EntryWithoutItsSizeIsRefused) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e{};
    EXPECT_FALSE(Process32FirstW(snap, &e));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_LENGTH), GetLastError());
    CloseHandle(snap);
}

TEST(Toolhelp, WalkOnAnInvalidHandleFails) {
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    EXPECT_FALSE(Process32FirstW(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7ff0)), &e));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}
