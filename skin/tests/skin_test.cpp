#include <gtest/gtest.h>

#include <string.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>

#include <boost/property_tree/info_parser.hpp>

#include "gui/font.h"
#include "skin/skin.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"
#include "testing/temp_dir.h"

namespace {

using testing_support::ReadAll;

class SkinStart : public ::testing::Test {
protected:
    void TearDown() override { skin::SkinLoader::Instance().Clear(); }
    bool Install(const std::string& bytes) {
        return skin::InstallSkinPackage(dir_.win() + L"\\", bytes.data(), bytes.size());
    }
    // The default font is set, realised and sized, whatever the package was.
    static void ExpectUsableDefaultFont() {
        ASSERT_TRUE(Gui::IsDefaultFontSet());
        Gui::Font normal;
        downloader::SkinManager::CreateFont("normal_ft", normal);
        EXPECT_EQ(Gui::GetDefaultFont(), normal);
        EXPECT_TRUE(normal.GetHandle() && normal.GetHeight() > 0);
        EXPECT_EQ(normal.GetLogFont().lfHeight, -normal.GetHeight());
    }

    testing_support::TempDir dir_;
};

// Every key path of the tree whose value names a picture of the package.
void ImageKeys(const boost::property_tree::ptree& tree, const std::string& prefix,
               std::vector<std::string>& out) {
    for (const auto& [name, child] : tree) {
        const std::string key = prefix.empty() ? name : prefix + "." + name;
        if (child.data().find(".png") != std::string::npos) out.push_back(key);
        ImageKeys(child, key, out);
    }
}

// Also when its copy cannot be written (a file where the skin folder goes, a folder where
// the copy goes): the package is then read in memory.
TEST_F(SkinStart, TheBuiltSkinLoadsWithEveryImageItNames) {
    static const std::string package = ReadAll(SKIN_PACKAGE);  // outlives the skin
    ASSERT_FALSE(package.empty());
    for (const char* blocker : {"", "skin", "skin/skin.sk/x"}) {
        SCOPED_TRACE(blocker);
        std::filesystem::remove_all(dir_.file("skin"));
        if (*blocker)
            std::filesystem::create_directories(
                std::filesystem::path(dir_.file(blocker)).parent_path());
        ASSERT_TRUE(!*blocker || testing_support::WriteAll(dir_.file(blocker), "x"));
        ASSERT_TRUE(Install(package));
        EXPECT_EQ(ReadAll(dir_.file("skin/skin.sk")) == package, !*blocker);
        EXPECT_EQ(ReadAll(dir_.file("skin/skin.sk.idx")).empty(), !!*blocker);
        ExpectUsableDefaultFont();

        boost::property_tree::ptree tree;
        std::string info;
        ASSERT_TRUE(skin::SkinLoader::Instance().GetString("default_wnd_caption", info));
        std::istringstream text(ReadAll(SKIN_INFO));
        boost::property_tree::read_info(text, tree);
        std::vector<std::string> keys;
        ImageKeys(tree, "", keys);
        ASSERT_GT(keys.size(), 30u);
        for (const std::string& key : keys) {
            Gui::Image image = GetSkinImage(std::wstring(key.begin(), key.end()));
            EXPECT_FALSE(image.IsEmpty()) << key;
            EXPECT_LE(image.GetWidth(), 600) << key;
        }
        EXPECT_EQ(GetSkinImage(L"mainwnd.sys.wndbg").GetSize(), Gui::Size(600, 279));
        EXPECT_FALSE(GetSkinImage(L"tray").IsEmpty());

        ctrls::SystemPanelStyle sys;
        ASSERT_TRUE(skin::SkinLoader::Instance().GetStyle("mainwnd.sys", sys));
        EXPECT_TRUE(sys.titlefont.GetHandle() && sys.titlefont.IsBold()) << "realised, bold";
        ctrls::LinkStyle link;
        ASSERT_TRUE(skin::SkinLoader::Instance().GetStyle("mainwnd.link_news", link));
        EXPECT_TRUE(link.textfont1.GetLogFont().lfUnderline &&
                    !link.textfont0.GetLogFont().lfUnderline);
        EXPECT_EQ(GetDefaultWndCaption(), L"演示游戏");
        EXPECT_FALSE(GetSkinWString(L"download_dir_name").empty());
        skin::SkinLoader::Instance().Clear();
    }
}

TEST_F(SkinStart, AnUnreadablePackageStillSetsTheDefaultFont) {
    const std::string broken = ReadAll(SKIN_PACKAGE).substr(0, 2000);
    for (const std::string& bytes : {std::string(), std::string("not a zip"), broken}) {
        EXPECT_FALSE(Install(bytes));
        ExpectUsableDefaultFont();
        EXPECT_TRUE(GetSkinImage(L"tray").IsEmpty());
        EXPECT_EQ(GetDefaultWndCaption(), L"");
    }
    // This test program embeds no skin at all.
    EXPECT_FALSE(skin::InitSkinIn(dir_.win() + L"\\"));
    ExpectUsableDefaultFont();
    // A working folder that cannot hold the skin folder.
    EXPECT_FALSE(skin::InstallSkinPackage(dir_.win() + L"\\absent\\deeper\\", "x", 1));
    ExpectUsableDefaultFont();
}

TEST(SkinFonts, FontsAreRealisedOncePerKeyWithTheirLogFont) {
    ASSERT_TRUE(skin::SkinLoader::Instance().LoadInfo(
        "title_ft { Height 18 Bold 1 }\nlink_ft { Height 14 Underline 1 }\n"));
    Gui::Font first, second, link;
    EXPECT_TRUE(downloader::SkinManager::CreateFont("title_ft", first));
    EXPECT_FALSE(downloader::SkinManager::CreateFont("title_ft", second));  // the same one again
    EXPECT_EQ(first, second);
    EXPECT_TRUE(downloader::SkinManager::CreateFont("link_ft", link));
    EXPECT_NE(link.GetHandle(), first.GetHandle());

    const LOGFONTW& t = first.GetLogFont();
    EXPECT_EQ(std::make_tuple(t.lfHeight, t.lfWeight, t.lfUnderline, std::wstring(t.lfFaceName),
                              link.GetLogFont().lfWeight, link.GetLogFont().lfUnderline != 0),
              std::make_tuple(-18, FW_BOLD, 0, std::wstring(L"微软雅黑"), FW_NORMAL, true));
    LOGFONTW back = {};
    ASSERT_EQ(GetObjectW(first.GetHandle(), sizeof(back), &back), static_cast<int>(sizeof(back)));
    EXPECT_EQ(memcmp(&back, &t, sizeof(back)), 0);
    skin::SkinLoader::Instance().Clear();
}

}  // namespace
