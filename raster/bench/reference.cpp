#include "reference.h"

#include <cstdio>
#include <memory>
// clang-format off
#include <jpeglib.h>
#include <pixman.h>
// clang-format on

namespace bench {

size_t DecodeWithLibjpeg(const std::vector<unsigned char>& jpeg) {
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&c);
    const size_t stride = static_cast<size_t>(c.output_width) * 4;
    std::unique_ptr<JSAMPLE[]> pixels(new JSAMPLE[stride * c.output_height]);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = pixels.get() + stride * c.output_scanline;
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    const size_t count = static_cast<size_t>(c.output_width) * c.output_height;
    jpeg_destroy_decompress(&c);
    return count;
}

uint32_t ScaleWithPixman(const uint32_t* pixels, int cx, int cy, int tcx, int tcy) {
    pixman_image_t* src =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, cx, cy, const_cast<uint32_t*>(pixels), cx * 4);
    std::unique_ptr<uint32_t[]> out(new uint32_t[static_cast<size_t>(tcx) * tcy]);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, tcx, tcy, out.get(), tcx * 4);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(double(cx) / tcx),
                                pixman_double_to_fixed(double(cy) / tcy));
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, tcx, tcy);
    pixman_image_unref(src);
    pixman_image_unref(dst);
    return out[0];
}

}  // namespace bench
