#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <string>
#include <vector>

#include "skin/mini_unpak.h"
#include "skin/skin_zip_loader.h"
#include "testing/image_files.h"
#include "testing/temp_dir.h"
#include "testing/zip_writer.h"

namespace {

using testing_support::ReadAll;
using testing_support::WriteAll;
using testzip::Entry;

void WriteZip(const std::string& path, const std::vector<Entry>& entries) {
    ASSERT_TRUE(testzip::WriteZip(path, entries));
}

// A valid PNG of the size, small whatever the size.
std::string Png(int w, int h) { return image_files::black_png(w, h); }

std::vector<std::string> Names(const CMiniUnPak& pak) {
    std::vector<std::string> out;
    for (const auto& e : pak.GetEntries()) out.push_back(e.name);
    return out;
}

class MiniUnPak : public ::testing::Test {
protected:
    void SetUp() override {
        zip_ = dir_.path() + "/skin.sk";
        index_ = zip_ + ".idx";
        WriteZip(zip_, {{"skin.info", "a \"1\"\n"}, {"img/b.png", std::string(300, 'b')}});
    }
    std::string Read(const CMiniUnPak& pak, const std::string& name) {
        CUIMemoryFile file;
        return pak.ReadEntry(name, file) ? std::string(file.GetData(), file.GetSize()) : "<none>";
    }
    // Makes the index look old, so a rewrite shows in its modification time.
    void AgeIndex() {
        struct utimbuf old = {1000000, 1000000};
        ASSERT_EQ(utime(index_.c_str(), &old), 0);
    }
    time_t IndexTime() {
        struct stat st = {};
        return stat(index_.c_str(), &st) == 0 ? st.st_mtime : 0;
    }

    testing_support::TempDir dir_;
    std::string zip_, index_;
};

TEST_F(MiniUnPak, IndexCacheIsWrittenAndReusedWhileThePackageIsUnchanged) {
    CMiniUnPak pak;
    ASSERT_TRUE(pak.Open(dir_.winfile("skin.sk")));
    EXPECT_EQ(Names(pak), (std::vector<std::string>{"img/b.png", "skin.info"}));
    EXPECT_EQ(Read(pak, "img/b.png"), std::string(300, 'b'));
    const std::string index = ReadAll(index_);
    ASSERT_FALSE(index.empty());

    AgeIndex();
    CMiniUnPak again;
    ASSERT_TRUE(again.Open(dir_.winfile("skin.sk")));
    EXPECT_EQ(IndexTime(), 1000000) << "the cache was read, not rewritten";
    EXPECT_EQ(Read(again, "skin.info"), "a \"1\"\n");
    EXPECT_EQ(Names(again), Names(pak));

    // Another package under the same name: the old index no longer fits it.
    WriteZip(zip_, {{"other.txt", "new"}});
    CMiniUnPak changed;
    ASSERT_TRUE(changed.Open(dir_.winfile("skin.sk")));
    EXPECT_EQ(Names(changed), std::vector<std::string>{"other.txt"});
    EXPECT_EQ(Read(changed, "other.txt"), "new");
    EXPECT_NE(ReadAll(index_), index);
}

TEST_F(MiniUnPak, DamagedIndexCachesAreRebuilt) {
    CMiniUnPak first;
    ASSERT_TRUE(first.Open(dir_.winfile("skin.sk")));
    const std::string good = ReadAll(index_);
    std::string pointing_away = good;
    pointing_away[good.size() / 2] ^= 0x40;  // fails the cache's own CRC
    for (const std::string& bad :
         {std::string(), std::string("garbage"), good.substr(0, good.size() - 3), pointing_away,
          std::string(2u << 20, 'x')}) {
        WriteAll(index_, bad);
        CMiniUnPak pak;
        ASSERT_TRUE(pak.Open(dir_.winfile("skin.sk")));
        EXPECT_EQ(Read(pak, "img/b.png"), std::string(300, 'b'));
        EXPECT_EQ(ReadAll(index_), good);
    }
}

TEST_F(MiniUnPak, HostileAndUnusableEntriesAreRefused) {
    std::vector<Entry> entries = {{"packed.png", std::string(100, 'p'), 0, true},
                                  {"ok.png", "fine"},
                                  {"ok.png", "second"},
                                  {"folder/..name.png", "also fine"}};
    for (const char* hostile : {"../evil.png", "/abs.png", "img/../../up.png", "./dot.png",
                                "C:/drive.png", "img\\back.png", "img//twice.png"})
        entries.push_back({hostile, "x"});
    ASSERT_TRUE(testzip::WriteZip(zip_, entries));
    CMiniUnPak pak;
    ASSERT_TRUE(pak.Open(dir_.winfile("skin.sk")));
    EXPECT_EQ(Names(pak), (std::vector<std::string>{"folder/..name.png", "ok.png"}));
    EXPECT_EQ(Read(pak, "ok.png"), "fine") << "the first of two entries of one name";
    EXPECT_EQ(Read(pak, "../evil.png"), "<none>");
}

TEST_F(MiniUnPak, EntriesFailingTheirCrcAreNotRead) {
    CMiniUnPak pak;
    ASSERT_TRUE(pak.Open(dir_.winfile("skin.sk")));
    std::string bytes = ReadAll(zip_);
    size_t at = bytes.find(std::string(300, 'b'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 10] = 'X';
    WriteAll(zip_, bytes);
    EXPECT_EQ(Read(pak, "img/b.png"), "<none>");
    EXPECT_EQ(Read(pak, "skin.info"), "a \"1\"\n");
}

TEST_F(MiniUnPak, PicturesArePngOrJpegOfBoundedSizeWithinThePackagesPixelBudget) {
    WriteZip(zip_, {{"img/ok.png", Png(4096, 1)},
                    {"img/wide.png", Png(4097, 1)},
                    {"img/tall.png", Png(1, 5000)},
                    {"img/broken.png", Png(4, 4).substr(0, 40)},
                    {"img/text.png", "not a picture"},
                    {"notes.txt", "ignored"}});
    skin::SkinZipLoader package;
    ASSERT_TRUE(package.Open(dir_.winfile("skin.sk")));
    EXPECT_EQ(package.ReadImage("img/ok.png").GetSize(), Gui::Size(4096, 1));
    for (const char* name : {"img/wide.png", "img/tall.png", "img/broken.png", "img/text.png",
                             "notes.txt", "img/absent.png"})
        EXPECT_TRUE(package.ReadImage(name).IsEmpty()) << name;
    skin::SkinLoader loader;
    EXPECT_EQ(package.LoadImages(loader), 4);
    ASSERT_TRUE(loader.LoadInfo("ok \"img/ok.png[1,0]\"\nwide \"img/wide.png\"\n"));
    Gui::Image image;
    EXPECT_TRUE(loader.GetImage("ok", image));
    EXPECT_FALSE(loader.GetImage("wide", image));

    // Four pictures of a quarter of the budget each, then a small one.
    const std::string quarter = Png(4096, skin::SkinZipLoader::kMaxTotalPixels / 4 / 4096);
    std::vector<Entry> entries;
    for (const char* name : {"img/a.png", "img/b.png", "img/c.png", "img/d.png"})
        entries.push_back({name, quarter});
    entries.push_back({"img/e.png", Png(2, 2)});
    ASSERT_TRUE(testzip::WriteZip(zip_, entries));
    skin::SkinZipLoader budget;
    ASSERT_TRUE(budget.Open(dir_.winfile("skin.sk")));
    skin::SkinLoader within;
    EXPECT_EQ(budget.LoadImages(within), 1);
    ASSERT_TRUE(within.LoadInfo("a \"img/a.png\"\ne \"img/e.png\"\n"));
    EXPECT_TRUE(within.GetImage("a", image));
    EXPECT_FALSE(within.GetImage("e", image));
}

TEST_F(MiniUnPak, WhatIsNoZipDoesNotOpen) {
    CMiniUnPak pak;
    EXPECT_FALSE(pak.Open(dir_.winfile("absent.sk")));
    WriteAll(zip_, "PK\3\4 this is not a zip at all");
    EXPECT_FALSE(pak.Open(dir_.winfile("skin.sk")) || pak.IsOpen() || !pak.GetEntries().empty());
}

}  // namespace
