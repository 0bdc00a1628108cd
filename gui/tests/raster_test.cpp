#include "gui/raster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::MakeRGBA;
using Gui::Raster;
using Gui::RGBA;

// What a fake raster reads from memory: which factory should answer (-1: any), and
// the size of the image it answers with.
struct Request {
    int factory;
    int cx, cy;
};

std::vector<int> g_calls;        // ids of the rasters that were asked, in order
std::atomic<int> g_inside{0};    // loads running right now
std::atomic<int> g_overlaps{0};  // loads that found another one running

Image Solid(int cx, int cy, RGBA value) {
    ImageBuffer b(cx, cy);
    for (int i = 0; i < b.GetLength(); ++i) b.Begin()[i] = value;
    return Image(b);
}

template <int Id>
class FakeRaster : public Raster {
public:
    static Raster* Create() { return new FakeRaster; }
    Image LoadMemory(const void* data, DWORD length) override {
        Request r;
        if (length != sizeof r) return Image();
        memcpy(&r, data, sizeof r);
        if (r.factory != Id && r.factory != -1) return Image();
        if (g_inside.fetch_add(1) != 0) ++g_overlaps;
        g_calls.push_back(Id);
        std::this_thread::sleep_for(std::chrono::milliseconds(r.factory == -1 ? 2 : 0));
        g_inside.fetch_sub(1);
        return r.cx > 0 && r.cy > 0 ? Solid(r.cx, r.cy, MakeRGBA(Id, 0, 0, 255)) : Image();
    }
    Image LoadFile(const wchar_t* path) override {
        g_calls.push_back(Id);
        return wcscmp(path, L"C:\\wanted.fake") == 0 && Id == 2 ? Solid(1, 1, RGBA{}) : Image();
    }
    Gui::Size GetSize() override { return Gui::Size(); }
    Line GetLine(int) override { return Line(); }
};

Raster* NullFactory() { return nullptr; }

Image Load(Request r) { return Raster::LoadAnyMemory(&r, sizeof r); }

// Formats are asked in the order they registered, under one lock, until one gives a
// non-empty image; a factory that answers null is passed over.
TEST(RasterFactories, FormatsAreAskedInOrderOneAtATimeUntilOneAnswers) {
    const int before = Raster::GetFactories().items;
    Raster::Register(&FakeRaster<1>::Create);
    for (int i = 0; i < 10; ++i) Raster::Register(&NullFactory);  // the list grows
    Raster::Register(&FakeRaster<2>::Create);
    Raster::Register(&FakeRaster<3>::Create);
    ASSERT_EQ(Raster::GetFactories().items, before + 13);
    g_calls.clear();
    EXPECT_TRUE(Load({1, 0, 0}).IsEmpty());  // a 0 x 0 image: the others are asked
    EXPECT_EQ(g_calls, std::vector<int>({1}));
    g_calls.clear();
    EXPECT_EQ(Load({-1, 2, 3}).GetSize(), Gui::Size(2, 3));
    EXPECT_EQ(g_calls, std::vector<int>({1}));
    EXPECT_EQ(Load({3, 1, 1})[0][0].r, 3);
    g_calls.clear();
    EXPECT_EQ(Raster::LoadAnyFile(L"C:\\wanted.fake").GetSize(), Gui::Size(1, 1));
    EXPECT_EQ(g_calls, std::vector<int>({1, 2}));
    g_calls.clear();
    EXPECT_TRUE(Raster::LoadAnyFile(L"C:\\other.fake").IsEmpty());
    EXPECT_EQ(g_calls, std::vector<int>({1, 2, 3}));
    g_overlaps = 0;
    auto work = [] {
        for (int i = 0; i < 20; ++i) EXPECT_FALSE(Load({-1, 1, 1}).IsEmpty());
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(g_overlaps.load(), 0);
}

// One allocation may serve as both rows of a line; it is freed once, by its last owner.
TEST(RasterLine, AMoveHandsTheOwnershipOver) {
    auto* row = static_cast<RGBA*>(malloc(8));
    Raster::Line a(row, row, nullptr, true, true);
    Raster::Line b(std::move(a));
    EXPECT_FALSE(a.OwnsData() || a.OwnsFormatData());
    EXPECT_TRUE(b.OwnsData() && b.OwnsFormatData());
    Raster::Line c(static_cast<RGBA*>(malloc(8)), malloc(6), nullptr, true, true);
    c = std::move(b);
    EXPECT_EQ(c.GetData(), row);
    EXPECT_FALSE(b.OwnsData());
}

TEST(ImageRaster, LinesPointIntoTheImagesOwnPixelsWhichItKeepsAlive) {
    ImageBuffer b(3, 2);
    for (int i = 0; i < 6; ++i) b.Begin()[i] = MakeRGBA(i, 0, 0, 255);
    b.SetHotSpot(Gui::Point(1, 2));
    b.SetExtraPair(Gui::Point(7, 8));
    Image img(b);
    const RGBA* pixels = img.GetPixels();
    Gui::ImageRaster r(img);
    img = Image();
    EXPECT_EQ(r.GetSize(), Gui::Size(3, 2));
    Raster::Line line = r.GetLine(1);
    EXPECT_EQ(line.GetData(), pixels + 3);
    EXPECT_EQ(line.GetFormatData(), pixels + 3);
    EXPECT_FALSE(line.OwnsData() || line.OwnsFormatData());
    EXPECT_EQ(line.GetData()[1], MakeRGBA(4, 0, 0, 255));
    EXPECT_EQ(r.GetInfo().extra, Gui::Size(7, 8));
    EXPECT_EQ(r.GetInfo().hotspot, Gui::Point(1, 2));
    EXPECT_EQ(Gui::ImageRaster(Image()).GetSize(), Gui::Size(0, 0));
}

}  // namespace
