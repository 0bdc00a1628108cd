#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <vector>

#include "gui/image_ops.h"
#include "gui/raster.h"

namespace {

using Gui::Image;
using Gui::ImageBuffer;
using Gui::ImageEncoder;
using Gui::MakeRGBA;
using Gui::RGBA;

std::vector<RGBA> Row(int n, int seed) {
    std::vector<RGBA> r(n);
    for (int i = 0; i < n; ++i)
        r[i] = MakeRGBA(static_cast<BYTE>(seed), static_cast<BYTE>(i), 3, 255);
    return r;
}

// Keeps every raw row it receives.
class RecordingEncoder : public Gui::RasterEncoder {
public:
    void Start(Gui::Size size) override {
        started = size;
        rows.clear();
    }
    void WriteLineRaw(const void* row) override {
        const auto* p = static_cast<const BYTE*>(row);
        rows.emplace_back(p, p + GetRowBytes());
        raw_pointers.push_back(row);
    }
    Gui::Size started;
    std::vector<std::vector<BYTE>> rows;
    std::vector<const void*> raw_pointers;
};

TEST(ImageEncoder, RowsGoStraightIntoTheImageBuffer) {
    ImageEncoder e;
    e.Create(Gui::Size(3, 2));
    EXPECT_EQ(e.GetLineBuffer(), e.GetBuffer().Begin());
    std::vector<RGBA> first = Row(3, 1);
    e.WriteLine(first.data());
    EXPECT_EQ(e.GetRowsWritten(), 1);
    EXPECT_EQ(e.GetLineBuffer(), e.GetBuffer().Begin() + 3);
    // A writer that fills the current line in place needs no copy.
    RGBA* line = e.GetLineBuffer();
    for (int i = 0; i < 3; ++i) line[i] = MakeRGBA(2, static_cast<BYTE>(i), 3, 255);
    e.WriteLine(line);
    Image img = e.GetImage();
    ASSERT_EQ(img.GetSize(), Gui::Size(3, 2));
    EXPECT_EQ(memcmp(img.GetRow(0), first.data(), 12), 0);
    std::vector<RGBA> second = Row(3, 2);
    EXPECT_EQ(memcmp(img.GetRow(1), second.data(), 12), 0);
}

TEST(ImageEncoder, TheLastRowDoesNotMoveTheLinePastTheBuffer) {
    ImageEncoder e;
    e.Create(Gui::Size(2, 2));
    std::vector<RGBA> r = Row(2, 5);
    e.WriteLine(r.data());
    RGBA* last = e.GetLineBuffer();
    e.WriteLine(r.data());
    EXPECT_EQ(e.GetRowsWritten(), 2);
    EXPECT_EQ(e.GetLineBuffer(), last);
    EXPECT_EQ(last, e.GetBuffer().Begin() + 2);
}

TEST(ImageEncoder, RowsBeyondTheHeightLeaveTheLastRowAlone) {
    ImageEncoder e;
    e.Create(Gui::Size(2, 1));
    std::vector<RGBA> good = Row(2, 1), extra = Row(2, 9);
    e.WriteLine(good.data());
    e.WriteLine(extra.data());
    EXPECT_EQ(e.GetRowsWritten(), 1);
    Image img = e.GetImage();
    EXPECT_EQ(memcmp(img.GetPixels(), good.data(), 8), 0);
}

TEST(ImageEncoder, HeightZeroKeepsTheOwnLineAndMakesTheEmptyImage) {
    ImageEncoder e;
    e.Create(Gui::Size(4, 0));
    ASSERT_NE(e.GetLineBuffer(), nullptr);
    e.GetLineBuffer()[3] = MakeRGBA(1, 2, 3, 4);  // the own buffer holds a whole row
    e.WriteLine(e.GetLineBuffer());
    EXPECT_EQ(e.GetHeight(), 0);
    EXPECT_TRUE(e.GetImage().IsEmpty());
}

TEST(ImageEncoder, IsReusableForANewSize) {
    ImageEncoder e;
    e.Create(2, 1);
    std::vector<RGBA> a = Row(2, 1);
    e.WriteLine(a.data());
    EXPECT_EQ(e.GetImage().GetSize(), Gui::Size(2, 1));
    e.Create(1, 3);
    EXPECT_EQ(e.GetRowsWritten(), 0);
    for (int i = 0; i < 3; ++i) {
        std::vector<RGBA> r = Row(1, i);
        e.WriteLine(r.data());
    }
    Image img = e.GetImage();
    ASSERT_EQ(img.GetSize(), Gui::Size(1, 3));
    EXPECT_EQ(img.GetRow(2)[0].r, 2);
}

TEST(RasterEncoder, TheNativeFormatPassesTheCallersRowUnchanged) {
    RecordingEncoder e;
    e.Create(Gui::Size(2, 1));
    EXPECT_EQ(e.started, Gui::Size(2, 1));
    EXPECT_EQ(e.GetRowBytes(), 8);
    std::vector<RGBA> r = Row(2, 4);
    e.WriteLine(r.data());
    ASSERT_EQ(e.raw_pointers.size(), 1u);
    EXPECT_EQ(e.raw_pointers[0], r.data());
}

TEST(RasterEncoder, AnotherFormatGetsEachRowConverted) {
    RecordingEncoder e;
    Gui::RasterFormat f;
    f.SetRGBA();
    f.type = Gui::RasterFormat::RF_24;
    f.rpos = 0;
    f.gpos = 1;
    f.bpos = 2;
    e.SetFormat(f);
    e.Create(Gui::Size(2, 2));
    EXPECT_EQ(e.GetRowBytes(), 6);
    RGBA row[2] = {MakeRGBA(10, 20, 30, 255), MakeRGBA(40, 50, 60, 255)};
    e.WriteLine(row);
    row[0].r = 11;
    e.WriteLine(row);
    ASSERT_EQ(e.rows.size(), 2u);
    EXPECT_EQ(e.rows[0], std::vector<BYTE>({10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(e.rows[1], std::vector<BYTE>({11, 20, 30, 40, 50, 60}));
    EXPECT_NE(e.raw_pointers[0], static_cast<const void*>(row));
}

TEST(RasterEncoder, APaletteTableReachesTheConversion) {
    RecordingEncoder e;
    Gui::RasterFormat f;
    f.SetRGBA();
    f.type = Gui::RasterFormat::RF_8;
    e.SetFormat(f);
    auto table = std::make_unique<BYTE[]>(1 << 15);
    const RGBA red = MakeRGBA(255, 0, 0, 255);
    table[Gui::PaletteKey(red)] = 42;
    e.SetPaletteTable(std::move(table));
    e.Create(Gui::Size(1, 1));
    e.WriteLine(&red);
    ASSERT_EQ(e.rows.size(), 1u);
    EXPECT_EQ(e.rows[0], std::vector<BYTE>({42}));
}

TEST(RasterEncoder, ThePaletteIsMadeOnceWith256Entries) {
    RecordingEncoder e;
    EXPECT_EQ(e.GetPaletteCount(), 0);
    RGBA* p = e.GetPalette();
    ASSERT_NE(p, nullptr);
    p[255] = MakeRGBA(1, 2, 3, 4);  // the last entry is ours to write
    EXPECT_EQ(e.GetPalette(), p);
}

TEST(RasterEncoder, AWidthWhoseByteCountOverflowsFailsTheAllocation) {
    ImageEncoder e;
    EXPECT_THROW(e.Create(Gui::Size(0x40000000, 1)), std::bad_alloc);
}

TEST(RasterFormat, ByteCountsRoundUpToWholeBytes) {
    Gui::RasterFormat f;
    f.SetRGBA();
    f.type = Gui::RasterFormat::RF_1;
    EXPECT_EQ(f.GetByteCount(9), 2);
    f.type = Gui::RasterFormat::RF_24;
    EXPECT_EQ(f.GetByteCount(3), 9);
}

}  // namespace
