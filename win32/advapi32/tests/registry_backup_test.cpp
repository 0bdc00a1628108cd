// Saving a key's subtree to a file and restoring it over a key.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct StoredValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const StoredValue&) const = default;
};

// A subtree as enumeration shows it: each key's path (relative to the top) with its
// values in enumeration order.
using Dump = std::map<std::wstring, std::vector<std::pair<std::wstring, StoredValue>>>;

class RegistryBackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = fs::temp_directory_path() / "regbackup.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        fs::create_directory(dir_ / "registry");
        fs::create_directory(dir_ / "files");
        setenv("WIN32_REGISTRY_DIR", (dir_ / "registry").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("WIN32_REGISTRY_DIR");
        fs::remove_all(dir_);
    }

    // The Windows path (drive Z: is the Linux root) of a file in the test's folder.
    std::wstring WinPath(const std::string& name) const {
        std::wstring w = L"Z:";
        for (wchar_t c : (dir_ / "files" / name).wstring()) w += c == L'/' ? L'\\' : c;
        return w;
    }
    fs::path FilePath(const std::string& name) const { return dir_ / "files" / name; }

    static HKEY Create(HKEY root, const wchar_t* path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    static void Set(HKEY key, const wchar_t* name, DWORD type, const void* data, size_t size) {
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data),
                                 static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    static void SetText(HKEY key, const wchar_t* name, const std::wstring& text,
                        DWORD type = REG_SZ) {
        Set(key, name, type, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    }
    static void SetDword(HKEY key, const wchar_t* name, DWORD v) {
        Set(key, name, REG_DWORD, &v, sizeof v);
    }

    static void DumpInto(HKEY key, const std::wstring& path, Dump* out) {
        auto& values = (*out)[path];
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD chars = 256, type = 0, size = 0;
            LSTATUS s = RegEnumValueW(key, i, name, &chars, nullptr, &type, nullptr, &size);
            if (s == ERROR_NO_MORE_ITEMS) break;
            ASSERT_EQ(s, ERROR_SUCCESS);
            std::vector<BYTE> data(size);
            chars = 256;
            ASSERT_EQ(RegEnumValueW(key, i, name, &chars, nullptr, &type, data.data(), &size),
                      ERROR_SUCCESS);
            data.resize(size);
            values.emplace_back(std::wstring(name, chars), StoredValue{type, data});
        }
        std::vector<std::wstring> subkeys;
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD chars = 256;
            LSTATUS s = RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
            if (s == ERROR_NO_MORE_ITEMS) break;
            ASSERT_EQ(s, ERROR_SUCCESS);
            subkeys.emplace_back(name, chars);
        }
        for (auto& name : subkeys) {
            HKEY sub = nullptr;
            ASSERT_EQ(RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &sub), ERROR_SUCCESS);
            DumpInto(sub, path + L"\\" + name, out);
            RegCloseKey(sub);
        }
    }
    static Dump DumpOf(HKEY key) {
        Dump d;
        DumpInto(key, L"", &d);
        return d;
    }

    static std::string ReadAll(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // A subtree with a value of every type and keys three levels deep.
    static void FillSource(HKEY src) {
        SetText(src, L"", L"default text");
        SetText(src, L"Name", L"引号 \" 反斜杠 \\ 换行 \n 完");
        SetText(src, L"Path", L"%TEMP%\\kelto", REG_EXPAND_SZ);
        const wchar_t multi[] = L"one\0two\0\0";
        Set(src, L"List", REG_MULTI_SZ, multi, sizeof multi);
        const BYTE bytes[] = {0x00, 0xff, 0x10, 0x7f, 0x80};
        Set(src, L"Blob", REG_BINARY, bytes, sizeof bytes);
        SetDword(src, L"Count", 0xfeedbeef);
        const BYTE big[] = {0x12, 0x34, 0x56, 0x78};
        Set(src, L"Big", REG_DWORD_BIG_ENDIAN, big, sizeof big);
        const ULONGLONG q = 0x0123456789abcdefull;
        Set(src, L"Quad", REG_QWORD, &q, sizeof q);
        SetText(src, L"Link", L"\\Registry\\Machine\\Software", REG_LINK);
        Set(src, L"Nothing", REG_NONE, nullptr, 0);
        const BYTE odd[] = {'a', 0, 0};  // a string of a size no character fits
        Set(src, L"Odd", REG_SZ, odd, sizeof odd);
        Set(src, L"Empty", REG_SZ, nullptr, 0);

        HKEY a = Create(src, L"Alpha\\Beta\\Gamma");
        SetDword(a, L"Deep", 3);
        RegCloseKey(a);
        HKEY b = Create(src, L"Delta");
        SetText(b, L"Greek", L"δέλτα");
        RegCloseKey(b);
        HKEY e = Create(src, L"Alpha\\Epsilon");
        RegCloseKey(e);
    }

    fs::path dir_;
};

TEST_F(RegistryBackupTest, RoundTripKeepsEveryValueTypeAndTheWholeSubtree) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    FillSource(src);
    const std::wstring file = WinPath("source.reg");
    ASSERT_EQ(RegSaveKeyW(src, file.c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_regular_file(FilePath("source.reg")));

    HKEY dst = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Copy");
    ASSERT_EQ(RegRestoreKeyW(dst, file.c_str(), REG_FORCE_RESTORE), ERROR_SUCCESS);

    const Dump expected = DumpOf(src);
    ASSERT_EQ(expected.size(), 6u);  // the key itself and five subkeys
    EXPECT_EQ(expected.at(L"").size(), 12u);
    EXPECT_EQ(DumpOf(dst), expected);

    // The restored data is in the store, not only in this process.
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kelto\\Copy\\Alpha\\Beta\\Gamma", 0,
                            KEY_READ, &again),
              ERROR_SUCCESS);
    DWORD deep = 0, size = sizeof deep;
    EXPECT_EQ(
        RegQueryValueExW(again, L"Deep", nullptr, nullptr, reinterpret_cast<BYTE*>(&deep), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(deep, 3u);
    RegCloseKey(again);
    RegCloseKey(dst);
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, SaveLeavesOnlyTheFinishedFileInItsFolder) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    FillSource(src);
    ASSERT_EQ(RegSaveKeyW(src, WinPath("only.reg").c_str(), nullptr), ERROR_SUCCESS);
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(dir_ / "files"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"only.reg"});
    EXPECT_GT(fs::file_size(FilePath("only.reg")), 0u);
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, SaveRefusesAnExistingFileAndLeavesItAlone) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    SetDword(src, L"Count", 1);
    {
        std::ofstream out(FilePath("taken.reg"), std::ios::binary);
        out << "someone else's file";
    }
    EXPECT_EQ(RegSaveKeyW(src, WinPath("taken.reg").c_str(), nullptr), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(FilePath("taken.reg")), "someone else's file");

    // A second save to a name the first one used is refused the same way.
    ASSERT_EQ(RegSaveKeyW(src, WinPath("first.reg").c_str(), nullptr), ERROR_SUCCESS);
    const std::string first = ReadAll(FilePath("first.reg"));
    SetDword(src, L"Count", 2);
    EXPECT_EQ(RegSaveKeyW(src, WinPath("first.reg").c_str(), nullptr), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadAll(FilePath("first.reg")), first);
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, RestoreReplacesAllOtherContentOfTheKey) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    SetText(src, L"Kept", L"from the file");
    HKEY shared = Create(src, L"Shared");
    SetDword(shared, L"FromFile", 7);
    RegCloseKey(shared);
    ASSERT_EQ(RegSaveKeyW(src, WinPath("source.reg").c_str(), nullptr), ERROR_SUCCESS);

    HKEY dst = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Target");
    SetText(dst, L"Kept", L"old text");
    SetDword(dst, L"Extra", 1);
    HKEY old_shared = Create(dst, L"shared\\Inner");
    SetDword(old_shared, L"Old", 1);
    RegCloseKey(old_shared);
    HKEY gone = Create(dst, L"Gone\\Deeper");
    HKEY sibling = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Sibling");
    SetDword(sibling, L"Untouched", 9);

    ASSERT_EQ(RegRestoreKeyW(dst, WinPath("source.reg").c_str(), REG_FORCE_RESTORE), ERROR_SUCCESS);
    EXPECT_EQ(DumpOf(dst), DumpOf(src));

    // A handle into a replaced part of the tree sees its key gone.
    DWORD v = 0, size = sizeof v;
    EXPECT_EQ(RegQueryValueExW(gone, L"", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size),
              ERROR_KEY_DELETED);
    // The key's neighbours keep their content.
    size = sizeof v;
    EXPECT_EQ(RegQueryValueExW(sibling, L"Untouched", nullptr, nullptr, reinterpret_cast<BYTE*>(&v),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(v, 9u);
    RegCloseKey(sibling);
    RegCloseKey(gone);
    RegCloseKey(dst);
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, RestoreAcceptsTheFlagsOfAnOrdinaryRestore) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    SetDword(src, L"Count", 5);
    ASSERT_EQ(RegSaveKeyW(src, WinPath("source.reg").c_str(), nullptr), ERROR_SUCCESS);
    for (DWORD flags : {DWORD{0}, DWORD{REG_WHOLE_HIVE_VOLATILE}, DWORD{REG_FORCE_RESTORE}}) {
        HKEY dst = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Target");
        SetDword(dst, L"Count", 0);
        ASSERT_EQ(RegRestoreKeyW(dst, WinPath("source.reg").c_str(), flags), ERROR_SUCCESS)
            << "flags " << flags;
        EXPECT_EQ(DumpOf(dst), DumpOf(src)) << "flags " << flags;
        RegCloseKey(dst);
    }
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, CorruptFileFailsAndChangesNothing) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    FillSource(src);
    ASSERT_EQ(RegSaveKeyW(src, WinPath("good.reg").c_str(), nullptr), ERROR_SUCCESS);
    const std::string good = ReadAll(FilePath("good.reg"));

    HKEY dst = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Target");
    SetText(dst, L"Mine", L"still here");
    HKEY child = Create(dst, L"Child");
    RegCloseKey(child);
    const Dump before = DumpOf(dst);

    const std::map<std::string, std::string> broken = {
        {"empty.reg", ""},
        {"garbage.reg", "PK\x03\x04 not a registry at all\n"},
        {"truncated.reg", good.substr(0, good.size() / 2)},
        {"no-end.reg", good.substr(0, good.rfind("end\n"))},
        {"bad-line.reg", good.substr(0, good.size() - 4) + "value oops\nend\n"},
    };
    for (auto& [name, text] : broken) {
        {
            std::ofstream out(FilePath(name), std::ios::binary);
            out << text;
        }
        EXPECT_EQ(RegRestoreKeyW(dst, WinPath(name).c_str(), REG_FORCE_RESTORE),
                  ERROR_REGISTRY_CORRUPT)
            << name;
        EXPECT_EQ(DumpOf(dst), before) << name;
    }
    RegCloseKey(dst);
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, MissingFilesAndFoldersAreReported) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    EXPECT_EQ(RegRestoreKeyW(key, WinPath("absent.reg").c_str(), 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSaveKeyW(key, WinPath("no-such-folder\\out.reg").c_str(), nullptr),
              ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(fs::exists(FilePath("no-such-folder")));
    EXPECT_EQ(RegSaveKeyW(key, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegRestoreKeyW(key, nullptr, 0), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryBackupTest, SaveToAWriteProtectedDriveIsRefused) {
    HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    SetDword(key, L"Count", 1);
    const std::string drives = "Z=/;W=" + (dir_ / "files").string() + ":ro";
    setenv("WIN32_DRIVES", drives.c_str(), 1);
    EXPECT_EQ(RegSaveKeyW(key, L"W:\\saved.reg", nullptr), ERROR_ACCESS_DENIED);
    unsetenv("WIN32_DRIVES");
    EXPECT_FALSE(fs::exists(FilePath("saved.reg")));
    RegCloseKey(key);
}

TEST_F(RegistryBackupTest, DeletedKeysAndBadHandlesAreRefused) {
    HKEY src = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Source");
    SetDword(src, L"Count", 1);
    ASSERT_EQ(RegSaveKeyW(src, WinPath("source.reg").c_str(), nullptr), ERROR_SUCCESS);

    HKEY doomed = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Doomed");
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Kelto\\Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(RegSaveKeyW(doomed, WinPath("doomed.reg").c_str(), nullptr), ERROR_KEY_DELETED);
    EXPECT_FALSE(fs::exists(FilePath("doomed.reg")));
    EXPECT_EQ(RegRestoreKeyW(doomed, WinPath("source.reg").c_str(), 0), ERROR_KEY_DELETED);
    HKEY reopened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Kelto\\Doomed", 0, KEY_READ, &reopened),
              ERROR_FILE_NOT_FOUND);

    RegCloseKey(doomed);  // its handle value is no key any more
    EXPECT_EQ(RegSaveKeyW(doomed, WinPath("closed.reg").c_str(), nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegRestoreKeyW(doomed, WinPath("source.reg").c_str(), 0), ERROR_INVALID_HANDLE);
    RegCloseKey(src);
}

TEST_F(RegistryBackupTest, ClassesRootSavesTheMergedView) {
    HKEY machine = Create(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.kelto");
    SetText(machine, L"", L"machine default");
    SetText(machine, L"Content Type", L"application/x-kelto");
    HKEY machine_sub = Create(machine, L"OpenWithList");
    RegCloseKey(machine_sub);
    HKEY user = Create(HKEY_CURRENT_USER, L"Software\\Classes\\.kelto");
    SetText(user, L"", L"user default");
    HKEY user_sub = Create(user, L"ShellNew");
    RegCloseKey(user_sub);

    HKEY merged = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".kelto", 0, KEY_READ, &merged), ERROR_SUCCESS);
    ASSERT_EQ(RegSaveKeyW(merged, WinPath("classes.reg").c_str(), nullptr), ERROR_SUCCESS);
    HKEY copy = Create(HKEY_CURRENT_USER, L"Software\\Kelto\\Copy");
    ASSERT_EQ(RegRestoreKeyW(copy, WinPath("classes.reg").c_str(), REG_FORCE_RESTORE),
              ERROR_SUCCESS);

    const Dump d = DumpOf(copy);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_TRUE(d.count(L"\\OpenWithList"));
    EXPECT_TRUE(d.count(L"\\ShellNew"));
    const auto& values = d.at(L"");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].first, L"");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(values[0].second.data.data())),
              L"user default");
    EXPECT_EQ(values[1].first, L"Content Type");
    RegCloseKey(copy);
    RegCloseKey(merged);
    RegCloseKey(user);
    RegCloseKey(machine);
}

}  // namespace
