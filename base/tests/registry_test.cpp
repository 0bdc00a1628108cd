#include "base/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/folder_view.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using Names = std::vector<std::wstring>;

// Each test gets a registry of its own in a temporary folder.
class RegistryTest : public ::testing::Test {
protected:
    // A fresh key under HKEY_CURRENT_USER, held by reg.
    void CreateTestKey(CRegistry& reg) {
        reg.SetKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.Create(kKey, KEY_ALL_ACCESS));
    }
    void SetRaw(CRegistry& reg, const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(reg.GetKey(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    static constexpr const wchar_t* kKey = L"Software\\Kelto\\Downloader";
    testing_support::TempDir dir_;
    testing_support::ScopedEnv registry_dir_{"WIN32_REGISTRY_DIR", dir_.path()};
};

TEST_F(RegistryTest, WrittenValuesReadBackWholeThroughAnotherObject) {
    // 299 characters and the terminator fill 600 bytes: two growths past the first 256.
    std::wstring big(1 << 20, L'a');
    for (size_t i = 0; i < big.size(); i += 997) big[i] = L'0' + static_cast<wchar_t>(i % 10);
    const std::wstring texts[] = {L"D:\\游戏\\下载", std::wstring(299, L'x'),
                                  std::wstring(5000, L'长'), big};
    {
        CRegistry reg(HKEY_CURRENT_USER);
        ASSERT_TRUE(reg.Create(kKey, KEY_ALL_ACCESS));
        for (size_t i = 0; i < std::size(texts); ++i)
            EXPECT_TRUE(reg.WriteString(std::to_wstring(i).c_str(), texts[i].c_str()));
        EXPECT_TRUE(reg.WriteDword(L"Retries", 0xfeedbeef));
    }
    EXPECT_NE(testing_support::ListFolder(dir_.path()), "");  // the store is the test's own
    CRegistry reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.Open(kKey, KEY_READ));
    for (size_t i = 0; i < std::size(texts); ++i) {
        std::wstring out;
        EXPECT_TRUE(reg.ReadString(std::to_wstring(i).c_str(), out));
        EXPECT_TRUE(out == texts[i]) << i;
    }
    // Stored with its terminator, as a REG_SZ.
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(reg.GetKey(), L"0", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, (texts[0].size() + 1) * sizeof(WCHAR));
    DWORD number = 0;
    EXPECT_TRUE(reg.ReadDword(L"Retries", number));
    EXPECT_EQ(number, 0xfeedbeefu);
}

TEST_F(RegistryTest, RawValuesAreReadAsFarAsTheirDataGoes) {
    CRegistry reg;
    CreateTestKey(reg);
    const WCHAR unterminated[] = {L'a', L'b', L'c'};
    const BYTE half[] = {0x41, 0x00}, four[] = {1, 2, 3, 4};
    SetRaw(reg, L"Raw", REG_SZ, unterminated, sizeof(unterminated));
    SetRaw(reg, L"Short", REG_SZ, half, sizeof(half));  // less than a character: empty
    SetRaw(reg, L"Bin", REG_BINARY, four, sizeof(four));
    std::wstring out = L"previous";
    EXPECT_TRUE(reg.ReadString(L"Raw", out));
    EXPECT_EQ(out, L"abc");
    EXPECT_TRUE(reg.ReadString(L"Short", out));
    EXPECT_EQ(out, L"");
    DWORD number = 0;
    EXPECT_TRUE(reg.ReadDword(L"Bin", number));
    EXPECT_EQ(number, 0x04030201u);
}

TEST_F(RegistryTest, FailuresLeaveTheOutputsAndTheHeldKeyAlone) {
    CRegistry reg;
    CreateTestKey(reg);
    ASSERT_TRUE(reg.WriteDword(L"Here", 1));
    ASSERT_TRUE(reg.WriteString(L"Text", L"abc"));  // longer than four bytes
    std::wstring text = L"unchanged";
    DWORD number = 77;
    EXPECT_FALSE(reg.ReadString(L"Nothing", text));
    EXPECT_FALSE(reg.ReadDword(L"Nothing", number));
    EXPECT_FALSE(reg.ReadDword(L"Text", number));
    EXPECT_FALSE(reg.DeleteValue(L"Nothing"));
    EXPECT_EQ(text, L"unchanged");
    EXPECT_EQ(number, 77u);
    HKEY held = reg.GetKey();
    EXPECT_FALSE(reg.Open(L"No\\Such\\Key", KEY_READ));
    EXPECT_EQ(reg.GetKey(), held);
    EXPECT_TRUE(reg.ReadDword(L"Here", number));
    EXPECT_EQ(number, 1u);

    // Null names, and an object without a key, answer false to everything.
    CRegistry none(nullptr);
    for (CRegistry* r : {&reg, &none}) {
        const bool named = r == &none;
        const wchar_t* name = named ? L"v" : nullptr;
        EXPECT_FALSE(r->Open(named ? L"Software" : nullptr, KEY_READ));
        EXPECT_FALSE(r->Create(named ? L"Software\\X" : nullptr, KEY_ALL_ACCESS));
        EXPECT_FALSE(r->ReadString(name, text));
        EXPECT_FALSE(r->ReadDword(name, number));
        EXPECT_FALSE(r->WriteString(name, L"t"));
        EXPECT_FALSE(r->WriteDword(name, 1));
        EXPECT_FALSE(r->DeleteValue(name));
        EXPECT_FALSE(r->DeleteKey(HKEY_CURRENT_USER, named ? L"Software" : nullptr));
        EXPECT_FALSE(r->SaveKey(named ? dir_.winfile("never.reg").c_str() : nullptr));
        EXPECT_FALSE(r->RestoreKey(named ? dir_.winfile("never.reg").c_str() : nullptr));
    }
    EXPECT_FALSE(reg.WriteString(L"v", nullptr));
    Names names;
    none.EnumSubkeys(names);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(testing_support::Exists(dir_.file("never.reg")));
    EXPECT_EQ(text, L"unchanged");
    EXPECT_EQ(number, 1u);
    CRegistry check(HKEY_CURRENT_USER);  // nothing was created on the way
    EXPECT_FALSE(check.Open(L"Software\\X", KEY_READ));
}

TEST_F(RegistryTest, SubkeysAreListedAndKeysAndValuesDeleted) {
    {
        CRegistry reg;
        CreateTestKey(reg);
        for (const wchar_t* name : {L"Beta", L"Alpha", L"Gamma"}) {
            CRegistry child(reg.GetKey());  // holds the new key; the parent stays with reg
            ASSERT_TRUE(child.Create(name, KEY_ALL_ACCESS));
        }
        reg.WriteDword(L"Gone", 3);
        EXPECT_TRUE(reg.DeleteValue(L"Gone"));
        DWORD number = 0;
        EXPECT_FALSE(reg.ReadDword(L"Gone", number));
        Names names = {L"before"};
        reg.EnumSubkeys(names);
        std::sort(names.begin() + 1, names.end());
        EXPECT_EQ(names, (Names{L"before", L"Alpha", L"Beta", L"Gamma"}));
        EXPECT_TRUE(reg.DeleteKey(reg.GetKey(), L"Beta"));
        EXPECT_FALSE(reg.DeleteKey(reg.GetKey(), L"Beta"));
        names.clear();
        reg.EnumSubkeys(names);
        EXPECT_EQ(names.size(), 2u);
    }
    CRegistry reg(HKEY_CURRENT_USER), gone(HKEY_CURRENT_USER);
    EXPECT_TRUE(reg.Open(L"Software\\Kelto\\Downloader\\Alpha", KEY_READ));
    EXPECT_FALSE(gone.Open(L"Software\\Kelto\\Downloader\\Beta", KEY_READ));
    reg.Close();
    EXPECT_EQ(reg.GetKey(), nullptr);
}

TEST_F(RegistryTest, ASavedKeyRestoresOverAnotherButNeverOverAFileOrFromABrokenOne) {
    const std::wstring file = dir_.winfile("downloader.reg");
    {
        CRegistry reg;
        CreateTestKey(reg);
        ASSERT_TRUE(reg.WriteString(L"SavePath", L"D:\\游戏"));
        CRegistry child(reg.GetKey());
        ASSERT_TRUE(child.Create(L"Tasks\\1001", KEY_ALL_ACCESS));
        ASSERT_TRUE(child.WriteString(L"Name", L"Kelto"));
        EXPECT_TRUE(reg.SaveKey(file.c_str()));
        EXPECT_FALSE(reg.SaveKey(file.c_str()));  // the file is there
    }
    const std::string saved = testing_support::ReadAll(dir_.file("downloader.reg"));
    EXPECT_FALSE(saved.empty());

    CRegistry target(HKEY_CURRENT_USER);
    ASSERT_TRUE(target.Create(L"Software\\Kelto\\Restored", KEY_ALL_ACCESS));
    ASSERT_TRUE(target.WriteDword(L"Stale", 1));
    CRegistry stale(target.GetKey());
    ASSERT_TRUE(stale.Create(L"Old", KEY_ALL_ACCESS));
    ASSERT_TRUE(testing_support::WriteAll(dir_.file("broken.reg"), "not a saved key\n"));
    EXPECT_FALSE(target.RestoreKey(dir_.winfile("broken.reg").c_str()));
    EXPECT_FALSE(target.RestoreKey(dir_.winfile("missing.reg").c_str()));
    DWORD number = 0;
    EXPECT_TRUE(target.ReadDword(L"Stale", number));
    EXPECT_TRUE(target.RestoreKey(file.c_str()));
    EXPECT_EQ(testing_support::ReadAll(dir_.file("downloader.reg")), saved);

    std::wstring text;
    EXPECT_TRUE(target.ReadString(L"SavePath", text));
    EXPECT_EQ(text, L"D:\\游戏");
    EXPECT_FALSE(target.ReadDword(L"Stale", number));
    Names names;
    target.EnumSubkeys(names);
    EXPECT_EQ(names, Names{L"Tasks"});
    CRegistry task(HKEY_CURRENT_USER);
    ASSERT_TRUE(task.Open(L"Software\\Kelto\\Restored\\Tasks\\1001", KEY_READ));
    EXPECT_TRUE(task.ReadString(L"Name", text));
    EXPECT_EQ(text, L"Kelto");
}

}  // namespace
