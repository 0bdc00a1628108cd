// Process ids, a process's modules and its executable's path.
#include "child_program.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>

using namespace proctest;

namespace {

std::vector<DWORD> all_pids() {
    std::vector<DWORD> pids(4096);
    DWORD bytes = 0;
    EXPECT_TRUE(
        EnumProcesses(pids.data(), static_cast<DWORD>(pids.size() * sizeof(DWORD)), &bytes));
    pids.resize(bytes / sizeof(DWORD));
    return pids;
}

// The path of a process's first module, as the process finders read it.
std::wstring image_of(DWORD pid) {
    HANDLE h =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE, FALSE, pid);
    if (!h) return {};
    HMODULE module = nullptr;
    DWORD needed = 0;
    std::wstring out;
    if (EnumProcessModules(h, &module, sizeof module, &needed)) {
        WCHAR path[MAX_PATH];
        DWORD n = GetModuleFileNameExW(h, module, path, MAX_PATH);
        out.assign(path, n);
    }
    CloseHandle(h);
    return out;
}

struct Child {
    PROCESS_INFORMATION pi{};
    explicit Child(const std::wstring& program) {
        ok = start(in_quotes(program) + L" sleep 5000", &pi);
    }
    ~Child() {
        if (!ok) return;
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 2000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    bool ok = false;
};

}  // namespace

TEST(EnumProcesses, ListsThisProcessAndAChild) {
    Child c(win_path(child_path()));
    ASSERT_TRUE(c.ok);
    auto pids = all_pids();
    EXPECT_NE(pids.end(), std::find(pids.begin(), pids.end(), GetCurrentProcessId()));
    EXPECT_NE(pids.end(), std::find(pids.begin(), pids.end(), c.pi.dwProcessId));
}

TEST(EnumProcesses, SmallBufferTakesWhatFits) {
    DWORD pids[2] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(EnumProcesses(pids, sizeof pids, &bytes));
    EXPECT_EQ(sizeof pids, bytes);
    EXPECT_NE(0u, pids[0]);
}

TEST(EnumProcesses, ChildIsFoundByTheFolderItsImageLiesIn) {
    TempDir dir;
    copy_child(dir.file("finder.exe"));
    Child c(dir.win("finder.exe"));
    ASSERT_TRUE(c.ok);
    std::wstring folder = dir.win() + L"\\";
    int found = 0;
    for (DWORD pid : all_pids()) {
        std::wstring image = image_of(pid);
        if (image.compare(0, folder.size(), folder) != 0) continue;
        ++found;
        EXPECT_EQ(c.pi.dwProcessId, pid);
        EXPECT_EQ(dir.win("finder.exe"), image);
    }
    EXPECT_EQ(1, found);
}

TEST(EnumProcessModules, FirstModuleIsTheImageAndOthersFollow) {
    Child c(win_path(child_path()));
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(win_path(child_path()), image_of(c.pi.dwProcessId));

    // The child's loader maps the layer's library just after the start; look
    // until it is there.
    bool layer = false;
    for (int attempt = 0; attempt < 200 && !layer; ++attempt) {
        if (attempt) usleep(10000);
        DWORD needed = 0;
        ASSERT_TRUE(EnumProcessModules(c.pi.hProcess, nullptr, 0, &needed));
        std::vector<HMODULE> modules(needed / sizeof(HMODULE));
        ASSERT_TRUE(EnumProcessModules(c.pi.hProcess, modules.data(), needed, &needed));
        ASSERT_FALSE(modules.empty());
        WCHAR path[MAX_PATH];
        DWORD n = GetModuleFileNameExW(c.pi.hProcess, modules[0], path, MAX_PATH);
        EXPECT_EQ(win_path(child_path()), std::wstring(path, n));
        for (HMODULE m : modules) {
            // A module can move while the loader is at work; it is looked at again.
            n = GetModuleFileNameExW(c.pi.hProcess, m, path, MAX_PATH);
            layer = layer || std::wstring(path, n).find(L"libwin32") != std::wstring::npos;
        }
    }
    EXPECT_TRUE(layer);
}

TEST(GetModuleFileNameEx, NullModuleIsTheImageAndLongNamesAreCut) {
    Child c(win_path(child_path()));
    ASSERT_TRUE(c.ok);
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameExW(c.pi.hProcess, nullptr, path, MAX_PATH);
    EXPECT_EQ(win_path(child_path()), std::wstring(path, n));
    WCHAR small[5];
    EXPECT_EQ(4u, GetModuleFileNameExW(c.pi.hProcess, nullptr, small, 5));
    EXPECT_EQ(win_path(child_path()).substr(0, 4), std::wstring(small));
}

TEST(GetModuleFileNameEx, DeletedImageKeepsItsPathWithoutAMark) {
    TempDir dir;
    copy_child(dir.file("doomed.exe"));
    Child c(dir.win("doomed.exe"));
    ASSERT_TRUE(c.ok);
    ASSERT_EQ(0, unlink(dir.file("doomed.exe").c_str()));
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameExW(c.pi.hProcess, nullptr, path, MAX_PATH);
    EXPECT_EQ(dir.win("doomed.exe"), std::wstring(path, n));
}

TEST(GetModuleFileNameEx, InvalidHandleFails) {
    WCHAR path[MAX_PATH];
    EXPECT_EQ(0u, GetModuleFileNameExW(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7ff0)),
                                       nullptr, path, MAX_PATH));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}
