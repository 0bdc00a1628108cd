// Process ids, a process's modules and its executable's path, as the process finders
// read them.
#include "child_program.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>

using namespace proctest;

namespace {

// The paths of the first module and of the null module, which both name the image.
std::wstring ImagePaths(HANDLE process) {
    HMODULE module = nullptr;
    DWORD needed = 0;
    WCHAR path[MAX_PATH];
    if (!EnumProcessModules(process, &module, sizeof module, &needed) || !module) return L"-";
    std::wstring first(path, GetModuleFileNameExW(process, module, path, MAX_PATH));
    return first + L"|" +
           std::wstring(path, GetModuleFileNameExW(process, nullptr, path, MAX_PATH));
}

TEST(ProcessFinder, ListsThisProcessAndAChildWhoseFirstModuleNamesItsImageEvenDeleted) {
    TempDir dir;
    copy_child(dir.file("finder.exe"));
    const std::wstring image = dir.winfile("finder.exe");
    Started c(L"\"" + image + L"\" sleep 5000");
    ASSERT_TRUE(c.ok);
    std::vector<DWORD> pids(4096);
    DWORD bytes = 0;
    ASSERT_TRUE(
        EnumProcesses(pids.data(), static_cast<DWORD>(pids.size() * sizeof(DWORD)), &bytes));
    pids.resize(bytes / sizeof(DWORD));
    for (DWORD pid : {GetCurrentProcessId(), c.pi.dwProcessId})
        EXPECT_NE(pids.end(), std::find(pids.begin(), pids.end(), pid)) << pid;
    DWORD two[2] = {};  // what fits
    ASSERT_TRUE(EnumProcesses(two, sizeof two, &bytes));
    EXPECT_EQ(sizeof two, bytes);
    EXPECT_NE(0u, two[1]);

    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, c.pi.dwProcessId);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ImagePaths(h), image + L"|" + image);
    WCHAR small[5];
    EXPECT_EQ(4u, GetModuleFileNameExW(h, nullptr, small, 5));
    EXPECT_EQ(image.substr(0, 4), small);
    ASSERT_EQ(0, unlink(dir.file("finder.exe").c_str()));
    EXPECT_EQ(ImagePaths(h), image + L"|" + image);  // no " (deleted)" mark
    CloseHandle(h);
    EXPECT_EQ(0u, GetModuleFileNameExW(h, nullptr, small, 5));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

}  // namespace
