#include "base/drive_util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace {

using namespace base;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// Drives C:, D: and E: with the same fixed free space, and F: as a remote drive.
class DriveUtilTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"c", "d", "e", "f"}) mkdir(dir_.file(d).c_str(), 0700);
    }
    std::string Table(const std::string& e_options) const {
        return "C=" + dir_.file("c") + ":free=5000000000;D=" + dir_.file("d") +
               ":free=5000000000;E=" + dir_.file("e") + ":free=5000000000" + e_options +
               ";F=" + dir_.file("f") + ":remote";
    }
    TempDir dir_;
};

TEST_F(DriveUtilTest, UsbAnd1394DrivesAreExternal) {
    ScopedEnv drives("WIN32_DRIVES", Table(""));
    ScopedEnv bus("WIN32_DRIVE_BUS", "C=sata;D=usb;E=1394");
    EXPECT_FALSE(IsExternalBusDrive(L"C:\\games"));
    EXPECT_TRUE(IsExternalBusDrive(L"D:\\games"));
    EXPECT_TRUE(IsExternalBusDrive(L"D:/games"));
    EXPECT_TRUE(IsExternalBusDrive(L"E:\\"));
    EXPECT_FALSE(IsExternalBusDrive(L"D:"));
    EXPECT_FALSE(IsExternalBusDrive(L"\\games"));
    EXPECT_FALSE(IsExternalBusDrive(L"Q:\\"));  // no such drive
}

// Only fixed, writable, internal drives count; a tie goes to the later letter.
TEST_F(DriveUtilTest, TheDownloadDriveIsTheLargestFreeFixedOne) {
    const struct {
        std::string drives, buses, chosen;
    } cases[] = {{Table(":fixed:ro"), "C=sata;D=sata;E=sata", "D:\\"},
                 {Table(""), "C=sata;D=usb;E=1394", "C:\\"},
                 {"C=" + dir_.file("c") + ":fixed:ro;F=" + dir_.file("f") +
                      ":remote;G=" + dir_.file("e") + ":cdrom",
                  "", ""}};
    for (auto& c : cases) {
        ScopedEnv drives("WIN32_DRIVES", c.drives), bus("WIN32_DRIVE_BUS", c.buses);
        EXPECT_EQ(GetLargestFreeFixedDrive(), std::wstring(c.chosen.begin(), c.chosen.end()))
            << c.drives;
    }
    struct stat st;  // the write test leaves nothing behind
    EXPECT_NE(stat(dir_.file("d/SM_testdir.dat").c_str(), &st), 0);
}

}  // namespace
