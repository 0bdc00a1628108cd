// AlphaBlend: premultiplied OVER with per-pixel and constant alpha.
#include "../../gdi32/tests/dib_canvas.h"

namespace {

BLENDFUNCTION Blend(BYTE constant, BYTE format) {
    return BLENDFUNCTION{AC_SRC_OVER, 0, constant, format};
}

TEST(AlphaBlend, PerPixelAlphaIsPremultipliedOver) {
    DibCanvas src(1, 1), dst(1, 1);
    src.at(0, 0) = 0x80400000;  // half covered, red 64 (premultiplied)
    dst.at(0, 0) = 0xFF0000FF;  // opaque blue
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, Blend(255, AC_SRC_ALPHA)));
    // red 64 + 0; blue 0 + 255 * 127 / 255; alpha 128 + 255 * 127 / 255
    EXPECT_EQ(dst.at(0, 0), 0xFF40007Fu);
}

TEST(AlphaBlend, ConstantAlphaScalesAnOpaqueSource) {
    DibCanvas src(1, 1), dst(1, 1);
    src.at(0, 0) = 0xFFFF0000;
    dst.at(0, 0) = 0x000000FF;  // as GDI drew it: alpha 0
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, Blend(128, AC_SRC_ALPHA)));
    EXPECT_EQ(dst.at(0, 0), 0x8080007Fu);
}

TEST(AlphaBlend, ConstantAndPerPixelAlphaMultiply) {
    DibCanvas src(1, 1), dst(1, 1);
    src.at(0, 0) = 0x80400000;
    dst.at(0, 0) = 0xFF0000FF;
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, Blend(128, AC_SRC_ALPHA)));
    // coverage 128 * 128 / 255 = 64; red 64 * 128 / 255 = 32; blue 255 * 191 / 255
    EXPECT_EQ(dst.at(0, 0), 0xFF2000BFu);
}

TEST(AlphaBlend, TransparentPixelsLeaveTheDestination) {
    DibCanvas src(2, 1), dst(2, 1);
    src.at(0, 0) = 0x00000000;
    src.at(1, 0) = 0xFF00FF00;
    dst.fill(0x12345678);
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 2, 1, Blend(255, AC_SRC_ALPHA)));
    EXPECT_EQ(dst.at(0, 0), 0x12345678u);
    EXPECT_EQ(dst.at(1, 0), 0xFF00FF00u);
}

TEST(AlphaBlend, WithoutSourceAlphaTheConstantMixesEveryChannel) {
    DibCanvas src(1, 1), dst(1, 1);
    src.at(0, 0) = 0x00FF0000;  // drawn by GDI: alpha 0
    dst.at(0, 0) = 0xFF0000FF;
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, Blend(255, 0)));
    EXPECT_EQ(dst.at(0, 0), 0x00FF0000u);
}

TEST(AlphaBlend, ClippedByTheDestinationAndMovedByOrigins) {
    DibCanvas src(3, 1), dst(4, 1);
    src.fill(0xFFFFFFFF);
    GdiObject<HRGN> clip(CreateRectRgn(0, 0, 3, 1));
    SelectClipRgn(dst.dc(), clip);
    SetWindowOrgEx(dst.dc(), -1, 0, nullptr);
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, 3, 1, Blend(255, AC_SRC_ALPHA)));
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(dst.at(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(dst.at(3, 0), 0u);
}

TEST(AlphaBlend, RejectsStretchingAndSourceOutsideTheBitmap) {
    DibCanvas src(2, 2), dst(4, 4);
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 2, 2, Blend(255, AC_SRC_ALPHA)));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 2, src.dc(), 1, 0, 2, 2, Blend(255, AC_SRC_ALPHA)));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 1, 1, nullptr, 0, 0, 1, 1, Blend(255, AC_SRC_ALPHA)));
}

TEST(AlphaBlend, ResolvesThroughTheBuiltInMsimg32) {
    HMODULE lib = LoadLibraryW(L"msimg32.dll");
    ASSERT_NE(lib, nullptr);
    FARPROC fn = GetProcAddress(lib, "AlphaBlend");
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(fn), reinterpret_cast<void*>(&AlphaBlend));
    using AlphaBlendFn =
        BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
    auto blend = reinterpret_cast<AlphaBlendFn>(fn);
    DibCanvas src(1, 1), dst(1, 1);
    src.at(0, 0) = 0xFF010203;
    EXPECT_TRUE(blend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, Blend(255, AC_SRC_ALPHA)));
    EXPECT_EQ(dst.at(0, 0), 0xFF010203u);
}

}  // namespace
