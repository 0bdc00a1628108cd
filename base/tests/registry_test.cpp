#include "base/registry.h"

#include "support/base_test.h"

namespace {

using Names = std::vector<std::wstring>;
const wchar_t kKey[] = L"Software\\Kelto\\Downloader";

// Each test gets a registry of its own; reg_ holds a fresh key under HKEY_CURRENT_USER.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(reg_.Create(kKey, KEY_ALL_ACCESS)); }
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(
            RegSetValueExW(reg_.GetKey(), name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
    }
    static Names Subkeys(CRegistry& reg, Names names = {}) {
        reg.EnumSubkeys(names);
        return names;
    }

    base_test::PrivateRegistry store_;
    CRegistry reg_{HKEY_CURRENT_USER};
};

// A text without a terminator is read whole, less than a character is empty, and four
// bytes of any type are a number.
TEST_F(RegistryTest, ValuesReadBackWholeThroughAnotherObjectAsFarAsTheirDataGoes) {
    // 299 characters and the terminator fill 600 bytes: two growths past the first 256.
    std::wstring big(1 << 20, L'a');
    for (size_t i = 0; i < big.size(); i += 997) big[i] = L'0' + static_cast<wchar_t>(i % 10);
    const std::wstring texts[] = {L"D:\\游戏\\下载", std::wstring(299, L'x'),
                                  std::wstring(5000, L'长'), big};
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_TRUE(reg_.WriteString(std::to_wstring(i).c_str(), texts[i].c_str()));
    EXPECT_TRUE(reg_.WriteDword(L"Retries", 0xfeedbeef));
    const WCHAR unterminated[] = {L'a', L'b', L'c'};
    const BYTE half[] = {0x41, 0x00}, four[] = {1, 2, 3, 4};
    SetRaw(L"Raw", REG_SZ, unterminated, sizeof(unterminated));
    SetRaw(L"Short", REG_SZ, half, sizeof(half));
    SetRaw(L"Bin", REG_BINARY, four, sizeof(four));
    reg_.Close();
    EXPECT_NE(ListFolder(store_.dir.path()), "");  // the store is the test's own
    CRegistry reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.Open(kKey, KEY_READ));
    for (size_t i = 0; i < std::size(texts); ++i) {
        std::wstring out;
        EXPECT_TRUE(reg.ReadString(std::to_wstring(i).c_str(), out));
        EXPECT_TRUE(out == texts[i]) << i;
    }
    DWORD type = 0, size = 0, number = 0, bin = 0;  // stored with its terminator, as a REG_SZ
    ASSERT_EQ(RegQueryValueExW(reg.GetKey(), L"0", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::make_pair(type, size),
              std::make_pair(DWORD(REG_SZ), DWORD((texts[0].size() + 1) * sizeof(WCHAR))));
    EXPECT_TRUE(reg.ReadDword(L"Retries", number) && reg.ReadDword(L"Bin", bin));
    EXPECT_EQ(std::vector<DWORD>({number, bin}), std::vector<DWORD>({0xfeedbeefu, 0x04030201u}));
    std::wstring raw = L"previous", part = L"previous";
    EXPECT_TRUE(reg.ReadString(L"Raw", raw) && reg.ReadString(L"Short", part));
    EXPECT_EQ(raw + L"|" + part, L"abc|");
}

TEST_F(RegistryTest, FailuresLeaveTheOutputsAndTheHeldKeyAlone) {
    ASSERT_TRUE(reg_.WriteDword(L"Here", 1) && reg_.WriteString(L"Text", L"abc"));  // > 4 bytes
    std::wstring text = L"unchanged";
    DWORD number = 77;
    EXPECT_FALSE(reg_.ReadString(L"Nothing", text) || reg_.ReadDword(L"Nothing", number) ||
                 reg_.ReadDword(L"Text", number) || reg_.DeleteValue(L"Nothing"));
    EXPECT_EQ(text + L"|" + std::to_wstring(number), L"unchanged|77");
    HKEY held = reg_.GetKey();
    EXPECT_FALSE(reg_.Open(L"No\\Such\\Key", KEY_READ));
    EXPECT_EQ(reg_.GetKey(), held);
    EXPECT_TRUE(reg_.ReadDword(L"Here", number) && number == 1);

    // Null names, and an object without a key, answer false to everything.
    CRegistry none(nullptr);
    const std::wstring never = store_.dir.winfile("never.reg");
    for (CRegistry* r : {&reg_, &none}) {
        const bool named = r == &none;
        const wchar_t* name = named ? L"v" : nullptr;
        EXPECT_FALSE(r->Open(named ? L"Software" : nullptr, KEY_READ));
        EXPECT_FALSE(r->Create(named ? L"Software\\X" : nullptr, KEY_ALL_ACCESS));
        EXPECT_FALSE(r->ReadString(name, text) || r->ReadDword(name, number));
        EXPECT_FALSE(r->WriteString(name, L"t") || r->WriteDword(name, 1) || r->DeleteValue(name));
        EXPECT_FALSE(r->DeleteKey(HKEY_CURRENT_USER, named ? L"Software" : nullptr));
        EXPECT_FALSE(r->SaveKey(named ? never.c_str() : nullptr));
        EXPECT_FALSE(r->RestoreKey(named ? never.c_str() : nullptr));
    }
    EXPECT_FALSE(reg_.WriteString(L"v", nullptr));
    EXPECT_EQ(Subkeys(none), Names{});
    EXPECT_FALSE(Exists(store_.dir.file("never.reg")));
    EXPECT_EQ(text + L"|" + std::to_wstring(number), L"unchanged|1");
    CRegistry check(HKEY_CURRENT_USER);  // nothing was created on the way
    EXPECT_FALSE(check.Open(L"Software\\X", KEY_READ));
}

// Subkeys are listed after what the list held; the held key's subtree goes to a new file
// and replaces another key's values and subkeys.
TEST_F(RegistryTest, SubkeysAreListedDeletedSavedAndRestoredOverAnother) {
    const std::wstring file = store_.dir.winfile("downloader.reg");
    for (const wchar_t* name : {L"Beta", L"Alpha", L"Tasks\\1001"}) {
        CRegistry child(reg_.GetKey());  // holds the new key; the parent stays with reg_
        ASSERT_TRUE(child.Create(name, KEY_ALL_ACCESS));
        ASSERT_TRUE(child.WriteString(L"Name", name));
    }
    ASSERT_TRUE(reg_.WriteString(L"SavePath", L"D:\\游戏") && reg_.WriteDword(L"Gone", 3));
    EXPECT_TRUE(reg_.DeleteValue(L"Gone"));
    Names names = Subkeys(reg_, {L"before"});
    std::sort(names.begin() + 1, names.end());
    EXPECT_EQ(names, (Names{L"before", L"Alpha", L"Beta", L"Tasks"}));
    EXPECT_TRUE(reg_.DeleteKey(reg_.GetKey(), L"Beta"));
    EXPECT_FALSE(reg_.DeleteKey(reg_.GetKey(), L"Beta"));
    EXPECT_TRUE(reg_.SaveKey(file.c_str()));
    reg_.Close();
    EXPECT_EQ(reg_.GetKey(), nullptr);

    CRegistry target(HKEY_CURRENT_USER), stale(nullptr), task(HKEY_CURRENT_USER);
    ASSERT_TRUE(target.Create(L"Software\\Kelto\\Restored", KEY_ALL_ACCESS));
    ASSERT_TRUE(target.WriteDword(L"Stale", 1));
    stale.SetKey(target.GetKey());
    ASSERT_TRUE(stale.Create(L"Old", KEY_ALL_ACCESS));
    EXPECT_TRUE(target.RestoreKey(file.c_str()));
    std::wstring text, name;
    DWORD number = 0;
    EXPECT_TRUE(target.ReadString(L"SavePath", text));
    EXPECT_FALSE(target.ReadDword(L"Stale", number) || target.ReadDword(L"Gone", number));
    names = Subkeys(target);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{L"Alpha", L"Tasks"}));
    ASSERT_TRUE(task.Open(L"Software\\Kelto\\Restored\\Tasks\\1001", KEY_READ));
    EXPECT_TRUE(task.ReadString(L"Name", name));
    EXPECT_EQ(text + L"|" + name, L"D:\\游戏|Tasks\\1001");
}

}  // namespace
