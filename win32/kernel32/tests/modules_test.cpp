// Loading shared objects with .dll names, the built-in system modules, the names
// and paths of modules, and the resources embedded in this program and in the
// shared objects beside it.
#include <windows.h>
#include <win32_unixpath.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kernel_test.h"
#include "testing/temp_dir.h"
#include "testing/win32_program_path.h"

namespace {

using testing_support::Beside;
using testing_support::ProgramPath;

template <class Fn>
Fn Export(HMODULE mod, const char* name) {
    return reinterpret_cast<Fn>(GetProcAddress(mod, name));
}

TEST(Modules, ADllLoadsByPathOrBareNameSharesTheLayerAndCountsReferences) {
    HMODULE by_path = LoadLibraryW(Beside(L"testmod.dll").c_str());
    ASSERT_NE(by_path, nullptr) << GetLastError();
    EXPECT_EQ(Export<int (*)(int, int)>(by_path, "testmod_add")(2, 3), 5);
    Export<void (*)(DWORD)>(by_path, "testmod_set_last_error")(4321);
    EXPECT_EQ(GetLastError(), 4321u);  // one layer, one last error
    for (const char* name : {"no_such_export", reinterpret_cast<const char*>(1), "SetLastError"})
        EXPECT_EQ(Failed(!GetProcAddress(by_path, name)), ERROR_PROC_NOT_FOUND);  // nor the layer's
    // A bare name is found in the program's folder, with or without its extension.
    EXPECT_EQ(LoadLibraryW(L"testmod.dll"), by_path);
    EXPECT_EQ(LoadLibraryW(L"testmod"), by_path);
    for (int left = 2; left >= 0; --left) {
        EXPECT_TRUE(FreeLibrary(by_path));
        EXPECT_EQ(GetModuleHandleW(L"testmod.dll"), left ? by_path : nullptr);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(FreeLibrary(by_path));  // a freed module's handle is refused
    EXPECT_EQ(GetModuleHandleW(L"nores.dll"), nullptr);
}

TEST(Modules, TheCurrentFolderIsSearchedAndWhatIsNoModuleFails) {
    testing_support::TempDir dir;
    std::filesystem::copy_file(Win32PathToUnix(Beside(L"nores.dll").c_str()),
                               dir.file("cwdmod.dll"));
    testing_support::WriteAll(dir.file("text.dll"), "not a module");
    EXPECT_EQ(LoadLibraryW(L"cwdmod.dll"), nullptr);  // not in the program's folder
    const std::pair<std::wstring, DWORD> failures[] = {
        {L"no_such_module_here.dll", ERROR_MOD_NOT_FOUND},
        {Beside(L"no_such_module_here.dll"), ERROR_MOD_NOT_FOUND},
        {dir.winfile("text.dll"), ERROR_BAD_EXE_FORMAT}};
    for (const auto& [name, error] : failures)
        EXPECT_EQ(Failed(!LoadLibraryW(name.c_str())), error);
    HMODULE mod;
    {
        BackToStart back;
        std::filesystem::current_path(dir.path());
        mod = LoadLibraryW(L"cwdmod.dll");
    }
    ASSERT_NE(mod, nullptr) << GetLastError();
    EXPECT_EQ(Export<int (*)()>(mod, "nores_value")(), 42);
    FreeLibrary(mod);
}

TEST(Modules, SystemLibrariesAreBuiltInAndExportTheLayersFunctions) {
    for (const wchar_t* name : {L"kernel32.dll", L"advapi32.dll", L"ntdll.dll", L"msimg32.dll",
                                L"user32.dll", L"shell32.dll"}) {
        HMODULE m = LoadLibraryW(name);
        EXPECT_NE(m, nullptr) << name;
        EXPECT_EQ(GetModuleHandleW(name), m) << name;
        EXPECT_TRUE(FreeLibrary(m));
    }
    HMODULE kernel32 = LoadLibraryW(L"kernel32");
    EXPECT_EQ(LoadLibraryW(L"KERNEL32.DLL"), kernel32);
    SetLastError(1234);
    EXPECT_EQ(Export<DWORD(WINAPI*)()>(kernel32, "GetLastError")(), 1234u);
    EXPECT_EQ(Export<HMODULE(WINAPI*)(LPCWSTR)>(kernel32, "LoadLibraryW")(L"kernel32.dll"),
              kernel32);
    EXPECT_EQ(Failed(GetProcAddress(kernel32, "NoSuchKernelFunction") == nullptr),
              ERROR_PROC_NOT_FOUND);
    EXPECT_NE(GetProcAddress(LoadLibraryW(L"advapi32.dll"), "CreateProcessWithTokenW"), nullptr);
    auto numbers = Export<void(WINAPI*)(LPDWORD, LPDWORD, LPDWORD)>(LoadLibraryW(L"ntdll.dll"),
                                                                    "RtlGetNtVersionNumbers");
    DWORD major = 0, minor = 0, build = 0;
    numbers(&major, &minor, &build);
    EXPECT_EQ(major * 10 + minor, 61u);
    EXPECT_EQ(build, 0xF0000000u | 7601u);  // with the free-build flag
    numbers(nullptr, nullptr, nullptr);     // outputs are optional
}

TEST(Modules, ThreadsLoadAndFreeTheSameModuleTogether) {
    HMODULE held = LoadLibraryW(L"testmod.dll");  // keeps one handle valid throughout
    ASSERT_NE(held, nullptr);
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, held, &failures] {
            for (int i = 0; i < 200; ++i) {
                HMODULE m = LoadLibraryW(L"testmod.dll");
                if (m != held || !FindResourceW(m, L"BLOB", L"DATA") || !FreeLibrary(m))
                    ++failures[t];
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(8, 0));
    EXPECT_TRUE(FreeLibrary(held));
    EXPECT_EQ(GetModuleHandleW(L"testmod.dll"), nullptr);
}

TEST(ModuleFileName, IsADrivePathCutToAShortBufferAndNullNamesTheProgram) {
    const std::wstring path = ProgramPath();
    EXPECT_EQ(path.substr(1, 2), L":\\");
    EXPECT_EQ(path.substr(path.rfind(L'\\') + 1), L"win32_kernel32_tests");
    EXPECT_EQ(Win32PathToUnix(path.c_str()), std::filesystem::canonical("/proc/self/exe").string());
    HMODULE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(GetModuleHandleW(L"win32_kernel32_tests"), self);
    EXPECT_EQ(GetModuleHandleW(path.c_str()), self);
    EXPECT_TRUE(FreeLibrary(self));  // the program stays
    EXPECT_EQ(GetModuleHandleW(nullptr), self);

    HMODULE mod = LoadLibraryW(L"testmod.dll");
    wchar_t buf[4096];
    EXPECT_EQ(std::wstring(buf, GetModuleFileNameW(mod, buf, 4096)), Beside(L"testmod.dll"));
    FreeLibrary(mod);
    wmemset(buf, L'#', 8);
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 5), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::wstring(buf, 6), path.substr(0, 4) + L'\0' + L'#');  // a terminated copy
    std::wstring exact(path.size(), L'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact.data(), DWORD(path.size())), path.size());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    int not_a_module = 0;
    EXPECT_EQ(Failed(GetModuleFileNameW(reinterpret_cast<HMODULE>(&not_a_module), buf, 16) == 0u),
              ERROR_MOD_NOT_FOUND);
}

// A resource's bytes, of one language when asked, or "<missing error>".
std::string Bytes(HMODULE module, LPCWSTR name, LPCWSTR type, int lang = -1) {
    HRSRC r = lang < 0 ? FindResourceW(module, name, type)
                       : FindResourceExW(module, type, name, static_cast<WORD>(lang));
    if (!r) return "<missing " + std::to_string(GetLastError()) + ">";
    auto* p = static_cast<const char*>(LockResource(LoadResource(module, r)));
    return p ? std::string(p, SizeofResource(module, r)) : std::string("<unlocked>");
}

TEST(Resources, AreFoundByNameOrNumberOfAnyCaseInTheirModule) {
    HMODULE testmod = LoadLibraryW(L"testmod.dll"), nores = LoadLibraryW(L"nores.dll");
    const std::string skin = "skin package stand-in\n", raw = "raw data 101";
    const struct {
        HMODULE module;
        LPCWSTR name, type;
        std::string bytes;
    } cases[] = {
        {nullptr, L"SKIN.ZIP", L"ZIP", skin},
        {GetModuleHandleW(nullptr), L"Idr_Ini_Config", L"iNi", "[game]\nname=demo\n"},
        {nullptr, MAKEINTRESOURCEW(101), RT_RCDATA, raw},
        {nullptr, L"#101", MAKEINTRESOURCEW(10), raw},
        {nullptr, L"NAMED", MAKEINTRESOURCEW(300), raw},
        {nullptr, MAKEINTRESOURCEW(7), L"BYID", skin},
        {nullptr, L"COPIED", L"GEN", "made at build time\n"},
        {nullptr, L"GREETING", L"TEXT", "hello"},  // the language-neutral one
        {nullptr, L"SKIN.ZIP", L"NOSUCHTYPE", "<missing 1813>"},
        {nullptr, L"NOSUCHNAME", L"ZIP", "<missing 1814>"},
        {nullptr, MAKEINTRESOURCEW(102), RT_RCDATA, "<missing 1814>"},
        {nullptr, L"BLOB", L"DATA", "<missing 1813>"},  // the module's, not the program's
        {testmod, L"BLOB", L"DATA", raw},
        {nores, L"ANY", L"ZIP", "<missing 1812>"},
        {LoadLibraryW(L"user32.dll"), L"X", L"Y", "<missing 1812>"},
    };
    for (const auto& t : cases) EXPECT_EQ(Bytes(t.module, t.name, t.type), t.bytes);
    FreeLibrary(testmod);
    FreeLibrary(nores);

    const std::pair<WORD, std::string> languages[] = {
        {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), "hello"},
        {MAKELANGID(4, 2), "你好"},
        {MAKELANGID(9, 1), "hello, US"},
        {MAKELANGID(7, 1), "<missing 1815>"}};
    for (const auto& [lang, bytes] : languages)
        EXPECT_EQ(Bytes(nullptr, L"GREETING", L"TEXT", lang), bytes);
    int not_a_resource = 0;
    auto forged = reinterpret_cast<HRSRC>(&not_a_resource);
    EXPECT_EQ(Failed(LoadResource(nullptr, forged) == nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SizeofResource(nullptr, forged), 0u);
    EXPECT_FALSE(FreeResource(LoadResource(nullptr, FindResourceW(nullptr, L"SKIN.ZIP", L"ZIP"))));
}

TEST(Resources, AnIconGroupNamesItsImages) {
    HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(128), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(SizeofResource(nullptr, group), 6u + 14u);
    auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
    EXPECT_EQ(dir[2] | dir[3] << 8, 1);  // an icon, not a cursor
    EXPECT_EQ(dir[4] | dir[5] << 8, 1);  // one image
    EXPECT_EQ(dir[6], 16);               // 16 pixels wide
    EXPECT_EQ(dir[12] | dir[13] << 8, 32);
    EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(dir[18] | dir[19] << 8), RT_ICON), "IMAGE!");
}

TEST(Resources, StringsLoadWholeOrCutOrByPointerFromTheirModule) {
    HMODULE testmod = LoadLibraryW(L"testmod.dll");
    wchar_t self[4096];
    GetModuleFileNameW(nullptr, self, 4096);
    HMODULE data = LoadLibraryExW(self, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(data, GetModuleHandleW(nullptr));
    const struct {
        HMODULE module;
        UINT id;
        int size;
        std::wstring text;
    } cases[] = {
        {nullptr, 202, 100, L"demogame"},
        {GetModuleHandleW(nullptr), 203, 100, L"游戏 \"quoted\"\ttab"},
        {nullptr, 17, 100, L"second block"},
        {nullptr, 204, 10, L"012345678"},  // cut to the buffer less the terminator
        {nullptr, 204, 1, L""},
        {nullptr, 205, 8, L""},   // missing, in a block that exists
        {nullptr, 5000, 8, L""},  // in one that does not
        {testmod, 1, 32, L"from testmod"},
        {testmod, 202, 32, L""},
        {data, 202, 16, L"demogame"},  // another program file read as data
    };
    for (const auto& t : cases) {
        wchar_t buf[100];
        wmemset(buf, L'#', 100);
        EXPECT_EQ(LoadStringW(t.module, t.id, buf, t.size), int(t.text.size())) << t.id;
        EXPECT_EQ(std::wstring(buf), t.text) << t.id;
    }
    const wchar_t* text = nullptr;
    ASSERT_EQ(LoadStringW(nullptr, 204, reinterpret_cast<LPWSTR>(&text), 0), 20);
    EXPECT_EQ(std::wstring(text, 20), L"0123456789abcdefghij");
    EXPECT_EQ(Bytes(data, L"SKIN.ZIP", L"ZIP"), "skin package stand-in\n");
    EXPECT_EQ(Failed(GetProcAddress(data, "main") == nullptr), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_TRUE(FreeLibrary(testmod));
}

}  // namespace
