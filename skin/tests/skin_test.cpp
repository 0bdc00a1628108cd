#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <win32_unixpath.h>

#include "gui/font.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"

namespace {

const char kInfo[] =
    "download_dir_name \"DemoGame\"\n"
    "default_wnd_caption \"演示游戏\"\n"
    "normal_ft \"12,0\"\n"
    "title_ft \"18,0x8000\"\n"
    "link_ft \"14,0x2000\"\n"
    "dialog\n{\n    caption \"Setup\"\n}\n";

// A scratch folder with a stored zip holding skin.info, as the build packs the skin.
class SkinPackage : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = std::filesystem::temp_directory_path() / "skin_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        zip_ = dir_ + "/package.zip";
        WriteStoredZip(zip_, "skin.info", kInfo);
    }
    void TearDown() override {
        skin::SkinLoader::Instance().Clear();
        std::filesystem::remove_all(dir_);
    }

    static void WriteStoredZip(const std::string& path, const char* name, const std::string& body) {
        zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
        ASSERT_NE(zf, nullptr);
        ASSERT_EQ(
            zipOpenNewFileInZip64(zf, name, nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0),
            ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zf, body.data(), static_cast<unsigned>(body.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zf), ZIP_OK);
        ASSERT_EQ(zipClose(zf, nullptr), ZIP_OK);
    }

    // The Windows form of a Linux path under the scratch folder.
    static std::wstring Win(const std::string& unix_path) {
        std::wstring out = L"Z:";
        for (char c : unix_path) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
        return out;
    }

    std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string dir_;
    std::string zip_;
};

TEST_F(SkinPackage, TextsAreReadFromThePackageAsWideStrings) {
    ASSERT_TRUE(skin::LoadSkinPackage(Win(zip_)));
    EXPECT_EQ(GetSkinWString(L"download_dir_name"), L"DemoGame");
    EXPECT_EQ(GetSkinWString(L"dialog.caption"), L"Setup");
    EXPECT_EQ(GetDefaultWndCaption(), L"演示游戏");
}

TEST_F(SkinPackage, MissingKeysGiveEmptyText) {
    ASSERT_TRUE(skin::LoadSkinPackage(Win(zip_)));
    EXPECT_EQ(GetSkinWString(L"download_def_path"), L"");
    EXPECT_EQ(GetSkinWString(L"dialog.title"), L"");
}

TEST_F(SkinPackage, NothingLoadsFromAPackageWithoutSkinInfo) {
    std::string other = dir_ + "/other.zip";
    WriteStoredZip(other, "readme.txt", "x");
    EXPECT_FALSE(skin::LoadSkinPackage(Win(other)));
    EXPECT_FALSE(skin::LoadSkinPackage(Win(dir_ + "/absent.zip")));
    EXPECT_EQ(GetDefaultWndCaption(), L"");
}

TEST_F(SkinPackage, InstallWritesTheSkinFolderAndSetsTheDefaultFont) {
    std::string bytes = ReadAll(zip_);
    ASSERT_FALSE(Gui::IsDefaultFontSet());
    ASSERT_TRUE(skin::InstallSkinPackage(Win(dir_) + L"\\", bytes.data(), bytes.size()));
    EXPECT_EQ(ReadAll(dir_ + "/skin/skin.sk"), bytes);
    EXPECT_EQ(GetSkinWString(L"download_dir_name"), L"DemoGame");

    ASSERT_TRUE(Gui::IsDefaultFontSet());
    Gui::Font normal;
    EXPECT_FALSE(downloader::SkinManager::CreateFont("normal_ft", normal)) << "already cached";
    EXPECT_EQ(Gui::GetDefaultFont(), normal);
    EXPECT_NE(normal.GetHandle(), nullptr);
    EXPECT_EQ(normal.GetLogFont().lfHeight, -12);
}

TEST_F(SkinPackage, FontsAreRealisedOncePerKey) {
    ASSERT_TRUE(skin::LoadSkinPackage(Win(zip_)));
    Gui::Font first, second, other;
    EXPECT_TRUE(downloader::SkinManager::CreateFont("title_ft", first));
    EXPECT_FALSE(downloader::SkinManager::CreateFont("title_ft", second));
    EXPECT_EQ(first, second);
    EXPECT_NE(first.GetHandle(), nullptr);
    EXPECT_TRUE(downloader::SkinManager::CreateFont("link_ft", other));
    EXPECT_NE(other.GetHandle(), first.GetHandle());
}

TEST_F(SkinPackage, RealisedFontsCarryTheSkinsLogFont) {
    ASSERT_TRUE(skin::LoadSkinPackage(Win(zip_)));
    Gui::Font title, link;
    downloader::SkinManager::CreateFont("title_ft", title);
    downloader::SkinManager::CreateFont("link_ft", link);

    const LOGFONTW& t = title.GetLogFont();
    EXPECT_EQ(title.GetHeight(), 18);
    EXPECT_TRUE(title.IsBold());
    EXPECT_EQ(t.lfHeight, -18);
    EXPECT_EQ(t.lfWeight, FW_BOLD);
    EXPECT_EQ(t.lfUnderline, 0);
    EXPECT_EQ(std::wstring(t.lfFaceName), L"微软雅黑");

    const LOGFONTW& l = link.GetLogFont();
    EXPECT_TRUE(link.IsUnderline());
    EXPECT_EQ(l.lfHeight, -14);
    EXPECT_EQ(l.lfWeight, FW_NORMAL);
    EXPECT_NE(l.lfUnderline, 0);

    // The record's LOGFONTW is the one the font handle answers with.
    LOGFONTW back = {};
    ASSERT_EQ(GetObjectW(title.GetHandle(), sizeof(back), &back), static_cast<int>(sizeof(back)));
    EXPECT_EQ(memcmp(&back, &t, sizeof(back)), 0);
}

TEST(SkinFontValue, ParsesHeightAndFlags) {
    Gui::Font f;
    ASSERT_TRUE(skin::SkinLoader::ParseFont("12", f));
    EXPECT_EQ(f.GetHeight(), 12);
    EXPECT_EQ(f.GetFlags(), 0);
    ASSERT_TRUE(skin::SkinLoader::ParseFont("16, 0xA000", f));
    EXPECT_EQ(f.GetHeight(), 16);
    EXPECT_TRUE(f.IsBold());
    EXPECT_TRUE(f.IsUnderline());
    ASSERT_TRUE(skin::SkinLoader::ParseFont("9,8192", f));
    EXPECT_FALSE(f.IsBold());
    EXPECT_TRUE(f.IsUnderline());
}

TEST(SkinFontValue, RejectsMalformedValues) {
    Gui::Font f;
    f.Height(7);
    EXPECT_FALSE(skin::SkinLoader::ParseFont("", f));
    EXPECT_FALSE(skin::SkinLoader::ParseFont("big", f));
    EXPECT_FALSE(skin::SkinLoader::ParseFont("12,bold", f));
    EXPECT_FALSE(skin::SkinLoader::ParseFont("70000", f));
    EXPECT_EQ(f.GetHeight(), 7) << "untouched on failure";
}

TEST(SkinInfo, SyntaxErrorsLeaveTheStoreEmpty) {
    ASSERT_TRUE(skin::SkinLoader::Instance().LoadInfo("a \"1\"\n"));
    EXPECT_FALSE(skin::SkinLoader::Instance().LoadInfo("a {\n"));
    std::string v;
    EXPECT_FALSE(skin::SkinLoader::Instance().GetString("a", v));
}

}  // namespace

namespace {

TEST(DemoSkin, ItsTextsAndNormalFontRead) {
    std::ifstream in(DEMO_SKIN_INFO, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    ASSERT_TRUE(skin::SkinLoader::Instance().LoadInfo(text));
    Gui::Font normal;
    ASSERT_TRUE(skin::SkinLoader::Instance().GetFont("normal_ft", normal));
    EXPECT_GT(normal.GetHeight(), 0);
    EXPECT_FALSE(GetSkinWString(L"download_dir_name").empty());
    EXPECT_FALSE(GetDefaultWndCaption().empty());
}

}  // namespace
