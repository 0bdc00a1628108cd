// Resources embedded in this test program and in the shared objects beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC r = FindResourceW(module, name, type);
    if (!r) return "<missing " + std::to_string(GetLastError()) + ">";
    HGLOBAL data = LoadResource(module, r);
    auto* p = static_cast<const char*>(LockResource(data));
    return p ? std::string(p, SizeofResource(module, r)) : std::string("<unlocked>");
}

std::string BytesEx(LPCWSTR name, LPCWSTR type, WORD lang) {
    HRSRC r = FindResourceExW(nullptr, type, name, lang);
    if (!r) return "<missing " + std::to_string(GetLastError()) + ">";
    return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, r))),
                       SizeofResource(nullptr, r));
}

std::wstring ProgramFolder() {
    wchar_t path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, 4096);
    std::wstring p(path, n);
    return p.substr(0, p.rfind(L'\\'));
}

HMODULE LoadBeside(const wchar_t* name) {
    return LoadLibraryW((ProgramFolder() + L"\\" + name).c_str());
}

TEST(Resources, FindsCustomTypesByStringNames) {
    EXPECT_EQ(Bytes(nullptr, L"SKIN.ZIP", L"ZIP"), "skin package stand-in\n");
    EXPECT_EQ(Bytes(nullptr, L"IDR_INI_CONFIG", L"INI"), "[game]\nname=demo\n");
}

TEST(Resources, MatchesNamesAndTypesWithoutRegardToCase) {
    EXPECT_EQ(Bytes(nullptr, L"skin.zip", L"zip"), "skin package stand-in\n");
    EXPECT_EQ(Bytes(GetModuleHandleW(nullptr), L"Idr_Ini_Config", L"iNi"), "[game]\nname=demo\n");
}

TEST(Resources, FindsIntegerIdsAndTheirHashForm) {
    EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(101), RT_RCDATA), "raw data 101");
    EXPECT_EQ(Bytes(nullptr, L"#101", MAKEINTRESOURCEW(10)), "raw data 101");
    EXPECT_EQ(Bytes(nullptr, L"NAMED", MAKEINTRESOURCEW(300)), "raw data 101");
    EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(7), L"BYID"), "skin package stand-in\n");
}

TEST(Resources, EmbedsFilesMadeAtBuildTime) {
    EXPECT_EQ(Bytes(nullptr, L"COPIED", L"GEN"), "made at build time\n");
}

TEST(Resources, MissingTypeAndMissingNameHaveTheirOwnErrors) {
    EXPECT_EQ(FindResourceW(nullptr, L"SKIN.ZIP", L"NOSUCHTYPE"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceW(nullptr, L"NOSUCHNAME", L"ZIP"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(102), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(Resources, PrefersTheLanguageNeutralResource) {
    EXPECT_EQ(Bytes(nullptr, L"GREETING", L"TEXT"), "hello");
    EXPECT_EQ(BytesEx(L"GREETING", L"TEXT", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)), "hello");
}

TEST(Resources, FindsAGivenLanguage) {
    EXPECT_EQ(BytesEx(L"GREETING", L"TEXT", MAKELANGID(4, 2)), "你好");
    EXPECT_EQ(BytesEx(L"GREETING", L"TEXT", MAKELANGID(9, 1)), "hello, US");
    EXPECT_EQ(FindResourceExW(nullptr, L"TEXT", L"GREETING", MAKELANGID(7, 1)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
}

TEST(Resources, LoadResourceRefusesAForgedHandle) {
    int not_a_resource = 0;
    auto forged = reinterpret_cast<HRSRC>(&not_a_resource);
    EXPECT_EQ(LoadResource(nullptr, forged), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(nullptr, forged), 0u);
    EXPECT_FALSE(FreeResource(LoadResource(nullptr, FindResourceW(nullptr, L"SKIN.ZIP", L"ZIP"))));
}

TEST(Resources, IconGroupNamesItsImages) {
    HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(128), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(SizeofResource(nullptr, group), 6u + 14u);
    auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
    EXPECT_EQ(dir[2] | dir[3] << 8, 1);  // an icon, not a cursor
    EXPECT_EQ(dir[4] | dir[5] << 8, 1);  // one image
    EXPECT_EQ(dir[6], 16);               // 16 pixels wide
    EXPECT_EQ(dir[12] | dir[13] << 8, 32);
    WORD image_id = static_cast<WORD>(dir[18] | dir[19] << 8);
    EXPECT_EQ(Bytes(nullptr, MAKEINTRESOURCEW(image_id), RT_ICON), "IMAGE!");
}

TEST(LoadString, CopiesTheWholeStringWhenItFits) {
    wchar_t buf[100];
    EXPECT_EQ(LoadStringW(nullptr, 202, buf, 100), 8);
    EXPECT_STREQ(buf, L"demogame");
    EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), 203, buf, 100), 15);
    EXPECT_STREQ(buf, L"游戏 \"quoted\"\ttab");
    EXPECT_EQ(LoadStringW(nullptr, 17, buf, 100), 12);
    EXPECT_STREQ(buf, L"second block");
}

TEST(LoadString, CutsToTheBufferLessTheTerminator) {
    wchar_t buf[10];
    wmemset(buf, L'#', 10);
    EXPECT_EQ(LoadStringW(nullptr, 204, buf, 10), 9);
    EXPECT_STREQ(buf, L"012345678");
    EXPECT_EQ(LoadStringW(nullptr, 204, buf, 1), 0);
    EXPECT_EQ(buf[0], L'\0');
}

TEST(LoadString, BufferSizeZeroAnswersAPointerIntoTheResource) {
    const wchar_t* text = nullptr;
    int n = LoadStringW(nullptr, 204, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(n, 20);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text, n), L"0123456789abcdefghij");
}

TEST(LoadString, MissingStringAnswersZeroAndAnEmptyBuffer) {
    wchar_t buf[8] = L"junk";
    EXPECT_EQ(LoadStringW(nullptr, 205, buf, 8), 0);  // in a block that exists
    EXPECT_EQ(buf[0], L'\0');
    wcscpy(buf, L"junk");
    EXPECT_EQ(LoadStringW(nullptr, 5000, buf, 8), 0);  // in a block that does not
    EXPECT_EQ(buf[0], L'\0');
}

TEST(Resources, ALoadedModuleHasItsOwnResources) {
    HMODULE mod = LoadBeside(L"testmod.dll");
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(Bytes(mod, L"BLOB", L"DATA"), "raw data 101");
    wchar_t buf[32];
    EXPECT_EQ(LoadStringW(mod, 1, buf, 32), 12);
    EXPECT_STREQ(buf, L"from testmod");
    // Not the program's: the program has no such resource, the module no string 202.
    EXPECT_EQ(FindResourceW(nullptr, L"BLOB", L"DATA"), nullptr);
    EXPECT_EQ(LoadStringW(mod, 202, buf, 32), 0);
    EXPECT_TRUE(FreeLibrary(mod));
}

TEST(Resources, AModuleWithoutResourcesHasNoResourceData) {
    HMODULE mod = LoadBeside(L"nores.dll");
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(FindResourceW(mod, L"ANY", L"ZIP"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    FreeLibrary(mod);
}

TEST(Resources, BuiltInModulesHaveNoResources) {
    EXPECT_EQ(FindResourceW(LoadLibraryW(L"user32.dll"), L"X", L"Y"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST(Resources, AnotherProgramFileIsReadAsData) {
    wchar_t self[4096];
    GetModuleFileNameW(nullptr, self, 4096);
    HMODULE data = LoadLibraryExW(self, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    EXPECT_NE(data, GetModuleHandleW(nullptr));
    EXPECT_EQ(Bytes(data, L"SKIN.ZIP", L"ZIP"), "skin package stand-in\n");
    wchar_t buf[16];
    EXPECT_EQ(LoadStringW(data, 202, buf, 16), 8);
    EXPECT_STREQ(buf, L"demogame");
    EXPECT_EQ(GetProcAddress(data, "main"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(data));
}

}  // namespace
