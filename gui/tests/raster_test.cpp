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

// What a fake raster reads from memory: which factory should answer, with what size.
struct Request {
    int factory;
    int cx, cy;
};

std::vector<int> g_calls;        // factory ids in the order their rasters loaded
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
        if (length != sizeof(Request)) return Image();
        Request r;
        memcpy(&r, data, sizeof r);
        if (r.factory != Id && r.factory != -1) return Image();
        if (g_inside.fetch_add(1) != 0) ++g_overlaps;
        g_calls.push_back(Id);
        std::this_thread::sleep_for(std::chrono::milliseconds(r.factory == -1 ? 2 : 0));
        Image img = r.cx > 0 && r.cy > 0 ? Solid(r.cx, r.cy, MakeRGBA(Id, 0, 0, 255)) : Image();
        g_inside.fetch_sub(1);
        return img;
    }
    Image LoadFile(const wchar_t* path) override {
        if (Id >= 20 && Id < 30) g_calls.push_back(Id);  // only the file test's formats
        return wcscmp(path, L"C:\\wanted.fake") == 0 && Id == 21 ? Solid(1, 1, RGBA{}) : Image();
    }
    Gui::Size GetSize() override { return Gui::Size(); }
    Line GetLine(int) override { return Line(); }
};

Raster* NullFactory() { return nullptr; }

// Decodes nothing at all.
template <int Id>
class NeverRaster : public Raster {
public:
    static Raster* Create() { return new NeverRaster; }
    Gui::Size GetSize() override { return Gui::Size(); }
    Line GetLine(int) override { return Line(); }
};

// Declared first: in a single process this runs before anything registers.
TEST(RasterFactories, WithNoFactoriesBothLoadersAnswerTheEmptyImage) {
    ASSERT_EQ(Raster::GetFactories().items, 0);
    EXPECT_TRUE(Raster::LoadAnyFile(L"C:\\x.png").IsEmpty());
    Request r{0, 4, 4};
    EXPECT_TRUE(Raster::LoadAnyMemory(&r, sizeof r).IsEmpty());
}

TEST(RasterFactories, RegistrationAppendsInOrderAndGrows) {
    const int before = Raster::GetFactories().items;
    for (int i = 0; i < 10; ++i) Raster::Register(&NeverRaster<100>::Create);
    Raster::Register(&NeverRaster<101>::Create);
    const Gui::VectorBase& v = Raster::GetFactories();
    ASSERT_EQ(v.items, before + 11);
    EXPECT_GE(v.alloc, v.items);
    const auto* f = static_cast<const Raster::Factory*>(v.vector);
    EXPECT_EQ(f[before], &NeverRaster<100>::Create);
    EXPECT_EQ(f[before + 10], &NeverRaster<101>::Create);
}

TEST(RasterFactories, AnEmptyResultIsOfferedToTheNextFormatInRegistrationOrder) {
    Raster::Register(&FakeRaster<1>::Create);
    Raster::Register(&NullFactory);
    Raster::Register(&FakeRaster<2>::Create);
    Raster::Register(&FakeRaster<3>::Create);
    g_calls.clear();
    // Factory 1 decodes a 0 x 0 image, so factory 2 gets the data.
    Request zero{1, 0, 0};
    EXPECT_TRUE(Raster::LoadAnyMemory(&zero, sizeof zero).IsEmpty());
    EXPECT_EQ(g_calls, std::vector<int>({1}));

    g_calls.clear();
    Request all{-1, 2, 3};
    Image img = Raster::LoadAnyMemory(&all, sizeof all);
    ASSERT_EQ(img.GetSize(), Gui::Size(2, 3));
    EXPECT_EQ(img.GetPixels()[0].r, 1);  // the first that answers wins, the rest are not asked
    EXPECT_EQ(g_calls, std::vector<int>({1}));

    g_calls.clear();
    Request second{3, 1, 1};
    img = Raster::LoadAnyMemory(&second, sizeof second);
    ASSERT_FALSE(img.IsEmpty());
    EXPECT_EQ(img.GetPixels()[0].r, 3);
}

TEST(RasterFactories, LoadAnyFileTriesEveryFormatUntilOneAnswers) {
    Raster::Register(&FakeRaster<20>::Create);
    Raster::Register(&FakeRaster<21>::Create);
    Raster::Register(&FakeRaster<22>::Create);
    g_calls.clear();
    EXPECT_EQ(Raster::LoadAnyFile(L"C:\\wanted.fake").GetSize(), Gui::Size(1, 1));
    EXPECT_EQ(g_calls, std::vector<int>({20, 21}));
    g_calls.clear();
    EXPECT_TRUE(Raster::LoadAnyFile(L"C:\\other.fake").IsEmpty());
    EXPECT_EQ(g_calls, std::vector<int>({20, 21, 22}));
}

TEST(RasterFactories, TwoThreadsLoadingThroughTheListAreSerialised) {
    Raster::Register(&FakeRaster<30>::Create);
    g_overlaps = 0;
    auto work = [] {
        for (int i = 0; i < 20; ++i) {
            Request r{-1, 1, 1};
            EXPECT_FALSE(Raster::LoadAnyMemory(&r, sizeof r).IsEmpty());
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(g_overlaps.load(), 0);
}

class Minimal : public Raster {
public:
    Gui::Size GetSize() override { return Gui::Size(); }
    Line GetLine(int) override { return Line(); }
};

TEST(Raster, TheBaseSlotsAnswerTheirFixedValues) {
    Minimal r;
    DWORD arg = 5;
    EXPECT_TRUE(r.Reserved0(arg).IsEmpty());
    EXPECT_TRUE(r.LoadFile(L"C:\\a.png").IsEmpty());
    EXPECT_TRUE(r.LoadMemory("abc", 3).IsEmpty());
    r.Reserved3(1);
    EXPECT_EQ(r.Reserved4(), 1);
    EXPECT_TRUE(r.Reserved5());
    EXPECT_EQ(r.Reserved9(0), -1);
    EXPECT_FALSE(r.Reserved10());
    EXPECT_EQ(r.Reserved11(), 0);
    EXPECT_EQ(r.Reserved12(), nullptr);
    EXPECT_EQ(r.Reserved13(), nullptr);
    const Raster::Info info = r.GetInfo();
    EXPECT_EQ(info.bpp, 32);
    EXPECT_EQ(info.colors, 0x1000000);
    EXPECT_EQ(info.extra, Gui::Size(0, 0));
    EXPECT_EQ(info.hotspot, Gui::Point(0, 0));
    EXPECT_EQ(info.reserved, 0);
}

TEST(RasterLine, AMoveHandsTheOwnershipOverAndClearsTheSource) {
    auto* row = static_cast<RGBA*>(malloc(8));
    auto* fmt = malloc(6);
    Minimal r;
    Raster::Line a(row, fmt, &r, true, true);
    Raster::Line b(std::move(a));
    EXPECT_FALSE(a.OwnsData());
    EXPECT_FALSE(a.OwnsFormatData());
    EXPECT_EQ(a.GetData(), row);  // the pointers are copied, only the flags move
    EXPECT_TRUE(b.OwnsData());
    EXPECT_TRUE(b.OwnsFormatData());
    EXPECT_EQ(b.GetFormatData(), fmt);
    EXPECT_EQ(b.GetRaster(), &r);
    Raster::Line c;
    c = std::move(b);
    EXPECT_TRUE(c.OwnsData());
    EXPECT_FALSE(b.OwnsData());
    Raster::Line empty;
    EXPECT_EQ(empty.GetData(), nullptr);
    EXPECT_EQ(empty.GetFormatData(), nullptr);
    EXPECT_EQ(empty.GetRaster(), nullptr);
    EXPECT_FALSE(empty.OwnsData());
}  // c frees both rows once (checked by the sanitiser builds)

TEST(ImageRaster, LinesPointIntoTheImagesOwnPixels) {
    ImageBuffer b(3, 2);
    for (int i = 0; i < 6; ++i) b.Begin()[i] = MakeRGBA(static_cast<BYTE>(i), 0, 0, 255);
    b.SetHotSpot(Gui::Point(1, 2));
    b.SetExtraPair(Gui::Point(7, 8));
    Image img(b);
    Gui::ImageRaster r(img);
    EXPECT_EQ(r.GetSize(), Gui::Size(3, 2));
    Raster::Line line = r.GetLine(1);
    EXPECT_EQ(line.GetData(), img.GetPixels() + 3);
    EXPECT_EQ(line.GetFormatData(), img.GetPixels() + 3);
    EXPECT_EQ(line.GetRaster(), nullptr);
    EXPECT_FALSE(line.OwnsData());
    EXPECT_FALSE(line.OwnsFormatData());
    const Raster::Info info = r.GetInfo();
    EXPECT_EQ(info.bpp, 32);
    EXPECT_EQ(info.colors, 0x1000000);
    EXPECT_EQ(info.extra, Gui::Size(7, 8));
    EXPECT_EQ(info.hotspot, Gui::Point(1, 2));
}

TEST(ImageRaster, AnEmptyImageGivesZeroSizeAndZeroInfo) {
    Gui::ImageRaster r{Image()};
    EXPECT_EQ(r.GetSize(), Gui::Size(0, 0));
    const Raster::Info info = r.GetInfo();
    EXPECT_EQ(info.bpp, 32);
    EXPECT_EQ(info.colors, 0x1000000);
    EXPECT_EQ(info.extra, Gui::Size(0, 0));
    EXPECT_EQ(info.hotspot, Gui::Point(0, 0));
}

TEST(ImageRaster, KeepsThePixelsAliveAfterTheOwnerReleasesTheImage) {
    Image img = Solid(2, 2, MakeRGBA(9, 8, 7, 255));
    Gui::ImageRaster r(img);
    img = Image();
    Raster::Line line = r.GetLine(1);
    EXPECT_EQ(line.GetData()[1], MakeRGBA(9, 8, 7, 255));
}

}  // namespace
