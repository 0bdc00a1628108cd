// Nothing in the program composes through these yet: one test of their sound behaviour,
// a row or a check for each.
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

TEST(PixelOps, EachOperationKeepsItsArithmeticOverTablesMadeOnce) {
    std::vector<const Gui::AlphaTableEntry*> seen(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = Gui::InitAlphaTable(); });
    for (auto& t : threads) t.join();
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
    // S = 128 over D = 128: alpha 192.25, weight 170.89, both rounded.
    EXPECT_EQ(seen[0][(128 << 8) + 128].alpha, 192);
    EXPECT_EQ(seen[0][(128 << 8) + 128].weight, 171);
    const DWORD* unmultiply = Gui::InitUnmultiplyTable();
    EXPECT_EQ(std::vector<DWORD>({unmultiply[0], unmultiply[1], unmultiply[3], unmultiply[255]}),
              std::vector<DWORD>({0, 65536, 21845, 257}));

    const RGBA some = MakeRGBA(200, 100, 50, 77), quarter = MakeRGBA(255, 0, 100, 64);
    const struct {
        Op op;
        RGBA t, s, want;
    } rows[] = {
        // 128 weighs 129, so 127 of the target is kept: (127 * t >> 8) + s.
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendPremultiplied(t, s, 1); },
         MakeRGBA(200, 100, 0, 255), MakeRGBA(64, 64, 64, 128), MakeRGBA(163, 113, 64, 254)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendStraight(t, s, 1); }, MakeRGBA(3, 3, 3, 0),
         MakeRGBA(0, 0, 0, 1), MakeRGBA(2, 2, 2, 1)},  // floored
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendStraightOpaque(t, s, 1); },
         MakeRGBA(0, 100, 200, 0), quarter, MakeRGBA(63, 75, 175, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendColor(t, s, 1, Color(10, 20, 30)); },
         MakeRGBA(0, 0, 0, 100), MakeRGBA(1, 2, 3, 255), MakeRGBA(10, 20, 30, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendOpaqueColor(t, s, 1, Color()); },
         MakeRGBA(40, 40, 40, 0), MakeRGBA(0, 0, 0, 128), MakeRGBA(19, 19, 19, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendOver(t, s, 1); }, MakeRGBA(0, 0, 0, 255),
         MakeRGBA(255, 255, 255, 128), MakeRGBA(128, 128, 128, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendOverColor(t, s, 1, Color(1, 2, 3)); },
         MakeRGBA(0, 0, 0, 0), some, MakeRGBA(1, 2, 3, 77)},
        {[](RGBA* t, const RGBA* s) { Gui::AlphaBlendUnder(t, *s, 1); }, MakeRGBA(10, 20, 30, 0),
         MakeRGBA(200, 200, 200, 255), MakeRGBA(200, 200, 200, 255)},
        {[](RGBA* t, const RGBA* s) { Gui::FillRGB(t, *s, 1); }, MakeRGBA(1, 2, 3, 30), some,
         MakeRGBA(200, 100, 50, 30)},
        // A literal run cut to the row: only the codes of the pixel that fits are read.
        {[](RGBA* t, const RGBA*) {
             const BYTE codes[] = {0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9};
             EXPECT_EQ(Gui::UnpackRLE(t, codes, 1) - codes, 4);
         },
         RGBA{}, RGBA{}, MakeRGBA(3, 2, 1, 255)},
    };
    for (const auto& row : rows) {
        RGBA t[2] = {row.t, MakeRGBA(1, 2, 3, 4)};
        row.op(t, &row.s);
        EXPECT_EQ(t[0], row.want) << &row - rows;
        EXPECT_EQ(t[1], MakeRGBA(1, 2, 3, 4)) << "past the run: row " << &row - rows;
    }
    RGBA px[3] = {};
    Gui::Fill(px, some, 2);
    Gui::Copy(px + 1, px + 2, 1);
    EXPECT_EQ(std::vector<RGBA>(px, px + 3), (std::vector<RGBA>{some, RGBA{}, RGBA{}}));

    EXPECT_EQ(Gui::GetColorRef(Color::FromRaw(0x12345678)), 0x345678u);
    EXPECT_TRUE(Gui::ColorFromRGBA(MakeRGBA(9, 9, 9, 0)).IsNull());
    EXPECT_EQ(Gui::ColorFromRGBA(MakeRGBA(64, 10, 127, 128)), Color(128, 20, 254));
    EXPECT_EQ(Gui::Blend(Color(0, 100, 200), Color(200, 100, 0), 128), Color(100, 100, 99));
    EXPECT_EQ(Gui::GetChannelPosition(0xf800), 0);
    EXPECT_EQ(Gui::GetChannelPosition(0xFF0000), 2);
}

}  // namespace
