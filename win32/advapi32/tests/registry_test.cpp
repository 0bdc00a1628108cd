// The registry: values of each type, sizes, names, enumeration, deletion, the
// merged HKEY_CLASSES_ROOT, and the store shared between processes.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = std::filesystem::temp_directory_path() / "regtest.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        setenv("WIN32_REGISTRY_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("WIN32_REGISTRY_DIR");
        std::filesystem::remove_all(dir_);
    }

    static HKEY Create(HKEY root, const wchar_t* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }

    static LSTATUS SetString(HKEY key, const wchar_t* name, const std::wstring& text,
                             DWORD type = REG_SZ) {
        return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }

    static LSTATUS SetDword(HKEY key, const wchar_t* name, DWORD v) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }

    // The text of a string value, or "<error N>".
    static std::wstring GetString(HKEY key, const wchar_t* name) {
        WCHAR buf[512] = {};
        DWORD size = sizeof buf, type = 0;
        LSTATUS s =
            RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
        if (s != ERROR_SUCCESS) return L"<error " + std::to_wstring(s) + L">";
        return buf;
    }

    static std::vector<std::wstring> Subkeys(HKEY key) {
        std::vector<std::wstring> names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD chars = 256;
            LSTATUS s = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
            if (s != ERROR_SUCCESS) {
                EXPECT_EQ(s, ERROR_NO_MORE_ITEMS);
                break;
            }
            EXPECT_EQ(chars, wcslen(name));
            names.push_back(name);
        }
        return names;
    }

    std::string dir_;
};

TEST_F(RegistryTest, StoresAndReadsBackEachValueType) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Test");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetString(key, L"sz", L"hello"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"expand", L"%HOME%\\x", REG_EXPAND_SZ), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, L"dword", 0xDEADBEEF), ERROR_SUCCESS);
    const BYTE bin[] = {0, 1, 2, 0xFF, 0x80};
    ASSERT_EQ(RegSetValueExW(key, L"bin", 0, REG_BINARY, bin, sizeof bin), ERROR_SUCCESS);
    const WCHAR multi[] = L"one\0two\0";
    ASSERT_EQ(RegSetValueExW(key, L"multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi),
                             sizeof multi),
              ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    WCHAR text[64];
    size = sizeof text;
    ASSERT_EQ(RegQueryValueExW(key, L"sz", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6 * sizeof(WCHAR));
    EXPECT_STREQ(text, L"hello");

    size = sizeof text;
    ASSERT_EQ(
        RegQueryValueExW(key, L"expand", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(text, L"%HOME%\\x");  // stored as written; the reader expands

    DWORD dw = 0;
    size = sizeof dw;
    ASSERT_EQ(RegQueryValueExW(key, L"dword", nullptr, &type, reinterpret_cast<BYTE*>(&dw), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(dw, 0xDEADBEEFu);

    BYTE got[16];
    size = sizeof got;
    ASSERT_EQ(RegQueryValueExW(key, L"bin", nullptr, &type, got, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(size, sizeof bin);
    EXPECT_EQ(memcmp(got, bin, sizeof bin), 0);

    WCHAR mgot[16];
    size = sizeof mgot;
    ASSERT_EQ(RegQueryValueExW(key, L"multi", nullptr, &type, reinterpret_cast<BYTE*>(mgot), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    ASSERT_EQ(size, sizeof multi);
    EXPECT_EQ(memcmp(mgot, multi, sizeof multi), 0);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, NullBufferAsksForTheSize) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Sizes");
    ASSERT_EQ(SetString(key, L"name", L"abcdef"), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 7 * sizeof(WCHAR));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Only the type, and neither: both succeed for an existing value.
    EXPECT_EQ(RegQueryValueExW(key, L"name", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, L"name", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, SmallBufferGivesMoreDataWithTheRequiredSize) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Grow");
    std::wstring long_text(149, L'x');  // 150 WCHARs with the terminator: 600 bytes
    ASSERT_EQ(SetString(key, L"long", long_text), ERROR_SUCCESS);

    // Grow by 256 bytes while the answer is ERROR_MORE_DATA, as a careful reader does.
    std::vector<BYTE> buf(256);
    LSTATUS s;
    DWORD size;
    int rounds = 0;
    for (;;) {
        size = static_cast<DWORD>(buf.size());
        s = RegQueryValueExW(key, L"long", nullptr, nullptr, buf.data(), &size);
        if (s != ERROR_MORE_DATA) break;
        EXPECT_EQ(size, 600u);
        buf.resize(buf.size() + 256);
        ++rounds;
    }
    ASSERT_EQ(s, ERROR_SUCCESS);
    EXPECT_EQ(rounds, 2);
    EXPECT_EQ(buf.size(), 768u);
    EXPECT_EQ(size, 600u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const WCHAR*>(buf.data())), long_text);

    DWORD dw = 0;
    ASSERT_EQ(SetDword(key, L"n", 7), ERROR_SUCCESS);
    size = 2;
    EXPECT_EQ(RegQueryValueExW(key, L"n", nullptr, nullptr, reinterpret_cast<BYTE*>(&dw), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, MissingValuesAndKeysAreNotFound) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Present");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"absent", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    HKEY other = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Absent", 0, KEY_READ, &other),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(other, nullptr);
    // The default value of a key that has none.
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirSpelling) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\MixedCase\\Inner");
    ASSERT_EQ(SetString(key, L"ProgId", L"first"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"PROGID", L"second"), ERROR_SUCCESS);  // same value
    RegCloseKey(key);

    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\mixedcase\\INNER", 0, KEY_READ, &again),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(again, L"progid"), L"second");

    WCHAR name[64];
    DWORD chars = 64;
    ASSERT_EQ(RegEnumValueW(again, 0, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, L"ProgId");
    chars = 64;
    EXPECT_EQ(RegEnumValueW(again, 1, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(again);

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"software", 0, KEY_READ, &parent), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(parent), std::vector<std::wstring>{L"MixedCase"});
    RegCloseKey(parent);
}

TEST_F(RegistryTest, CreateReportsNewThenExisting) {
    DWORD disposition = 0;
    HKEY a = Create(HKEY_LOCAL_MACHINE, L"Software\\A\\B\\C", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    HKEY b = Create(HKEY_LOCAL_MACHINE, L"software\\a\\b\\c\\", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    // The intermediate keys were made too.
    HKEY mid = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\A\\B", 0, KEY_READ, &mid),
              ERROR_SUCCESS);
    HKEY bad = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &bad, nullptr),
              ERROR_BAD_PATHNAME);
    RegCloseKey(a);
    RegCloseKey(b);
    RegCloseKey(mid);
}

TEST_F(RegistryTest, EnumeratesSubkeysInNameOrderUntilNoMoreItems) {
    HKEY root = Create(HKEY_CURRENT_USER, L"Software\\Enum");
    for (const wchar_t* n : {L"Zeta", L"alpha", L"Beta", L"a-long-name-of-twenty"})
        RegCloseKey(Create(root, n));
    EXPECT_EQ(Subkeys(root),
              (std::vector<std::wstring>{L"a-long-name-of-twenty", L"alpha", L"Beta", L"Zeta"}));

    WCHAR small[8];
    DWORD chars = 8;
    EXPECT_EQ(RegEnumKeyExW(root, 0, small, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    FILETIME ft{};
    chars = 8;
    EXPECT_EQ(RegEnumKeyExW(root, 1, small, &chars, nullptr, nullptr, nullptr, &ft), ERROR_SUCCESS);
    EXPECT_STREQ(small, L"alpha");
    EXPECT_NE(ft.dwHighDateTime, 0u);
    chars = 8;
    EXPECT_EQ(RegEnumKeyExW(root, 4, small, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(root);
}

TEST_F(RegistryTest, EnumeratesValuesInTheOrderSetWithTheirData) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Values");
    ASSERT_EQ(SetDword(key, L"second", 2), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, L"first", L"one"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, L"second", 22), ERROR_SUCCESS);  // replacing keeps the place

    WCHAR name[32];
    DWORD chars = 32, type = 0, dw = 0, size = sizeof dw;
    ASSERT_EQ(
        RegEnumValueW(key, 0, name, &chars, nullptr, &type, reinterpret_cast<BYTE*>(&dw), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(name, L"second");
    EXPECT_EQ(chars, 6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(dw, 22u);

    BYTE tiny[4];
    chars = 32;
    size = sizeof tiny;
    EXPECT_EQ(RegEnumValueW(key, 1, name, &chars, nullptr, &type, tiny, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4 * sizeof(WCHAR));
    chars = 32;
    EXPECT_EQ(RegEnumValueW(key, 2, name, &chars, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, 259);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletesValuesAndOnlyLeafKeys) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Del\\Child");
    ASSERT_EQ(SetString(key, L"v", L"x"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetString(key, L"v"), L"<error 2>");

    HKEY sw = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &sw), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del"), ERROR_ACCESS_DENIED);  // it has a subkey
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del\\Child"), ERROR_FILE_NOT_FOUND);
    // A handle to the deleted key sees that it is gone.
    EXPECT_EQ(SetString(key, L"v", L"x"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyW(sw, L"Del"), ERROR_SUCCESS);
    EXPECT_EQ(Subkeys(sw), std::vector<std::wstring>{});
    RegCloseKey(key);
    RegCloseKey(sw);
}

TEST_F(RegistryTest, ClosingAPredefinedKeyDoesNothing) {
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), ERROR_SUCCESS);
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\StillThere");
    EXPECT_NE(key, nullptr);  // the root still works after being "closed"
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ReadOnlyHandleCannotWrite) {
    RegCloseKey(Create(HKEY_CURRENT_USER, L"Software\\RO"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\RO", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, L"x", 1), ERROR_ACCESS_DENIED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"x", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, StringSetWithoutTerminatorIsStoredWithOne) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\NoTerm");
    const WCHAR raw[3] = {L'a', L'b', L'c'};
    for (DWORD type : {REG_SZ, REG_EXPAND_SZ}) {
        ASSERT_EQ(RegSetValueExW(key, L"s", 0, type, (const BYTE*)raw, sizeof raw), ERROR_SUCCESS);
        DWORD size = sizeof raw;  // too small once the terminator is there
        EXPECT_EQ(RegQueryValueExW(key, L"s", nullptr, nullptr, (BYTE*)raw, &size),
                  ERROR_MORE_DATA);
        EXPECT_EQ(size, sizeof raw + sizeof(WCHAR));
        EXPECT_EQ(GetString(key, L"s"), L"abc");
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, TreesStopAt512LevelsMadeAtMost32AtATime) {
    std::wstring levels = L"k";
    for (int i = 1; i < 32; ++i) levels += L"\\k";
    HKEY key = nullptr, at = HKEY_CURRENT_USER;
    EXPECT_EQ(RegCreateKeyExW(at, (levels + L"\\k").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    for (int made = 0; made < 512; made += 32) ASSERT_NE(at = Create(at, levels.c_str()), nullptr);
    EXPECT_EQ(RegCreateKeyExW(at, L"k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(at, L"deepest", 512), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ClassesRootMergesUserOverMachine) {
    HKEY m = Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\App.Doc\\shell\\open\\command");
    ASSERT_EQ(SetString(m, nullptr, L"\"Z:\\machine\\app.exe\" \"%1\""), ERROR_SUCCESS);
    ASSERT_EQ(SetString(m, L"both", L"machine"), ERROR_SUCCESS);
    RegCloseKey(m);
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\MachineOnly"));
    HKEY u = Create(HKEY_CURRENT_USER, L"Software\\Classes\\App.Doc\\shell\\open\\command");
    ASSERT_EQ(SetString(u, L"both", L"user"), ERROR_SUCCESS);
    RegCloseKey(u);
    RegCloseKey(Create(HKEY_CURRENT_USER, L"Software\\Classes\\UserOnly"));

    HKEY cmd = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"app.doc\\shell\\open\\command", 0, KEY_READ, &cmd),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(cmd, L"both"), L"user");
    EXPECT_EQ(GetString(cmd, L""), L"\"Z:\\machine\\app.exe\" \"%1\"");  // only the machine's
    RegCloseKey(cmd);

    EXPECT_EQ(Subkeys(HKEY_CLASSES_ROOT),
              (std::vector<std::wstring>{L"App.Doc", L"MachineOnly", L"UserOnly"}));

    // A write lands where the key is: the user's copy when there is one.
    HKEY w = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"App.Doc\\shell\\open\\command", 0, KEY_ALL_ACCESS, &w),
        ERROR_SUCCESS);
    ASSERT_EQ(SetString(w, L"new", L"v"), ERROR_SUCCESS);
    RegCloseKey(w);
    HKEY check = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\App.Doc\\shell\\open\\command",
                            0, KEY_READ, &check),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(check, L"new"), L"v");
    RegCloseKey(check);

    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"MachineOnly", 0, KEY_ALL_ACCESS, &w),
              ERROR_SUCCESS);
    ASSERT_EQ(SetString(w, L"m", L"v"), ERROR_SUCCESS);
    RegCloseKey(w);
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\MachineOnly", 0, KEY_READ, &check),
        ERROR_SUCCESS);
    EXPECT_EQ(GetString(check, L"m"), L"v");
    RegCloseKey(check);
}

TEST_F(RegistryTest, ClassesRootCreatesUnderTheUserOnlyBesideTheUsersKeys) {
    RegCloseKey(Create(HKEY_CURRENT_USER, L"Software\\Classes\\Mine"));
    RegCloseKey(Create(HKEY_CLASSES_ROOT, L"mine\\shell"));   // parent is the user's
    RegCloseKey(Create(HKEY_CLASSES_ROOT, L"Fresh\\shell"));  // nothing of it yet

    HKEY check = nullptr;
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\Mine\\shell", 0, KEY_READ, &check),
        ERROR_SUCCESS);
    RegCloseKey(check);
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Fresh\\shell", 0, KEY_READ, &check),
        ERROR_SUCCESS);
    RegCloseKey(check);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\Fresh", 0, KEY_READ, &check),
              ERROR_FILE_NOT_FOUND);

    // Deleting through the merged view removes the copy it sees first.
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, nullptr, 0, KEY_ALL_ACCESS, &classes),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(classes, L"Fresh\\shell"), ERROR_SUCCESS);
    EXPECT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Fresh\\shell", 0, KEY_READ, &check),
        ERROR_FILE_NOT_FOUND);
    RegCloseKey(classes);
}

TEST_F(RegistryTest, ShellReadGivesTypeAndSizeAndExpandsStrings) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"Software\\Harlin\\Morsk");
    const std::string mid(64, 'a');
    ASSERT_EQ(SetString(key, L"mid", std::wstring(mid.begin(), mid.end())), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, L"EnableLUA", 0), ERROR_SUCCESS);
    setenv("REGTEST_EXPAND", "Z:\\expanded", 1);
    ASSERT_EQ(SetString(key, L"path", L"%REGTEST_EXPAND%\\bin", REG_EXPAND_SZ), ERROR_SUCCESS);
    RegCloseKey(key);

    char narrow[1024] = {};
    DWORD type = 0, size = sizeof narrow;
    ASSERT_EQ(
        SHGetValueA(HKEY_LOCAL_MACHINE, "Software\\Harlin\\Morsk", "mid", &type, narrow, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 65u);  // narrow characters with the terminator
    EXPECT_EQ(std::string(narrow), mid);

    DWORD lua = 1;
    size = sizeof lua;
    ASSERT_EQ(SHGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Harlin\\Morsk", L"EnableLUA", &type, &lua,
                          &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(lua, 0u);

    WCHAR path[64];
    size = sizeof path;
    ASSERT_EQ(
        SHGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Harlin\\Morsk", L"path", &type, path, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(path, L"Z:\\expanded\\bin");
    EXPECT_EQ(size, (wcslen(path) + 1) * sizeof(WCHAR));

    size = 4;
    EXPECT_EQ(
        SHGetValueA(HKEY_LOCAL_MACHINE, "Software\\Harlin\\Morsk", "mid", nullptr, narrow, &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 65u);
    EXPECT_EQ(
        SHGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Harlin\\Absent", L"mid", &type, path, &size),
        ERROR_FILE_NOT_FOUND);
}

// Runs fn in a child process; answers its exit status (fn's result).
template <class Fn>
int InChild(Fn fn) {
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RegistryTest, PersistsAcrossProcesses) {
    int rc = InChild([] {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return 1;
        return SetString(key, L"from", L"child") == ERROR_SUCCESS ? 0 : 2;
    });
    ASSERT_EQ(rc, 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Shared", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, L"from"), L"child");

    // And the other way: a change made here is seen by a new process.
    ASSERT_EQ(SetString(key, L"from", L"parent"), ERROR_SUCCESS);
    rc = InChild([] {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Shared", 0, KEY_READ, &k) != ERROR_SUCCESS)
            return 1;
        return GetString(k, L"from") == L"parent" ? 0 : 2;
    });
    EXPECT_EQ(rc, 0);
    RegCloseKey(key);
}

std::vector<BYTE> Payload(DWORD i) {
    std::vector<BYTE> data(2048);
    for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<BYTE>(i * 31 + k);
    return data;
}

// Starts a child that writes values "<round>.<i>" in a loop, kills it after it
// reported `writes` completed writes plus delay_us, and answers what it reported.
std::set<DWORD> WriteUntilKilled(int round, size_t writes, useconds_t delay_us) {
    int pipefd[2];
    EXPECT_EQ(pipe(pipefd), 0);
    pid_t pid = fork();
    if (pid == 0) {
        close(pipefd[0]);
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Crash", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            _exit(1);
        for (DWORD i = 0;; ++i) {
            std::wstring name = std::to_wstring(round) + L"." + std::to_wstring(i);
            auto data = Payload(i);
            if (RegSetValueExW(key, name.c_str(), 0, REG_BINARY, data.data(),
                               static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
                _exit(2);
            if (write(pipefd[1], &i, sizeof i) != sizeof i) _exit(3);
        }
    }
    close(pipefd[1]);
    std::set<DWORD> completed;
    DWORD i;
    while (completed.size() < writes && read(pipefd[0], &i, sizeof i) == sizeof i)
        completed.insert(i);
    usleep(delay_us);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own: " << status;
    while (read(pipefd[0], &i, sizeof i) == sizeof i) completed.insert(i);
    close(pipefd[0]);
    EXPECT_GE(completed.size(), writes);
    return completed;
}

TEST_F(RegistryTest, StoreSurvivesAWriterKilledMidWrite) {
    for (int round = 0; round < 8; ++round) {
        auto completed =
            WriteUntilKilled(round, 4 + round * 3, static_cast<useconds_t>(round * 150));

        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Crash", 0, KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS)
            << "round " << round;
        for (DWORD done : completed) {
            std::wstring name = std::to_wstring(round) + L"." + std::to_wstring(done);
            std::vector<BYTE> got(4096);
            DWORD size = static_cast<DWORD>(got.size());
            ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, got.data(), &size),
                      ERROR_SUCCESS)
                << "completed write " << done << " of round " << round << " was lost";
            got.resize(size);
            EXPECT_EQ(got, Payload(done));
        }
        // The store still takes writes after the crash, and they clear what it left.
        EXPECT_EQ(SetDword(key, L"after", static_cast<DWORD>(round)), ERROR_SUCCESS);
        RegCloseKey(key);
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << entry.path() << " left behind in round " << round;
        }
    }
}

TEST_F(RegistryTest, TwoWriterProcessesLoseNothing) {
    constexpr int kPerWriter = 25;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> pids;
    for (wchar_t tag : {L'a', L'b'}) {
        pid_t pid = fork();
        if (pid == 0) {
            close(go[1]);
            char c;
            if (read(go[0], &c, 1) != 0) _exit(4);  // released when the parent closes
            for (int i = 0; i < kPerWriter; ++i) {
                HKEY key = nullptr;
                if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Race", 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
                    _exit(1);
                std::wstring name = std::wstring(1, tag) + std::to_wstring(i);
                if (SetDword(key, name.c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS) _exit(2);
                RegCloseKey(key);
            }
            _exit(0);
        }
        pids.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);
    }

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Race", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    int count = 0;
    for (DWORD i = 0;; ++i) {
        WCHAR name[32];
        DWORD chars = 32;
        if (RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ++count;
    }
    EXPECT_EQ(count, 2 * kPerWriter);
    for (wchar_t tag : {L'a', L'b'}) {
        for (int i = 0; i < kPerWriter; ++i) {
            std::wstring name = std::wstring(1, tag) + std::to_wstring(i);
            DWORD v = 0xFFFF, size = sizeof v;
            EXPECT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&v), &size),
                      ERROR_SUCCESS)
                << "lost " << std::string(name.begin(), name.end());
            EXPECT_EQ(v, static_cast<DWORD>(i));
        }
    }
    RegCloseKey(key);
}

}  // namespace
