// AlphaBlend: premultiplied OVER with per-pixel and constant alpha.
#include "../../gdi32/tests/dib_canvas.h"

namespace {

BLENDFUNCTION Blend(BYTE constant, BYTE format = AC_SRC_ALPHA) {
    return BLENDFUNCTION{AC_SRC_OVER, 0, constant, format};
}

TEST(AlphaBlend, BlendsPremultipliedPixelsOver) {
    const struct {
        uint32_t src, dst;
        BLENDFUNCTION blend;
        uint32_t expected;
    } cases[] = {
        // red 64 + 0; blue 255 * 127 / 255; alpha 128 + 255 * 127 / 255
        {0x80400000, 0xFF0000FF, Blend(255), 0xFF40007F},
        // an opaque source scaled by the constant over what GDI drew (alpha 0)
        {0xFFFF0000, 0x000000FF, Blend(128), 0x8080007F},
        // coverage 128 * 128 / 255 = 64; red 64 * 128 / 255 = 32; blue 255 * 191 / 255
        {0x80400000, 0xFF0000FF, Blend(128), 0xFF2000BF},
        {0x00000000, 0x12345678, Blend(255), 0x12345678},
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
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(dst.at(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(dst.at(3, 0), 0u);
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 1, 1, Blend(255)));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 2, 0, 2, 1, Blend(255)));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 1, 1, nullptr, 0, 0, 1, 1, Blend(255)));
}

}  // namespace
