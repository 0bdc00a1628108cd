#include "base/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Each test gets a registry of its own in a temporary folder.
class RegistryTest : public ::testing::Test {
protected:
    // A fresh key under HKEY_CURRENT_USER, held by reg.
    void CreateTestKey(CRegistry& reg) {
        reg.SetKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.Create(kKey, KEY_ALL_ACCESS));
    }

    static constexpr const wchar_t* kKey = L"Software\\Kelto\\Downloader";
    testing_support::TempDir folder_;
    const std::string dir_ = folder_.path();
    testing_support::ScopedEnv registry_dir_{"WIN32_REGISTRY_DIR", dir_};
};

// The Windows path (drive Z: is the Linux root) of a file in the test's folder.
std::wstring DrivePath(const fs::path& p) {
    std::wstring w = L"Z:";
    for (wchar_t c : p.wstring()) w += c == L'/' ? L'\\' : c;
    return w;
}

TEST_F(RegistryTest, WrittenValuesReadBackThroughAnotherObject) {
    {
        CRegistry reg(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.Create(kKey, KEY_ALL_ACCESS));
        EXPECT_TRUE(reg.WriteString(L"SavePath", L"D:\\游戏\\下载"));
        EXPECT_TRUE(reg.WriteDword(L"Retries", 0xfeedbeef));
    }
    // The store lives in the test's folder, not in the user's registry.
    EXPECT_TRUE(fs::exists(dir_) && !fs::is_empty(dir_));

    CRegistry reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.Open(kKey, KEY_READ));
    std::wstring text;
    DWORD number = 0;
    EXPECT_TRUE(reg.ReadString(L"SavePath", text));
    EXPECT_EQ(text, L"D:\\游戏\\下载");
    EXPECT_TRUE(reg.ReadDword(L"Retries", number));
    EXPECT_EQ(number, 0xfeedbeefu);
}

TEST_F(RegistryTest, WriteStringStoresEveryCharacterAndTheTerminator) {
    CRegistry reg;
    CreateTestKey(reg);
    const std::wstring text = L"C:\\Program Files\\kelto\\game.exe --silent";
    ASSERT_TRUE(reg.WriteString(L"Command", text.c_str()));

    DWORD type = 0;
    WCHAR data[128] = {};
    DWORD size = sizeof(data);
    ASSERT_EQ(RegQueryValueExW(reg.GetKey(), L"Command", nullptr, &type,
                               reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (text.size() + 1) * sizeof(WCHAR));
    EXPECT_EQ(std::wstring(data), text);
}

TEST_F(RegistryTest, LongValuesAreReadWholeAsTheBufferGrows) {
    CRegistry reg;
    CreateTestKey(reg);
    // 149 characters and the terminator fill 600 bytes: two growths past the first 256.
    const std::wstring six_hundred(600 / sizeof(WCHAR) - 1, L'x');
    const std::wstring long_text(5000, L'长');
    ASSERT_TRUE(reg.WriteString(L"Medium", six_hundred.c_str()));
    ASSERT_TRUE(reg.WriteString(L"Long", long_text.c_str()));

    std::wstring out;
    EXPECT_TRUE(reg.ReadString(L"Medium", out));
    EXPECT_EQ(out, six_hundred);
    EXPECT_TRUE(reg.ReadString(L"Long", out));
    EXPECT_EQ(out, long_text);
}

TEST_F(RegistryTest, AValueOfSeveralMegabytesIsReadWhole) {
    CRegistry reg;
    CreateTestKey(reg);
    std::wstring big(1 << 20, L'a');
    for (size_t i = 0; i < big.size(); i += 997) big[i] = L'0' + static_cast<wchar_t>(i % 10);
    ASSERT_TRUE(reg.WriteString(L"Big", big.c_str()));
    std::wstring out;
    EXPECT_TRUE(reg.ReadString(L"Big", out));
    EXPECT_EQ(out.size(), big.size());
    EXPECT_TRUE(out == big);
}

TEST_F(RegistryTest, AValueWithoutATerminatorIsReadOnlyAsFarAsItsData) {
    CRegistry reg;
    CreateTestKey(reg);
    const WCHAR unterminated[] = {L'a', L'b', L'c'};
    ASSERT_EQ(RegSetValueExW(reg.GetKey(), L"Raw", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(unterminated), sizeof(unterminated)),
              ERROR_SUCCESS);
    std::wstring out = L"previous";
    EXPECT_TRUE(reg.ReadString(L"Raw", out));
    EXPECT_EQ(out, L"abc");

    // Less than one character of data reads as empty text.
    const BYTE two[] = {0x41, 0x00};
    ASSERT_EQ(RegSetValueExW(reg.GetKey(), L"Short", 0, REG_SZ, two, sizeof(two)), ERROR_SUCCESS);
    EXPECT_TRUE(reg.ReadString(L"Short", out));
    EXPECT_EQ(out, L"");
}

TEST_F(RegistryTest, MissingValuesAnswerFalseAndLeaveTheOutputsAlone) {
    CRegistry reg;
    CreateTestKey(reg);
    std::wstring text = L"unchanged";
    DWORD number = 77;
    EXPECT_FALSE(reg.ReadString(L"Nothing", text));
    EXPECT_FALSE(reg.ReadDword(L"Nothing", number));
    EXPECT_EQ(text, L"unchanged");
    EXPECT_EQ(number, 77u);
    EXPECT_FALSE(reg.DeleteValue(L"Nothing"));
}

TEST_F(RegistryTest, ReadDwordTakesFourBytesOfAnyType) {
    CRegistry reg;
    CreateTestKey(reg);
    const BYTE four[] = {1, 2, 3, 4};
    ASSERT_EQ(RegSetValueExW(reg.GetKey(), L"Bin", 0, REG_BINARY, four, sizeof(four)),
              ERROR_SUCCESS);
    DWORD number = 0;
    EXPECT_TRUE(reg.ReadDword(L"Bin", number));
    EXPECT_EQ(number, 0x04030201u);

    // A longer value does not fit in four bytes.
    ASSERT_TRUE(reg.WriteString(L"Text", L"abc"));
    number = 5;
    EXPECT_FALSE(reg.ReadDword(L"Text", number));
    EXPECT_EQ(number, 5u);
}

TEST_F(RegistryTest, OpeningAMissingSubkeyKeepsTheHeldKey) {
    CRegistry reg;
    CreateTestKey(reg);
    ASSERT_TRUE(reg.WriteDword(L"Here", 1));
    HKEY held = reg.GetKey();
    EXPECT_FALSE(reg.Open(L"No\\Such\\Key", KEY_READ));
    EXPECT_EQ(reg.GetKey(), held);
    DWORD number = 0;
    EXPECT_TRUE(reg.ReadDword(L"Here", number));
    EXPECT_EQ(number, 1u);
}

TEST_F(RegistryTest, AnObjectWithoutAKeyAnswersFalseToEverything) {
    CRegistry reg(nullptr);
    std::wstring text = L"kept";
    DWORD number = 9;
    std::vector<std::wstring> names;
    EXPECT_FALSE(reg.Open(L"Software", KEY_READ));
    EXPECT_FALSE(reg.Create(L"Software\\X", KEY_ALL_ACCESS));
    EXPECT_FALSE(reg.ReadString(L"v", text));
    EXPECT_FALSE(reg.ReadDword(L"v", number));
    EXPECT_FALSE(reg.WriteString(L"v", L"t"));
    EXPECT_FALSE(reg.WriteDword(L"v", 1));
    EXPECT_FALSE(reg.DeleteValue(L"v"));
    EXPECT_FALSE(reg.DeleteKey(HKEY_CURRENT_USER, L"Software"));
    const fs::path file = fs::path(dir_) / "never-written.reg";
    EXPECT_FALSE(reg.SaveKey(DrivePath(file).c_str()));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(reg.RestoreKey(DrivePath(file).c_str()));
    reg.EnumSubkeys(names);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(text, L"kept");
    EXPECT_EQ(number, 9u);
    reg.Close();
    EXPECT_EQ(reg.GetKey(), nullptr);
    // Nothing was created on the way.
    CRegistry check(HKEY_CURRENT_USER);
    EXPECT_FALSE(check.Open(L"Software\\X", KEY_READ));
}

TEST_F(RegistryTest, NullNamesAnswerFalse) {
    CRegistry reg;
    CreateTestKey(reg);
    std::wstring text;
    DWORD number = 0;
    EXPECT_FALSE(reg.Open(nullptr, KEY_READ));
    EXPECT_FALSE(reg.Create(nullptr, KEY_ALL_ACCESS));
    EXPECT_FALSE(reg.ReadString(nullptr, text));
    EXPECT_FALSE(reg.ReadDword(nullptr, number));
    EXPECT_FALSE(reg.WriteString(nullptr, L"t"));
    EXPECT_FALSE(reg.WriteString(L"v", nullptr));
    EXPECT_FALSE(reg.WriteDword(nullptr, 1));
    EXPECT_FALSE(reg.DeleteValue(nullptr));
    EXPECT_FALSE(reg.DeleteKey(HKEY_CURRENT_USER, nullptr));
    EXPECT_FALSE(reg.SaveKey(nullptr));
    EXPECT_FALSE(reg.RestoreKey(nullptr));
}

TEST_F(RegistryTest, SubkeysAreListedAndKeysAndValuesDeleted) {
    {
        CRegistry reg;
        CreateTestKey(reg);
        for (const wchar_t* name : {L"Beta", L"Alpha", L"Gamma"}) {
            CRegistry child(reg.GetKey());
            ASSERT_TRUE(child.Create(name, KEY_ALL_ACCESS));
            // child now holds the new key; the parent stays with reg.
        }
        reg.WriteDword(L"Gone", 3);
        EXPECT_TRUE(reg.DeleteValue(L"Gone"));
        DWORD number = 0;
        EXPECT_FALSE(reg.ReadDword(L"Gone", number));

        std::vector<std::wstring> names = {L"before"};
        reg.EnumSubkeys(names);
        ASSERT_EQ(names.size(), 4u);
        EXPECT_EQ(names[0], L"before");
        std::sort(names.begin() + 1, names.end());
        EXPECT_EQ(names, (std::vector<std::wstring>{L"before", L"Alpha", L"Beta", L"Gamma"}));

        EXPECT_TRUE(reg.DeleteKey(reg.GetKey(), L"Beta"));
        EXPECT_FALSE(reg.DeleteKey(reg.GetKey(), L"Beta"));
        names.clear();
        reg.EnumSubkeys(names);
        EXPECT_EQ(names.size(), 2u);
    }
    CRegistry reg(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.Open(L"Software\\Kelto\\Downloader\\Alpha", KEY_READ));
    CRegistry gone(HKEY_CURRENT_USER);
    EXPECT_FALSE(gone.Open(L"Software\\Kelto\\Downloader\\Beta", KEY_READ));
}

TEST_F(RegistryTest, SavedKeyRestoresOverAnotherKey) {
    const std::wstring file = DrivePath(fs::path(dir_) / "downloader.reg");
    {
        CRegistry reg;
        CreateTestKey(reg);
        ASSERT_TRUE(reg.WriteString(L"SavePath", L"D:\\游戏"));
        ASSERT_TRUE(reg.WriteDword(L"Retries", 3));
        CRegistry child(reg.GetKey());
        ASSERT_TRUE(child.Create(L"Tasks\\1001", KEY_ALL_ACCESS));
        ASSERT_TRUE(child.WriteString(L"Name", L"Kelto"));
        EXPECT_TRUE(reg.SaveKey(file.c_str()));
    }
    EXPECT_TRUE(fs::is_regular_file(fs::path(dir_) / "downloader.reg"));

    CRegistry target(HKEY_CURRENT_USER);
    ASSERT_TRUE(target.Create(L"Software\\Kelto\\Restored", KEY_ALL_ACCESS));
    ASSERT_TRUE(target.WriteDword(L"Stale", 1));
    CRegistry stale(target.GetKey());
    ASSERT_TRUE(stale.Create(L"Old", KEY_ALL_ACCESS));
    EXPECT_TRUE(target.RestoreKey(file.c_str()));

    std::wstring text;
    DWORD number = 0;
    EXPECT_TRUE(target.ReadString(L"SavePath", text));
    EXPECT_EQ(text, L"D:\\游戏");
    EXPECT_TRUE(target.ReadDword(L"Retries", number));
    EXPECT_EQ(number, 3u);
    EXPECT_FALSE(target.ReadDword(L"Stale", number));
    std::vector<std::wstring> names;
    target.EnumSubkeys(names);
    EXPECT_EQ(names, std::vector<std::wstring>{L"Tasks"});
    CRegistry task(HKEY_CURRENT_USER);
    ASSERT_TRUE(task.Open(L"Software\\Kelto\\Restored\\Tasks\\1001", KEY_READ));
    EXPECT_TRUE(task.ReadString(L"Name", text));
    EXPECT_EQ(text, L"Kelto");
}

TEST_F(RegistryTest, SaveKeyRefusesAnExistingFileAndRestoreKeyABrokenOne) {
    CRegistry reg;
    CreateTestKey(reg);
    ASSERT_TRUE(reg.WriteDword(L"Retries", 3));
    const fs::path file = fs::path(dir_) / "taken.reg";
    {
        std::ofstream out(file, std::ios::binary);
        out << "not a saved key\n";
    }
    EXPECT_FALSE(reg.SaveKey(DrivePath(file).c_str()));
    EXPECT_EQ(fs::file_size(file), std::string("not a saved key\n").size());

    EXPECT_FALSE(reg.RestoreKey(DrivePath(file).c_str()));
    DWORD number = 0;
    EXPECT_TRUE(reg.ReadDword(L"Retries", number));
    EXPECT_EQ(number, 3u);
    EXPECT_FALSE(reg.RestoreKey(DrivePath(fs::path(dir_) / "missing.reg").c_str()));
}

}  // namespace
