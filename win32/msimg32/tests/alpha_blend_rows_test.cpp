// AlphaBlend over rows of every width gives the same rounded OVER for every alpha.
#include "../../gdi32/tests/dib_canvas.h"

namespace {

// One channel: source plus destination times (255 - alpha) / 255, rounded to
// nearest, saturated.
uint32_t Over(uint32_t s, uint32_t d, uint32_t a) {
    return std::min<uint32_t>(255, s + (d * (255 - a) + 127) / 255);
}

TEST(AlphaBlendRows, EveryAlphaAndWidthRoundsAlike) {
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
            BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, width, 256, src.dc(), 0, 0, width, 256, blend));
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

}  // namespace
