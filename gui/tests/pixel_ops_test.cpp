#include "gui/pixel_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

using Gui::Color;
using Gui::MakeRGBA;
using Gui::RGBA;
using Op = std::function<void(RGBA* t, const RGBA* s)>;

TEST(PixelOps, EveryBlendKeepsItsArithmetic) {
    const RGBA half_grey = MakeRGBA(64, 64, 64, 128), quarter = MakeRGBA(255, 0, 100, 64);
    const RGBA some = MakeRGBA(200, 100, 50, 77), white_half = MakeRGBA(255, 255, 255, 128);
    const RGBA clear = MakeRGBA(0, 0, 0, 0), black = MakeRGBA(0, 0, 0, 255);
    const Op premultiplied = [](RGBA* t, const RGBA* s) { Gui::AlphaBlendPremultiplied(t, s, 1); };
    const Op straight = [](RGBA* t, const RGBA* s) { Gui::AlphaBlendStraight(t, s, 1); };
    const Op over = [](RGBA* t, const RGBA* s) { Gui::AlphaBlendOver(t, s, 1); };
    const struct {
        Op op;
        RGBA t, s, want;
    } rows[] = {
        {premultiplied, MakeRGBA(10, 20, 30, 40), MakeRGBA(200, 100, 50, 255),
         MakeRGBA(200, 100, 50, 255)},
        {premultiplied, MakeRGBA(50, 60, 70, 80), clear, MakeRGBA(50, 60, 70, 80)},
        // 128 weighs 129, so 127 of the target is kept: (127 * t >> 8) + s.
        {premultiplied, MakeRGBA(200, 100, 0, 255), half_grey, MakeRGBA(163, 113, 64, 254)},
        {straight, MakeRGBA(0, 100, 200, 0), quarter, MakeRGBA(63, 75, 175, 64)},
        {straight, MakeRGBA(3, 3, 3, 0), MakeRGBA(0, 0, 0, 1), MakeRGBA(2, 2, 2, 1)},  // floor
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendStraightOpaque(t, s, 1); },
         MakeRGBA(0, 100, 200, 0), quarter, MakeRGBA(63, 75, 175, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendColor(t, s, 1, Color(10, 20, 30)); },
         MakeRGBA(0, 0, 0, 100), MakeRGBA(1, 2, 3, 255), MakeRGBA(10, 20, 30, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendOpaqueColor(t, s, 1, Color()); },
         MakeRGBA(40, 40, 40, 0), MakeRGBA(0, 0, 0, 128), MakeRGBA(19, 19, 19, 255)},
        {over, clear, some, some},
        {over, black, white_half, MakeRGBA(128, 128, 128, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendOverColor(t, s, 1, Color(1, 2, 3)); }, clear,
         some, MakeRGBA(1, 2, 3, 77)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendUnder(t, *s, 1); }, MakeRGBA(10, 20, 30, 255),
         MakeRGBA(200, 200, 200, 255), MakeRGBA(10, 20, 30, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendUnder(t, *s, 1); }, MakeRGBA(10, 20, 30, 0),
         MakeRGBA(200, 200, 200, 255), MakeRGBA(200, 200, 200, 255)},
    };
    int i = 0;
    for (const auto& row : rows) {
        RGBA t[2] = {row.t, MakeRGBA(1, 2, 3, 4)};
        row.op(t, &row.s);
        EXPECT_EQ(t[0], row.want) << "row " << i;
        EXPECT_EQ(t[1], MakeRGBA(1, 2, 3, 4)) << "row " << i++;
    }
    RGBA px[3] = {MakeRGBA(1, 2, 3, 10), MakeRGBA(4, 5, 6, 20), MakeRGBA(7, 8, 9, 30)};
    Gui::FillRGB(px, MakeRGBA(100, 110, 120, 255), 3);
    EXPECT_EQ(px[2], MakeRGBA(100, 110, 120, 30));
    Gui::Fill(px, MakeRGBA(9, 8, 7, 6), 2);
    Gui::Copy(px + 1, px + 2, 1);
    EXPECT_EQ(std::vector<RGBA>(px, px + 3),
              (std::vector<RGBA>{MakeRGBA(9, 8, 7, 6), MakeRGBA(100, 110, 120, 30),
                                 MakeRGBA(100, 110, 120, 30)}));
}

TEST(PixelOps, RunLengthRowsUnpackWithinTheRow) {
    const struct {
        std::vector<BYTE> src;
        int count, used;
        std::vector<RGBA> want;
    } rows[] = {
        {{0xC3, 0x55}, 3, 1, std::vector<RGBA>(3, MakeRGBA(0, 0, 0, 0))},  // transparent run
        {{0x83, 10, 20, 30, 0x99}, 3, 4, std::vector<RGBA>(3, MakeRGBA(30, 20, 10, 255))},
        {{0x02, 1, 2, 3, 4, 5, 6, 0x00},
         3,
         7,  // the end code clears the rest, unread
         {MakeRGBA(3, 2, 1, 255), MakeRGBA(6, 5, 4, 255), MakeRGBA(0, 0, 0, 0)}},
        {{0x01, 7, 7, 7, 0x85, 1, 2, 3},
         3,
         8,
         {MakeRGBA(7, 7, 7, 255), MakeRGBA(3, 2, 1, 255),
          MakeRGBA(3, 2, 1, 255)}},  // cut to the row
        {{0x03, 1, 1, 1, 2, 2, 2, 3, 3, 3}, 2, 7, {MakeRGBA(1, 1, 1, 255), MakeRGBA(2, 2, 2, 255)}},
    };
    for (const auto& row : rows) {
        std::vector<RGBA> t(row.count + 2, MakeRGBA(9, 9, 9, 9)), want = row.want;
        want.insert(want.end(), 2, MakeRGBA(9, 9, 9, 9));  // nothing past the row
        EXPECT_EQ(Gui::UnpackRLE(t.data(), row.src.data(), row.count) - row.src.data(), row.used);
        EXPECT_EQ(t, want) << row.used;
    }
}

TEST(PixelOps, TablesAreExactAndMadeOnceForRacingThreads) {
    std::vector<const Gui::AlphaTableEntry*> seen(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = Gui::InitAlphaTable(); });
    for (auto& t : threads) t.join();
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
    const Gui::AlphaTableEntry* table = seen[0];
    for (int d = 0; d < 256; ++d) {
        EXPECT_EQ(table[(d << 8) + 255].weight, 256) << d;
        EXPECT_EQ(table[(d << 8) + 255].alpha, 255) << d;
        EXPECT_EQ(table[(d << 8) + 0].alpha, d) << d;
        EXPECT_EQ(table[(d << 8) + 0].weight, 0) << d;
    }
    // S = 128 over D = 128: alpha 192.25, weight 170.89, both rounded.
    EXPECT_EQ(table[(128 << 8) + 128].alpha, 192);
    EXPECT_EQ(table[(128 << 8) + 128].weight, 171);
    const DWORD* unmultiply = Gui::InitUnmultiplyTable();
    EXPECT_EQ(std::vector<DWORD>({unmultiply[0], unmultiply[1], unmultiply[3], unmultiply[255]}),
              std::vector<DWORD>({0, 65536, 21845, 257}));
}

TEST(PixelOps, ColoursConvert) {
    EXPECT_EQ(Gui::GetColorRef(Color()), 0u);
    EXPECT_EQ(Gui::GetColorRef(Color::FromRaw(0x12345678)), 0x345678u);
    EXPECT_TRUE(Gui::ColorFromRGBA(MakeRGBA(9, 9, 9, 0)).IsNull());
    EXPECT_EQ(Gui::ColorFromRGBA(MakeRGBA(1, 2, 3, 255)), Color(1, 2, 3));
    EXPECT_EQ(Gui::ColorFromRGBA(MakeRGBA(64, 10, 127, 128)), Color(128, 20, 254));
    const Color a(0, 100, 200), b(200, 100, 0);
    EXPECT_EQ(Gui::Blend(a, b, 0), a);
    EXPECT_EQ(Gui::Blend(a, b, 255), b);
    EXPECT_EQ(Gui::Blend(a, b, 128), Color(100, 100, 99));  // 128 weighs 129, floor shifts
    EXPECT_EQ(Gui::Blend(Color(), Gui::White(), 255), Gui::White());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Gui::GetChannelPosition(0xFFu << (8 * i)), i);
    EXPECT_EQ(Gui::GetChannelPosition(0xf800), 0);
}

}  // namespace
