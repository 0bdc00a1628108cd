#include "syslib/err_obj_store.h"
#include "syslib/load_dll.h"
#include "syslib/vaq_public_dll_helper.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <win32_unixpath.h>

#include <thread>

namespace {

std::wstring CompanionPath() { return UnixPathToWin32(SYSLIB_TEST_COMPANION); }

using AnswerFn = int (*)();

// By path or, for system libraries, by name; a missing one answers null with
// ERROR_MOD_NOT_FOUND.
TEST(LoadDllTest, LoadsALibraryAndFindsItsExport) {
    HMODULE module = LoadDll(CompanionPath().c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    auto answer = reinterpret_cast<AnswerFn>(GetProcAddress(module, "CompanionAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_NE(LoadDll(L"advapi32.dll"), nullptr) << GetLastError();
    SetLastError(0);
    EXPECT_EQ(LoadDll((CompanionPath() + L".missing.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadDll(nullptr), nullptr);
}

TEST(DllHelperTest, AHolderFreesWhatItWasGiven) {
    const std::wstring path = CompanionPath();
    {
        CVaqPublicDLLHelper<CVaqUtilExportFuncs> util_lib;
        EXPECT_FALSE(util_lib.IsLoaded());
        HMODULE module = LoadDll(path.c_str());
        ASSERT_NE(module, nullptr);
        util_lib.Attach(module, CVaqUtilExportFuncs{});
        EXPECT_TRUE(util_lib.IsLoaded());
        EXPECT_EQ(GetModuleHandleW(path.c_str()), module);
    }
    // The holder's end freed the only reference.
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

TEST(ErrObjStoreTest, EachThreadKeepsItsOwnRecord) {
    ErrObjSharedStore store;
    ErrObjRecord record;
    EXPECT_FALSE(store.GetError(&record));
    store.SetError(5, L"拒绝访问");
    std::thread other([&store] {
        ErrObjRecord seen;
        EXPECT_FALSE(store.GetError(&seen));
        store.SetError(2, L"missing");
        EXPECT_TRUE(store.GetError(&seen) && seen.code == 2);
    });
    other.join();
    ASSERT_TRUE(store.GetError(&record));
    EXPECT_EQ(std::to_wstring(record.code) + record.text, L"5拒绝访问");
    EXPECT_EQ(store.Count(), 2u);

    store.ClearError();
    EXPECT_FALSE(store.GetError(&record) || store.Count() != 1);
}

}  // namespace
