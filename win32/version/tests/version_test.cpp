// Version information of this program and of other files on disk.
#include <windows.h>
#include <win32_unixpath.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::wstring ProgramPath() {
    wchar_t path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, 4096);
    return std::wstring(path, n);
}

std::wstring Beside(const wchar_t* name) {
    std::wstring p = ProgramPath();
    return p.substr(0, p.rfind(L'\\') + 1) + name;
}

std::vector<BYTE> VersionBlock(const std::wstring& file) {
    DWORD handle = 99;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    EXPECT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, block.data()));
    return block;
}

// The version text the program builds from the fixed part, "0.0.0.0" without one.
std::wstring VersionText(const std::wstring& file) {
    std::vector<BYTE> block = VersionBlock(file);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (block.empty() ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &len) || len == 0)
        return L"0.0.0.0";
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

std::wstring Text(const std::vector<BYTE>& block, const wchar_t* path) {
    wchar_t* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), path, reinterpret_cast<LPVOID*>(&value), &len))
        return L"<none>";
    EXPECT_EQ(value[len - 1], L'\0');  // the length counts the terminator
    return std::wstring(value, len - 1);
}

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "vertest.XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::wstring file(const char* name) const { return UnixPathToWin32(path_ + "/" + name); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(FileVersion, FixedPartOfTheOwnProgram) {
    std::vector<BYTE> block = VersionBlock(ProgramPath());
    ASSERT_FALSE(block.empty()) << GetLastError();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &len));
    EXPECT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info->dwStrucVersion, static_cast<DWORD>(VS_FFI_STRUCVERSION));
    EXPECT_EQ(info->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(info->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(info->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(info->dwProductVersionLS, 0u);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(VersionText(ProgramPath()), L"1.2.3.4");
}

TEST(FileVersion, StringValuesByLanguageAndCodePage) {
    std::vector<BYTE> block = VersionBlock(ProgramPath());
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\CompanyName"), L"Demo Maker");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\ProductName"), L"演示游戏");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404B0\\productname"), L"演示游戏");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\Comments"), L"");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\NoSuchValue"), L"<none>");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\040904b0\\ProductName"), L"<none>");
}

TEST(FileVersion, TranslationListsLanguageAndCodePage) {
    std::vector<BYTE> block = VersionBlock(ProgramPath());
    ASSERT_FALSE(block.empty());
    WORD* pair = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<LPVOID*>(&pair), &len));
    ASSERT_EQ(len, 4u);
    EXPECT_EQ(pair[0], 0x0804);
    EXPECT_EQ(pair[1], 1200);
}

TEST(FileVersion, AnotherFileIsReadFromDisk) {
    std::wstring lib = Beside(L"verinfo.dll");
    EXPECT_EQ(VersionText(lib), L"5.6.7.8");
    std::vector<BYTE> block = VersionBlock(lib);
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &len));
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\040904b0\\FileDescription"), L"Version test library");
    EXPECT_EQ(GetModuleHandleW(L"verinfo.dll"), nullptr);  // read, not loaded
}

TEST(FileVersion, AFileWithoutResourcesHasNone) {
    TempDir dir;
    std::ofstream(dir.path() + "/plain.txt") << "just text";
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(dir.file("plain.txt").c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    BYTE buf[64];
    EXPECT_FALSE(GetFileVersionInfoW(dir.file("plain.txt").c_str(), 0, sizeof buf, buf));
    EXPECT_EQ(VersionText(dir.file("plain.txt")), L"0.0.0.0");
}

TEST(FileVersion, AFileWithResourcesButNoVersionHasNone) {
    EXPECT_EQ(GetFileVersionInfoSizeW(Beside(L"noversion.dll").c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(VersionText(Beside(L"noversion.dll")), L"0.0.0.0");
}

TEST(FileVersion, AMissingFileIsNotFound) {
    TempDir dir;
    EXPECT_EQ(GetFileVersionInfoSizeW(dir.file("absent.exe").c_str(), nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(VersionText(dir.file("absent.exe")), L"0.0.0.0");
}

TEST(FileVersion, AShortBufferKeepsWhatFits) {
    std::wstring self = ProgramPath();
    DWORD size = GetFileVersionInfoSizeW(self.c_str(), nullptr);
    ASSERT_GT(size, 200u);
    // Enough for the root and its fixed part, not for the strings after it.
    std::vector<BYTE> block(160, 0xCC);
    ASSERT_TRUE(
        GetFileVersionInfoW(self.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &len));
    EXPECT_EQ(info->dwFileVersionLS, 0x00030004u);
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\CompanyName"), L"<none>");
}

TEST(FileVersion, VersionFunctionsAreExportsOfBuiltInVersionDll) {
    HMODULE version = LoadLibraryW(L"version.dll");
    ASSERT_NE(version, nullptr);
    auto size = reinterpret_cast<DWORD(WINAPI*)(LPCWSTR, LPDWORD)>(
        GetProcAddress(version, "GetFileVersionInfoSizeW"));
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size(ProgramPath().c_str(), nullptr),
              GetFileVersionInfoSizeW(ProgramPath().c_str(), nullptr));
    EXPECT_NE(GetProcAddress(version, "VerQueryValueW"), nullptr);
}

}  // namespace
