#include "base/drive_util.h"

#include "support/base_test.h"

namespace {

using base::IsExternalBusDrive;

// Drives C:, D: and E: with the same fixed free space (E: with more options), F: remote.
std::string Table(const TempDir& dir, const std::string& e_options) {
    std::string table;
    for (const char* d : {"C", "D", "E"})
        table += std::string(d) + "=" + dir.file(d) + ":free=5000000000;";
    table.insert(table.size() - 1, e_options);
    return table + "F=" + dir.file("F") + ":remote";
}

// USB and 1394 drives are external. The download drive is the largest free one of the
// fixed, writable, internal drives; a tie goes to the later letter; the write test leaves
// nothing behind.
TEST(DriveUtilTest, TheDownloadDriveIsTheLargestFreeFixedInternalOne) {
    TempDir dir;
    for (const char* d : {"C", "D", "E", "F"}) mkdir(dir.file(d).c_str(), 0700);
    const struct {
        std::string drives, buses;
        const wchar_t* chosen;
    } cases[] = {{Table(dir, ":fixed:ro"), "C=sata;D=sata;E=sata", L"D:\\"},
                 {Table(dir, ""), "C=sata;D=usb;E=1394", L"C:\\"},
                 {"C=" + dir.file("C") + ":fixed:ro;F=" + dir.file("F") +
                      ":remote;G=" + dir.file("E") + ":cdrom",
                  "", L""}};
    for (auto& c : cases) {
        ScopedEnv drives("WIN32_DRIVES", c.drives), bus("WIN32_DRIVE_BUS", c.buses);
        EXPECT_EQ(base::GetLargestFreeFixedDrive(), c.chosen) << c.drives;
    }
    EXPECT_EQ(ListFolder(dir.file("D")), "");
    ScopedEnv drives("WIN32_DRIVES", Table(dir, "")), bus("WIN32_DRIVE_BUS", "C=sata;D=usb;E=1394");
    for (const wchar_t* path : {L"D:\\games", L"D:/games", L"E:\\"})
        EXPECT_TRUE(IsExternalBusDrive(path)) << path;
    for (const wchar_t* path : {L"C:\\games", L"D:", L"\\games", L"Q:\\"})
        EXPECT_FALSE(IsExternalBusDrive(path)) << path;
}

}  // namespace
