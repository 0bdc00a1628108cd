#include "raster/register_rasters.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "gui/raster.h"
#include "png_writer.h"
#include "raster/png_raster.h"
#include "win32_unixpath.h"

namespace {

TEST(RegisterRasters, PutsThePngFactoryIntoTheListFirst) {
    const int before = Gui::Raster::GetFactories().items;
    raster::RegisterRasters();
    const Gui::VectorBase& v = Gui::Raster::GetFactories();
    ASSERT_GE(v.items, before + 1);
    const auto* f = static_cast<const Gui::Raster::Factory*>(v.vector);
    EXPECT_EQ(f[before], &raster::PNGRaster::Create);
}

TEST(RegisterRasters, TheListThenLoadsPngFromMemory) {
    raster::RegisterRasters();
    testpng::Spec s;
    s.cx = 2;
    s.cy = 2;
    s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    const std::vector<png_byte> bytes = testpng::Write(s);
    Gui::Image img = Gui::Raster::LoadAnyMemory(bytes.data(), static_cast<DWORD>(bytes.size()));
    ASSERT_EQ(img.GetSize(), Gui::Size(2, 2));
    EXPECT_EQ(img.GetRow(1)[1], Gui::MakeRGBA(10, 11, 12, 255));
    const char junk[] = "not an image at all";
    EXPECT_TRUE(Gui::Raster::LoadAnyMemory(junk, sizeof junk).IsEmpty());
}

TEST(RegisterRasters, TheListLoadsAPngFileButNotAPngWithAnotherExtension) {
    raster::RegisterRasters();
    const char* tmp = getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/rasterlist.XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    testpng::Spec s;
    s.rows = {{9, 8, 7}};
    const std::vector<png_byte> bytes = testpng::Write(s);
    const std::string names[] = {dir + "/a.png", dir + "/a.jpg"};
    for (const std::string& name : names) {
        FILE* f = fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    Gui::Image img = Gui::Raster::LoadAnyFile(UnixPathToWin32(names[0]).c_str());
    Gui::Image other = Gui::Raster::LoadAnyFile(UnixPathToWin32(names[1]).c_str());
    for (const std::string& name : names) unlink(name.c_str());
    rmdir(dir.c_str());
    ASSERT_EQ(img.GetSize(), Gui::Size(1, 1));
    EXPECT_EQ(img.GetPixels()[0], Gui::MakeRGBA(9, 8, 7, 255));
    EXPECT_TRUE(other.IsEmpty());
}

}  // namespace
