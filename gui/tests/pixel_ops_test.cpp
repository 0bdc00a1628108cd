// Nothing in the program composes through these yet: one test of their sound behaviour.
#include "gui/pixel_ops.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Gui::MakeRGBA;
using Gui::RGBA;

// The tables are made once for racing threads, and the blends over them keep their
// arithmetic without touching the pixel past the run.
TEST(PixelOps, TablesAreMadeOnceForRacingThreadsAndBlendsKeepTheirArithmetic) {
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

    const RGBA after = MakeRGBA(1, 2, 3, 4);
    RGBA t[2] = {MakeRGBA(200, 100, 0, 255), after};
    // 128 weighs 129, so 127 of the target is kept: (127 * t >> 8) + s.
    const RGBA half_grey = MakeRGBA(64, 64, 64, 128);
    Gui::AlphaBlendPremultiplied(t, &half_grey, 1);
    EXPECT_EQ(t[0], MakeRGBA(163, 113, 64, 254));
    t[0] = MakeRGBA(0, 0, 0, 255);
    const RGBA white_half = MakeRGBA(255, 255, 255, 128);
    Gui::AlphaBlendOver(t, &white_half, 1);
    EXPECT_EQ(t[0], MakeRGBA(128, 128, 128, 255));
    t[0] = MakeRGBA(3, 3, 3, 0);
    const RGBA faint = MakeRGBA(0, 0, 0, 1);
    Gui::AlphaBlendStraight(t, &faint, 1);
    EXPECT_EQ(t[0], MakeRGBA(2, 2, 2, 1));  // floored
    EXPECT_EQ(t[1], after);
}

}  // namespace
