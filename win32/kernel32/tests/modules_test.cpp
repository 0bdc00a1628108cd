// Loading shared objects with .dll names, the built-in system modules, and the
// names and paths of modules.
#include <windows.h>
#include <win32_unixpath.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::wstring ProgramPath() {
    wchar_t path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, 4096);
    return std::wstring(path, n);
}

std::wstring ProgramFolder() {
    std::wstring p = ProgramPath();
    return p.substr(0, p.rfind(L'\\'));
}

std::wstring Beside(const wchar_t* name) { return ProgramFolder() + L"\\" + name; }

// A temporary folder of this test, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "modtest.XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Runs the body in another current folder, restoring it afterwards.
class InFolder {
public:
    explicit InFolder(const std::string& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(old_); }

private:
    fs::path old_;
};

TEST(Modules, LoadsADllNamedSharedObjectAndCallsItsExport) {
    HMODULE mod = LoadLibraryW(Beside(L"testmod.dll").c_str());
    ASSERT_NE(mod, nullptr) << GetLastError();
    auto add = reinterpret_cast<int (*)(int, int)>(GetProcAddress(mod, "testmod_add"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_TRUE(FreeLibrary(mod));
}

TEST(Modules, ModulesShareTheLayersLastError) {
    HMODULE mod = LoadLibraryW(Beside(L"testmod.dll").c_str());
    ASSERT_NE(mod, nullptr);
    auto set = reinterpret_cast<void (*)(DWORD)>(GetProcAddress(mod, "testmod_set_last_error"));
    ASSERT_NE(set, nullptr);
    set(4321);
    EXPECT_EQ(GetLastError(), 4321u);
    FreeLibrary(mod);
}

TEST(Modules, FindsABareNameInTheProgramsFolder) {
    HMODULE by_path = LoadLibraryW(Beside(L"testmod.dll").c_str());
    HMODULE bare = LoadLibraryW(L"testmod.dll");
    HMODULE no_extension = LoadLibraryW(L"testmod");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare, by_path);
    EXPECT_EQ(no_extension, by_path);
    for (HMODULE m : {by_path, bare, no_extension}) FreeLibrary(m);
}

TEST(Modules, FindsABareNameInTheCurrentFolder) {
    TempDir dir;
    fs::copy_file(Win32PathToUnix(Beside(L"nores.dll").c_str()), dir.path() + "/cwdmod.dll");
    EXPECT_EQ(LoadLibraryW(L"cwdmod.dll"), nullptr);  // not in the program's folder
    InFolder in(dir.path());
    HMODULE mod = LoadLibraryW(L"cwdmod.dll");
    ASSERT_NE(mod, nullptr) << GetLastError();
    auto value = reinterpret_cast<int (*)()>(GetProcAddress(mod, "nores_value"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value(), 42);
    FreeLibrary(mod);
}

TEST(Modules, LoadingTwiceCountsReferences) {
    HMODULE first = LoadLibraryW(Beside(L"testmod.dll").c_str());
    HMODULE second = LoadLibraryW(Beside(L"testmod.dll").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(GetModuleHandleW(L"testmod.dll"), first);
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetModuleHandleW(L"testmod.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(FreeLibrary(second));  // a freed module's handle is refused
}

TEST(Modules, MissingExportsFailWithProcNotFound) {
    HMODULE mod = LoadLibraryW(Beside(L"testmod.dll").c_str());
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(GetProcAddress(mod, "no_such_export"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(mod, reinterpret_cast<LPCSTR>(1)), nullptr);  // by ordinal
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    // The layer's functions are the layer's exports, not the module's.
    EXPECT_EQ(GetProcAddress(mod, "SetLastError"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    FreeLibrary(mod);
}

TEST(Modules, MissingFilesFailWithModNotFound) {
    EXPECT_EQ(LoadLibraryW(L"no_such_module_here.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryW(Beside(L"no_such_module_here.dll").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Modules, AFileThatIsNoModuleFailsWithBadFormat) {
    TempDir dir;
    std::ofstream(dir.path() + "/text.dll") << "not a module";
    std::wstring path = UnixPathToWin32(dir.path() + "/text.dll");
    EXPECT_EQ(LoadLibraryW(path.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
}

TEST(Modules, SystemLibrariesAreBuiltIn) {
    for (const wchar_t* name : {L"kernel32.dll", L"advapi32.dll", L"ntdll.dll", L"msimg32.dll",
                                L"user32.dll", L"shell32.dll"}) {
        HMODULE m = LoadLibraryW(name);
        EXPECT_NE(m, nullptr) << name;
        EXPECT_EQ(GetModuleHandleW(name), m) << name;
        EXPECT_TRUE(FreeLibrary(m));
    }
    EXPECT_EQ(LoadLibraryW(L"KERNEL32.DLL"), LoadLibraryW(L"kernel32"));
}

TEST(Modules, BuiltInKernel32ExportsTheLayersFunctions) {
    HMODULE kernel32 = LoadLibraryW(L"kernel32.dll");
    auto get = reinterpret_cast<DWORD(WINAPI*)()>(GetProcAddress(kernel32, "GetLastError"));
    ASSERT_NE(get, nullptr);
    SetLastError(1234);
    EXPECT_EQ(get(), 1234u);
    auto load =
        reinterpret_cast<HMODULE(WINAPI*)(LPCWSTR)>(GetProcAddress(kernel32, "LoadLibraryW"));
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(load(L"kernel32.dll"), kernel32);
    EXPECT_EQ(GetProcAddress(kernel32, "NoSuchKernelFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

TEST(Modules, BuiltInAdvapi32ExportsProcessCreationWithAToken) {
    HMODULE advapi32 = LoadLibraryW(L"advapi32.dll");
    ASSERT_NE(advapi32, nullptr);
    EXPECT_NE(GetProcAddress(advapi32, "CreateProcessWithTokenW"), nullptr);
}

TEST(Modules, ThreadsLoadAndFreeTheSameModuleTogether) {
    HMODULE held = LoadLibraryW(L"testmod.dll");  // keeps one handle valid throughout
    ASSERT_NE(held, nullptr);
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, held, &failures] {
            for (int i = 0; i < 200; ++i) {
                HMODULE m = LoadLibraryW(L"testmod.dll");
                if (m != held || !FindResourceW(m, L"BLOB", L"DATA") || !FreeLibrary(m)) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
    EXPECT_TRUE(FreeLibrary(held));
    EXPECT_EQ(GetModuleHandleW(L"testmod.dll"), nullptr);
}

TEST(Modules, NullNamesTheProgram) {
    HMODULE self = GetModuleHandleW(nullptr);
    ASSERT_NE(self, nullptr);
    std::wstring path = ProgramPath();
    std::wstring file = path.substr(path.rfind(L'\\') + 1);
    EXPECT_EQ(GetModuleHandleW(file.c_str()), self);
    EXPECT_EQ(GetModuleHandleW(path.c_str()), self);
    EXPECT_TRUE(FreeLibrary(self));  // the program stays
    EXPECT_EQ(GetModuleHandleW(nullptr), self);
}

TEST(Modules, UnloadedNamesAreNotFound) {
    EXPECT_EQ(GetModuleHandleW(L"nores.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(ModuleFileName, IsADrivePath) {
    std::wstring path = ProgramPath();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path[1], L':');
    EXPECT_EQ(path[2], L'\\');
    EXPECT_EQ(path.substr(path.rfind(L'\\') + 1), L"win32_kernel32_tests");
    EXPECT_EQ(Win32PathToUnix(path.c_str()), fs::canonical("/proc/self/exe").string());
}

TEST(ModuleFileName, OfALoadedModuleIsItsFile) {
    HMODULE mod = LoadLibraryW(L"testmod.dll");
    ASSERT_NE(mod, nullptr);
    wchar_t buf[4096];
    DWORD n = GetModuleFileNameW(mod, buf, 4096);
    EXPECT_EQ(std::wstring(buf, n), Beside(L"testmod.dll"));
    FreeLibrary(mod);
}

TEST(ModuleFileName, ShortBufferGetsATruncatedTerminatedCopy) {
    std::wstring full = ProgramPath();
    wchar_t buf[8];
    wmemset(buf, L'#', 8);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(buf), full.substr(0, 4));
    EXPECT_EQ(buf[5], L'#');  // nothing written past the buffer

    std::wstring exact(full.size(), L'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact.data(), static_cast<DWORD>(full.size())),
              full.size());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    std::wstring room(full.size() + 1, L'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, room.data(), static_cast<DWORD>(room.size())),
              full.size());
    EXPECT_EQ(room.c_str(), full);
}

TEST(ModuleFileName, UnknownHandleFails) {
    int not_a_module = 0;
    wchar_t buf[16];
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&not_a_module), buf, 16), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
