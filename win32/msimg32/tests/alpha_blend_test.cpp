// AlphaBlend: premultiplied OVER with per-pixel and constant alpha, rounded alike over
// every alpha and row width.
#include "../../gdi32/tests/dib_canvas.h"

#include <vector>

namespace {

BLENDFUNCTION Blend(BYTE constant, BYTE format = AC_SRC_ALPHA) {
    return BLENDFUNCTION{AC_SRC_OVER, 0, constant, format};
}

// One channel: source plus destination times (255 - alpha) / 255, rounded to
// nearest, saturated.
uint32_t Over(uint32_t s, uint32_t d, uint32_t a) {
    return std::min<uint32_t>(255, s + (d * (255 - a) + 127) / 255);
}

TEST(AlphaBlend, EveryAlphaAndWidthRoundsAlikeAtFullConstant) {
    const uint32_t dsts[] = {0xFF0000FF, 0x80FF8040, 0x12345678, 0xFFFFFFFF, 0};
    for (int width : {1, 3, 4, 5, 9, 200}) {
        DibCanvas src(width, 256), dst(width, 256);
        for (uint32_t d : dsts) {
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < width; ++x) {
                    // Premultiplied: colour bytes at most the alpha.
                    const uint32_t a = static_cast<uint32_t>(y);
                    const uint32_t c = (a * static_cast<uint32_t>(x + 1) * 37) % (a + 1);
                    src.at(x, y) = a << 24 | c << 16 | (a - c) << 8 | (c / 2);
                    dst.at(x, y) = d;
                }
            ASSERT_TRUE(
                AlphaBlend(dst.dc(), 0, 0, width, 256, src.dc(), 0, 0, width, 256, Blend(255)));
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint32_t s = src.at(x, y), a = s >> 24;
                    uint32_t want = 0;
                    for (int shift = 0; shift < 32; shift += 8)
                        want |= Over((s >> shift) & 0xFF, (d >> shift) & 0xFF, a) << shift;
                    ASSERT_EQ(dst.at(x, y), want) << "width " << width << " x " << x << " y " << y;
                }
        }
    }
}

TEST(AlphaBlend, TheConstantScalesTheSourceAndItsAlpha) {
    const struct {
        uint32_t src, dst;
        BLENDFUNCTION blend;
        uint32_t expected;
    } cases[] = {
        // an opaque source scaled by the constant over what GDI drew (alpha 0)
        {0xFFFF0000, 0x000000FF, Blend(128), 0x8080007F},
        // coverage 128 * 128 / 255 = 64; red 64 * 128 / 255 = 32; blue 255 * 191 / 255
        {0x80400000, 0xFF0000FF, Blend(128), 0xFF2000BF},
        // without source alpha the constant mixes every channel
        {0x00FF0000, 0xFF0000FF, Blend(255, 0), 0x00FF0000},
    };
    for (const auto& c : cases) {
        DibCanvas src(1, 1), dst(1, 1);
        src.at(0, 0) = c.src;
        dst.at(0, 0) = c.dst;
        ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, c.blend));
        EXPECT_EQ(dst.at(0, 0), c.expected) << std::hex << c.src << " over " << c.dst;
    }
}

TEST(AlphaBlend, ClippedByTheDestinationMovedByOriginsAndNeverStretched) {
    DibCanvas src(3, 1), dst(4, 1);
    src.fill(0xFFFFFFFF);
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 3, 1));
    SelectClipRgn(dst.dc(), clip);
    SetWindowOrgEx(dst.dc(), -1, 0, nullptr);
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, 3, 1, Blend(255)));
    EXPECT_EQ(std::vector<uint32_t>(dst.bits(), dst.bits() + 4),
              (std::vector<uint32_t>{0, 0xFFFFFFFF, 0xFFFFFFFF, 0}));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 1, 1, Blend(255)));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 2, 0, 2, 1, Blend(255)));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 1, 1, nullptr, 0, 0, 1, 1, Blend(255)));
}

}  // namespace
