#include "gui/raster.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "gui/raster_format.h"

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
    Gui::ImageRaster owner{Image()};
    Raster::Line a(row, row, &owner, true, true);
    Raster::Line b(std::move(a));
    EXPECT_FALSE(a.OwnsData() || a.OwnsFormatData());
    EXPECT_TRUE(b.OwnsData() && b.OwnsFormatData() && b.GetRaster() == &owner);
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
    EXPECT_TRUE(line.GetData() == pixels + 3 && line.GetFormatData() == pixels + 3);
    EXPECT_FALSE(line.OwnsData() || line.OwnsFormatData());
    EXPECT_EQ(line.GetData()[1], MakeRGBA(4, 0, 0, 255));
    EXPECT_TRUE(r.GetInfo().extra == Gui::Size(7, 8) && r.GetInfo().hotspot == Gui::Point(1, 2));
    EXPECT_EQ(Gui::ImageRaster(Image()).GetSize(), Gui::Size(0, 0));
}

using Gui::ImageEncoder;
using Gui::RasterFormat;
using Bytes = std::vector<BYTE>;

std::vector<RGBA> Row(int n, int seed) {
    std::vector<RGBA> r(n);
    for (int i = 0; i < n; ++i) r[i] = MakeRGBA(seed, i, 3, 255);
    return r;
}

TEST(ImageEncoder, RowsGoStraightIntoTheImageAndRowsPastItsHeightAreDropped) {
    ImageEncoder e;
    e.Create(2, 1);  // used before, so the next size must start afresh
    e.WriteLine(Row(2, 0).data());
    e.Create(3, 2);
    EXPECT_EQ(e.GetLineBuffer(), e.GetBuffer().Begin());
    const std::vector<RGBA> first = Row(3, 1), second = Row(3, 2), extra = Row(3, 9);
    e.WriteLine(first.data());
    EXPECT_EQ(e.GetLineBuffer(), e.GetBuffer().Begin() + 3);
    memcpy(e.GetLineBuffer(), second.data(), 12);  // a row filled in place needs no copy
    e.WriteLine(e.GetLineBuffer());
    EXPECT_EQ(e.GetLineBuffer(), e.GetBuffer().Begin() + 3);  // never past the buffer
    e.WriteLine(extra.data());
    EXPECT_EQ(e.GetRowsWritten(), 2);
    const Gui::Image img = e.GetImage();
    ASSERT_EQ(img.GetSize(), Gui::Size(3, 2));
    EXPECT_EQ(std::vector<RGBA>(img[0], img[0] + 6),
              (std::vector<RGBA>{first[0], first[1], first[2], second[0], second[1], second[2]}));
    e.Create(4, 0);  // no rows: the encoder's own line takes what is written
    ASSERT_NE(e.GetLineBuffer(), nullptr);
    EXPECT_NE(e.GetLineBuffer(), e.GetBuffer().Begin());
    e.GetLineBuffer()[3] = MakeRGBA(1, 2, 3, 4);
    e.WriteLine(e.GetLineBuffer());
    EXPECT_TRUE(e.GetImage().IsEmpty());
    EXPECT_THROW(e.Create(Gui::Size(0x40000000, 1)), std::bad_alloc);  // the byte count overflows
}

// Keeps every raw row it receives.
class RecordingEncoder : public Gui::RasterEncoder {
public:
    void Start(Gui::Size) override { rows.clear(); }
    void WriteLineRaw(const void* row) override {
        const auto* p = static_cast<const BYTE*>(row);
        rows.emplace_back(p, p + GetRowBytes());
        pointers.push_back(row);
    }
    std::vector<Bytes> rows;
    std::vector<const void*> pointers;
};

RasterFormat Format(int type, int rpos = 0, int gpos = 0, int bpos = 0, int apos = 0) {
    RasterFormat f{};
    f.type = BYTE(type), f.rpos = BYTE(rpos), f.gpos = BYTE(gpos), f.bpos = BYTE(bpos);
    f.apos = BYTE(apos);
    return f;
}

// Nothing in the program writes another format yet: one test of the conversion's sound
// behaviour. The native format passes as it is; other rows are converted for the sink,
// packed bits end with the row and an unknown type writes nothing.
TEST(RasterEncoder, RowsOfAnotherFormatAreConvertedAndTheNativeOnePassesAsItIs) {
    RecordingEncoder native;
    native.Create(Gui::Size(2, 1));
    const std::vector<RGBA> r = Row(2, 4);
    native.WriteLine(r.data());
    ASSERT_EQ(native.pointers, std::vector<const void*>{r.data()});
    RecordingEncoder e;
    e.SetFormat(Format(6, 0, 1, 2));
    e.Create(Gui::Size(2, 2));
    RGBA row[2] = {MakeRGBA(10, 20, 30, 255), MakeRGBA(40, 50, 60, 255)};
    e.WriteLine(row);
    row[0].r = 11;
    e.WriteLine(row);
    EXPECT_EQ(e.rows, (std::vector<Bytes>{{10, 20, 30, 40, 50, 60}, {11, 20, 30, 40, 50, 60}}));
    RecordingEncoder paletted;
    paletted.SetFormat(Format(3));
    auto table = std::make_unique<BYTE[]>(1 << 15);
    table[Gui::PaletteKey(row[1])] = 42;
    paletted.SetPaletteTable(std::move(table));
    paletted.Create(Gui::Size(1, 1));
    paletted.WriteLine(row + 1);
    EXPECT_EQ(paletted.rows, std::vector<Bytes>{{42}});
    EXPECT_EQ(paletted.GetPalette(), paletted.GetPalette());  // made once

    std::vector<RGBA> nine(9, MakeRGBA(0, 0, 0, 255));
    nine[0].g = 0x80;
    nine[8].g = 0xff;
    const std::vector<RGBA> two = {MakeRGBA(1, 2, 3, 4), MakeRGBA(5, 6, 7, 8)};
    const std::vector<RGBA> alphas = {MakeRGBA(9, 9, 9, 0), MakeRGBA(255, 128, 0, 255),
                                      MakeRGBA(64, 32, 1, 128)};
    const struct {
        RasterFormat format;
        std::vector<RGBA> row;
        Bytes want;  // 0xEE: left alone
    } rows[] = {
        {Format(0), nine, {0x01, 0x01, 0xEE}},  // the top bit of green, last pixel lowest
        {Format(8, 0, 1, 2, 3), alphas, {0, 0, 0, 0, 255, 128, 0, 255, 128, 64, 2, 128}},
        {Format(10, 0, 1, 2, 3), two, Bytes(8, 0xEE)},
        {Format(32 | 3, 0, 1, 2, 3), two, Bytes(8, 0xEE)},
    };
    for (const auto& row : rows) {
        Bytes out(row.want.size() + 2, 0xEE), want = row.want;  // and nothing past the row
        want.insert(want.end(), 2, 0xEE);
        RasterFormat::Write(out.data(), row.row.data(), row.format, int(row.row.size()), nullptr);
        EXPECT_EQ(out, want) << int(row.format.type);
    }
    EXPECT_EQ(Format(0).GetByteCount(9), 2);
}

}  // namespace
