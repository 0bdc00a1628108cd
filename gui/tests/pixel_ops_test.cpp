#include "gui/pixel_ops.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Gui::MakeRGBA;
using Gui::RGBA;

TEST(PixelRuns, FillSetsEveryPixelAndFillRGBKeepsAlpha) {
    RGBA px[3] = {MakeRGBA(1, 2, 3, 10), MakeRGBA(4, 5, 6, 20), MakeRGBA(7, 8, 9, 30)};
    Gui::FillRGB(px, MakeRGBA(100, 110, 120, 255), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(px[i], MakeRGBA(100, 110, 120, 10 * (i + 1)));
    Gui::Fill(px, MakeRGBA(9, 8, 7, 6), 2);
    EXPECT_EQ(px[0], MakeRGBA(9, 8, 7, 6));
    EXPECT_EQ(px[1], MakeRGBA(9, 8, 7, 6));
    EXPECT_EQ(px[2], MakeRGBA(100, 110, 120, 30));
}

TEST(PixelRuns, CopyCopiesCountPixels) {
    RGBA s[2] = {MakeRGBA(1, 2, 3, 4), MakeRGBA(5, 6, 7, 8)};
    RGBA t[3] = {};
    Gui::Copy(t, s, 2);
    EXPECT_EQ(t[0], s[0]);
    EXPECT_EQ(t[1], s[1]);
    EXPECT_EQ(t[2], MakeRGBA(0, 0, 0, 0));
}

TEST(UnpackRLE, TransparentRepeatConsumesOneByte) {
    const BYTE src[] = {0xC3, 0x55};
    RGBA t[3];
    Gui::Fill(t, MakeRGBA(1, 1, 1, 1), 3);
    EXPECT_EQ(Gui::UnpackRLE(t, src, 3), src + 1);
    for (auto& p : t) EXPECT_EQ(p, MakeRGBA(0, 0, 0, 0));
}

TEST(UnpackRLE, ColourRepeatReadsOneTripleInBlueGreenRedOrder) {
    const BYTE src[] = {0x83, 10, 20, 30, 0x99};
    RGBA t[3];
    EXPECT_EQ(Gui::UnpackRLE(t, src, 3), src + 4);
    for (auto& p : t) EXPECT_EQ(p, MakeRGBA(30, 20, 10, 255));
}

TEST(UnpackRLE, LiteralsThenEndCodeClearsTheRestWithoutConsumingIt) {
    const BYTE src[] = {0x02, 1, 2, 3, 4, 5, 6, 0x00};
    RGBA t[5];
    Gui::Fill(t, MakeRGBA(9, 9, 9, 9), 5);
    EXPECT_EQ(Gui::UnpackRLE(t, src, 5), src + 7);
    EXPECT_EQ(t[0], MakeRGBA(3, 2, 1, 255));
    EXPECT_EQ(t[1], MakeRGBA(6, 5, 4, 255));
    for (int i = 2; i < 5; ++i) EXPECT_EQ(t[i], MakeRGBA(0, 0, 0, 0));
}

TEST(UnpackRLE, RepeatIsCutToTheRoomLeftInTheRow) {
    const BYTE src[] = {0x01, 7, 7, 7, 0x85, 1, 2, 3};
    RGBA t[3];
    EXPECT_EQ(Gui::UnpackRLE(t, src, 3), src + 8);
    EXPECT_EQ(t[2], MakeRGBA(3, 2, 1, 255));
}

TEST(UnpackRLE, LiteralRunStopsWhenTheRowIsFull) {
    const BYTE src[] = {0x03, 1, 1, 1, 2, 2, 2, 3, 3, 3};
    RGBA t[2];
    EXPECT_EQ(Gui::UnpackRLE(t, src, 2), src + 7);
    EXPECT_EQ(t[1], MakeRGBA(2, 2, 2, 255));
}

TEST(Compositing, PremultipliedOpaqueSourceReplacesAndClearSourceKeeps) {
    RGBA t[2] = {MakeRGBA(10, 20, 30, 40), MakeRGBA(50, 60, 70, 80)};
    const RGBA s[2] = {MakeRGBA(200, 100, 50, 255), MakeRGBA(0, 0, 0, 0)};
    Gui::AlphaBlendPremultiplied(t, s, 2);
    EXPECT_EQ(t[0], s[0]);
    EXPECT_EQ(t[1], MakeRGBA(50, 60, 70, 80));
}

TEST(Compositing, PremultipliedHalfAlphaUsesTheStatedArithmetic) {
    RGBA t = MakeRGBA(200, 100, 0, 255);
    const RGBA s = MakeRGBA(64, 64, 64, 128);  // a' = 129, keep 127
    Gui::AlphaBlendPremultiplied(&t, &s, 1);
    EXPECT_EQ(t,
              MakeRGBA((127 * 200 >> 8) + 64, (127 * 100 >> 8) + 64, 64, (127 * 255 >> 8) + 128));
}

TEST(Compositing, StraightMovesTowardsTheSourceByItsAlpha) {
    RGBA t = MakeRGBA(0, 100, 200, 0);
    const RGBA s = MakeRGBA(255, 0, 100, 64);  // a' = 64
    Gui::AlphaBlendStraight(&t, &s, 1);
    EXPECT_EQ(t, MakeRGBA(63, 75, 175, 64));
    RGBA u = MakeRGBA(0, 100, 200, 0);
    Gui::AlphaBlendStraightOpaque(&u, &s, 1);
    EXPECT_EQ(u, MakeRGBA(63, 75, 175, 255));
}

TEST(Compositing, ColourRunsUseTheColourAndTheSourceAlpha) {
    RGBA t = MakeRGBA(0, 0, 0, 100);
    const RGBA s = MakeRGBA(1, 2, 3, 255);
    Gui::AlphaBlendColor(&t, &s, 1, Gui::Color(10, 20, 30));
    EXPECT_EQ(t, MakeRGBA(10, 20, 30, 255));
    RGBA n = MakeRGBA(40, 40, 40, 0);
    const RGBA half = MakeRGBA(0, 0, 0, 128);
    Gui::AlphaBlendOpaqueColor(&n, &half, 1, Gui::Color());  // null colour is black
    EXPECT_EQ(n, MakeRGBA(19, 19, 19, 255));                 // 40 + floor(-40 * 129 / 256)
}

TEST(Compositing, NegativeProductsShiftTowardsMinusInfinity) {
    RGBA t = MakeRGBA(3, 3, 3, 0);
    const RGBA s = MakeRGBA(0, 0, 0, 1);  // a' = 1: (-3 * 1) >> 8 is -1
    Gui::AlphaBlendStraight(&t, &s, 1);
    EXPECT_EQ(t, MakeRGBA(2, 2, 2, 1));
}

TEST(AlphaTable, CornersAreExact) {
    const Gui::AlphaTableEntry* table = Gui::InitAlphaTable();
    EXPECT_EQ(table[0].weight, 0);
    EXPECT_EQ(table[0].alpha, 0);
    for (int d = 0; d < 256; ++d) {
        EXPECT_EQ(table[(d << 8) + 255].weight, 256) << d;
        EXPECT_EQ(table[(d << 8) + 255].alpha, 255) << d;
        EXPECT_EQ(table[(d << 8) + 0].alpha, d) << d;
        if (d > 0) {
            EXPECT_EQ(table[(d << 8) + 0].weight, 0) << d;
        }
    }
    // S = 128 over D = 128: ao = 0.75195, alpha 192.25, weight 170.89, both rounded
    EXPECT_EQ(table[(128 << 8) + 128].alpha, 192);
    EXPECT_EQ(table[(128 << 8) + 128].weight, 171);
}

TEST(AlphaTable, ThreadsRacingToTheFirstUseGetOneTable) {
    std::vector<const Gui::AlphaTableEntry*> seen(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = Gui::InitAlphaTable(); });
    for (auto& t : threads) t.join();
    for (auto* p : seen) EXPECT_EQ(p, seen[0]);
    EXPECT_EQ(seen[0][(255 << 8) + 255].alpha, 255);
}

TEST(Compositing, OverUsesTheTableWeightAndAlpha) {
    RGBA t = MakeRGBA(0, 0, 0, 0);
    const RGBA s = MakeRGBA(200, 100, 50, 77);
    Gui::AlphaBlendOver(&t, &s, 1);  // over a clear target the source shows as it is
    EXPECT_EQ(t, MakeRGBA(200, 100, 50, 77));
    RGBA u = MakeRGBA(0, 0, 0, 255);
    const RGBA half = MakeRGBA(255, 255, 255, 128);  // weight 129 over an opaque target
    Gui::AlphaBlendOver(&u, &half, 1);
    EXPECT_EQ(u, MakeRGBA(128, 128, 128, 255));
    RGBA v = MakeRGBA(0, 0, 0, 0);
    Gui::AlphaBlendOverColor(&v, &s, 1, Gui::Color(1, 2, 3));
    EXPECT_EQ(v, MakeRGBA(1, 2, 3, 77));
}

TEST(Compositing, UnderPutsTheBackgroundBehind) {
    RGBA t[2] = {MakeRGBA(10, 20, 30, 255), MakeRGBA(10, 20, 30, 0)};
    Gui::AlphaBlendUnder(t, MakeRGBA(200, 200, 200, 255), 2);
    EXPECT_EQ(t[0], MakeRGBA(10, 20, 30, 255));
    EXPECT_EQ(t[1], MakeRGBA(200, 200, 200, 255));
}

TEST(UnmultiplyTable, HoldsTheIntegerQuotients) {
    const DWORD* t = Gui::InitUnmultiplyTable();
    EXPECT_EQ(t[0], 0u);
    EXPECT_EQ(t[1], 65536u);
    EXPECT_EQ(t[3], 21845u);
    EXPECT_EQ(t[255], 257u);
}

TEST(Colours, GetColorRefMakesNullBlackAndKeepsTheLow24Bits) {
    EXPECT_EQ(Gui::GetColorRef(Gui::Color()), 0u);
    EXPECT_EQ(Gui::GetColorRef(Gui::Color::FromRaw(0x12345678)), 0x345678u);
}

TEST(Colours, ColorFromRGBAUndoesPremultiplication) {
    EXPECT_TRUE(Gui::ColorFromRGBA(MakeRGBA(9, 9, 9, 0)).IsNull());
    EXPECT_EQ(Gui::ColorFromRGBA(MakeRGBA(1, 2, 3, 255)), Gui::Color(1, 2, 3));
    // f = 65536 / 128 = 512: c * 512 >> 8 = 2c
    EXPECT_EQ(Gui::ColorFromRGBA(MakeRGBA(64, 10, 127, 128)), Gui::Color(128, 20, 254));
}

TEST(Colours, BlendGoesFromAToB) {
    const Gui::Color a(0, 100, 200), b(200, 100, 0);
    EXPECT_EQ(Gui::Blend(a, b, 0), a);
    EXPECT_EQ(Gui::Blend(a, b, 255), b);
    EXPECT_EQ(Gui::Blend(a, b, 128), Gui::Color(100, 100, 99));  // a' = 129, floor shifts
    EXPECT_EQ(Gui::Blend(Gui::Color(), Gui::White(), 255), Gui::White());
}

TEST(Colours, ChannelPositionOfMasks) {
    EXPECT_EQ(Gui::GetChannelPosition(0xff000000), 3);
    EXPECT_EQ(Gui::GetChannelPosition(0xff0000), 2);
    EXPECT_EQ(Gui::GetChannelPosition(0xff00), 1);
    EXPECT_EQ(Gui::GetChannelPosition(0xff), 0);
    EXPECT_EQ(Gui::GetChannelPosition(0xf800), 0);
}

}  // namespace
