#include "support/jpeg_writer.h"

#include <cstdio>
#include <cstdlib>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace testjpeg {

std::vector<unsigned char> Write(int cx, int cy, const std::function<uint32_t(int, int)>& pixel,
                                 int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(cx);
    c.image_height = static_cast<JDIMENSION>(cy);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(cx) * 3);
    for (int y = 0; y < cy; ++y) {
        for (int x = 0; x < cx; ++x) {
            const uint32_t p = pixel(x, y);
            row[x * 3] = static_cast<JSAMPLE>(p >> 16);
            row[x * 3 + 1] = static_cast<JSAMPLE>(p >> 8);
            row[x * 3 + 2] = static_cast<JSAMPLE>(p);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<unsigned char> bytes(out, out + size);
    free(out);
    return bytes;
}

}  // namespace testjpeg
