// Version information of this program and of other files on disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "testing/temp_dir.h"
#include "testing/win32_program_path.h"

namespace {

using testing_support::Beside;
using testing_support::ProgramPath;

std::vector<BYTE> VersionBlock(const std::wstring& file, DWORD room = 0) {
    DWORD handle = 99;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    if (size == 0) return {};
    std::vector<BYTE> block(room ? room : size, 0xCC);
    EXPECT_TRUE(
        GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    return block;
}

VS_FIXEDFILEINFO Fixed(const std::vector<BYTE>& block) {
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (block.empty() ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&info), &len))
        return {};
    EXPECT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    return *info;
}

std::wstring Text(const std::vector<BYTE>& block, const wchar_t* path) {
    wchar_t* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(block.data(), path, reinterpret_cast<LPVOID*>(&value), &len))
        return L"<none>";
    EXPECT_EQ(value[len - 1], L'\0');  // the length counts the terminator
    return std::wstring(value, len - 1);
}

// The version a program reads of itself or of another file.
TEST(FileVersion, FixedPartAndStringsOfThisProgramAndOfAFileReadFromDisk) {
    const struct {
        std::wstring file;
        DWORD room, ms, ls, type;
    } cases[] = {
        {ProgramPath(), 0, 0x00010002u, 0x00030004u, VFT_APP},
        {ProgramPath(), 160, 0x00010002u, 0x00030004u, VFT_APP},  // what fits of a short buffer
        {Beside(L"verinfo.dll"), 0, 0x00050006u, 0x00070008u, VFT_DLL},
    };
    for (const auto& c : cases) {
        const VS_FIXEDFILEINFO info = Fixed(VersionBlock(c.file, c.room));
        EXPECT_EQ(std::make_tuple(info.dwSignature, info.dwFileVersionMS, info.dwFileVersionLS,
                                  info.dwFileType),
                  std::make_tuple(0xFEEF04BDu, c.ms, c.ls, c.type));
    }
    EXPECT_EQ(GetModuleHandleW(L"verinfo.dll"), nullptr);  // read, not loaded

    // Strings by language and code page; a short buffer holds only the fixed part.
    std::vector<BYTE> block = VersionBlock(ProgramPath());
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\CompanyName"), L"Demo Maker");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404B0\\productname"), L"演示游戏");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\Comments"), L"");
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\080404b0\\NoSuchValue"), L"<none>");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(Text(block, L"\\StringFileInfo\\040904b0\\ProductName"), L"<none>");
    EXPECT_EQ(Text(VersionBlock(ProgramPath(), 160), L"\\StringFileInfo\\080404b0\\CompanyName"),
              L"<none>");
    WORD* pair = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<LPVOID*>(&pair), &len));
    ASSERT_EQ(len, 4u);
    EXPECT_EQ(pair[0], 0x0804);
    EXPECT_EQ(pair[1], 1200);
}

TEST(FileVersion, FilesWithoutAVersionHaveNone) {
    testing_support::TempDir dir;
    std::ofstream(dir.file("plain.txt")) << "just text";
    const struct {
        std::wstring file;
        DWORD error;
    } cases[] = {{dir.winfile("plain.txt"), ERROR_RESOURCE_DATA_NOT_FOUND},
                 {Beside(L"noversion.dll"), ERROR_RESOURCE_TYPE_NOT_FOUND},
                 {dir.winfile("absent.exe"), ERROR_FILE_NOT_FOUND}};
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(GetFileVersionInfoSizeW(c.file.c_str(), nullptr), 0u);
        EXPECT_EQ(GetLastError(), c.error);
        BYTE buf[64];
        EXPECT_FALSE(GetFileVersionInfoW(c.file.c_str(), 0, sizeof buf, buf));
    }
}

}  // namespace
