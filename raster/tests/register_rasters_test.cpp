#include "raster/register_rasters.h"

#include <gtest/gtest.h>

#include "gui/raster.h"
#include "png_writer.h"
#include "raster/png_raster.h"

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

}  // namespace
