// JPEG through libjpeg-turbo. Library errors come back by longjmp, so the decode
// and encode bodies keep every C++ object outside the jump's reach.
#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include <jpeglib.h>

#include "gdiplus/jpeg_codec.h"

namespace gdip::jpeg {
namespace {

struct ErrorJump {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void on_error(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorJump*>(cinfo->err);
    longjmp(err->jump, 1);
}

void quiet(j_common_ptr) {}

void quiet_message(j_common_ptr, int) {}

// Adobe CMYK JPEGs store the channels inverted; the result is white-based either way.
uint32_t from_cmyk(const JSAMPLE* p, bool inverted) {
    int c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    auto mul = [](int a, int b) { return static_cast<uint32_t>((a * b + 127) / 255); };
    return 0xFF000000u | (mul(c, k) << 16) | (mul(m, k) << 8) | mul(y, k);
}

// Fills out; answers false on any library error. Colour images decode straight
// into the pixel words: blue, green, red and an alpha of 0xFF is, byte for byte,
// an opaque ARGB word on this little-endian machine.
bool run_decode(jpeg_decompress_struct& cinfo, ErrorJump& err, const uint8_t* data, size_t size,
                Pixels& out, std::vector<JSAMPLE>& row) {
    static_assert(std::endian::native == std::endian::little);
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
    // Refused before the decoder allocates anything for the whole image (a
    // progressive file keeps all its coefficients).
    if (!size_allowed(cinfo.image_width, cinfo.image_height)) return false;
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    if (!size_allowed(cinfo.output_width, cinfo.output_height)) return false;
    out.argb.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_height);
    out.width = cinfo.output_width;
    out.height = cinfo.output_height;
    if (cmyk) {
        row.resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_components);
        while (cinfo.output_scanline < cinfo.output_height) {
            uint32_t* dst = &out.argb[static_cast<size_t>(cinfo.output_scanline) * out.width];
            JSAMPROW rows[1] = {row.data()};
            if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return false;
            for (uint32_t x = 0; x < out.width; ++x)
                dst[x] = from_cmyk(&row[static_cast<size_t>(x) * 4], cinfo.saw_Adobe_marker);
        }
    } else {
        // As many rows a call as the decoder makes at once (an MCU row).
        JSAMPROW rows[16];
        while (cinfo.output_scanline < cinfo.output_height) {
            const uint32_t first = cinfo.output_scanline;
            const uint32_t n = std::min<uint32_t>(16, cinfo.output_height - first);
            for (uint32_t i = 0; i < n; ++i)
                rows[i] = reinterpret_cast<JSAMPROW>(&out.argb[size_t(first + i) * out.width]);
            if (jpeg_read_scanlines(&cinfo, rows, n) == 0) return false;
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

bool run_encode(jpeg_compress_struct& cinfo, ErrorJump& err, const uint32_t* argb, uint32_t width,
                uint32_t height, int quality, unsigned char** buffer, unsigned long* length,
                std::vector<JSAMPLE>& row) {
    if (setjmp(err.jump)) return false;
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, length);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    row.resize(static_cast<size_t>(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint32_t* src = argb + static_cast<size_t>(cinfo.next_scanline) * width;
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3] = static_cast<JSAMPLE>(src[x] >> 16);
            row[x * 3 + 1] = static_cast<JSAMPLE>(src[x] >> 8);
            row[x * 3 + 2] = static_cast<JSAMPLE>(src[x]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

void set_up_errors(ErrorJump& err) {
    jpeg_std_error(&err.mgr);
    err.mgr.error_exit = on_error;
    err.mgr.output_message = quiet;
    err.mgr.emit_message = quiet_message;
}

// From this many pixels on, rows are decoded beside the caller (a photo; skin
// images stay well below).
constexpr uint64_t kBesidePixels = uint64_t{1} << 21;

// A decode that writes its rows on its own thread: the file, the library's state
// and where the rows go (pixels the caller owns and keeps until the decoder is done).
struct Beside {
    std::vector<uint8_t> bytes;
    jpeg_decompress_struct cinfo;
    ErrorJump err;
    uint32_t* pixels = nullptr;
    std::shared_ptr<PendingRows> rows;

    Beside() {
        std::memset(&cinfo, 0, sizeof cinfo);
        set_up_errors(err);
        cinfo.err = &err.mgr;
    }
    ~Beside() { jpeg_destroy_decompress(&cinfo); }
};

enum class Begun { Beside, InPlace, Failed };

// The steps of run_decode up to the first rows, for a colour image large enough to
// be decoded beside the caller; InPlace for any other file.
Begun begin_beside(Beside& b, Pixels& out) {
    if (setjmp(b.err.jump)) return Begun::Failed;
    jpeg_create_decompress(&b.cinfo);
    jpeg_mem_src(&b.cinfo, b.bytes.data(), static_cast<unsigned long>(b.bytes.size()));
    if (jpeg_read_header(&b.cinfo, TRUE) != JPEG_HEADER_OK) return Begun::Failed;
    if (!size_allowed(b.cinfo.image_width, b.cinfo.image_height)) return Begun::Failed;
    if (b.cinfo.jpeg_color_space == JCS_CMYK || b.cinfo.jpeg_color_space == JCS_YCCK ||
        uint64_t{b.cinfo.image_width} * b.cinfo.image_height < kBesidePixels)
        return Begun::InPlace;
    b.cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&b.cinfo);
    if (!size_allowed(b.cinfo.output_width, b.cinfo.output_height)) return Begun::Failed;
    out.argb.resize(static_cast<size_t>(b.cinfo.output_width) * b.cinfo.output_height);
    out.width = b.cinfo.output_width;
    out.height = b.cinfo.output_height;
    b.pixels = out.argb.data();
    return Begun::Beside;
}

// The rows of run_decode, published as they come; stops early when asked to.
bool scan_rows(Beside& b) {
    if (setjmp(b.err.jump)) return false;
    JSAMPROW rows[16];
    const uint32_t width = b.cinfo.output_width;
    while (b.cinfo.output_scanline < b.cinfo.output_height) {
        if (b.rows->stop_asked()) return false;
        const uint32_t first = b.cinfo.output_scanline;
        const uint32_t n = std::min<uint32_t>(16, b.cinfo.output_height - first);
        for (uint32_t i = 0; i < n; ++i)
            rows[i] = reinterpret_cast<JSAMPROW>(b.pixels + size_t(first + i) * width);
        if (jpeg_read_scanlines(&b.cinfo, rows, n) == 0) return false;
        b.rows->publish(b.cinfo.output_scanline);
    }
    jpeg_finish_decompress(&b.cinfo);
    return true;
}

void write_rows(Beside& b) {
    const bool ok = scan_rows(b);
    if (!ok && !b.rows->stop_asked()) {
        // Only when the check passed and this decode still failed (out of memory):
        // the rows it did not write are opaque black, never stale memory.
        const size_t width = b.cinfo.output_width;
        std::fill(b.pixels + b.rows->ready() * width,
                  b.pixels + size_t(b.cinfo.output_height) * width, 0xFF000000u);
    }
    b.rows->finish(ok);
}

// Whether the whole file decodes, without keeping its pixels: the library's own
// skipping reads every scan's data as decoding does but leaves out the rest of
// the work, and the last row and the end of the file go the usual way.
bool run_check(jpeg_decompress_struct& cinfo, ErrorJump& err, const uint8_t* data, size_t size,
               std::vector<JSAMPLE>& row) {
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
    cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_height > 1) jpeg_skip_scanlines(&cinfo, cinfo.output_height - 1);
    row.resize(static_cast<size_t>(cinfo.output_width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return false;
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

// One pass of a fresh decompressor, its errors and a failed allocation answered false;
// the decompressor is freed either way.
template <typename Pass>
bool decompress(Pass pass) {
    jpeg_decompress_struct cinfo;
    ErrorJump err;
    std::memset(&cinfo, 0, sizeof cinfo);
    set_up_errors(err);
    cinfo.err = &err.mgr;
    std::vector<JSAMPLE> row;
    bool ok = false;
    try {
        ok = pass(cinfo, err, row);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

bool whole_file_decodes(const uint8_t* data, size_t size) {
    return decompress(
        [&](jpeg_decompress_struct& cinfo, ErrorJump& err, std::vector<JSAMPLE>& row) {
            return run_check(cinfo, err, data, size, row);
        });
}

}  // namespace

bool decode(std::vector<uint8_t>&& bytes, Pixels& out) {
    std::shared_ptr<Beside> b;
    Pixels decoded;
    Begun begun;
    try {
        b = std::make_shared<Beside>();
        b->bytes = std::move(bytes);
        begun = begin_beside(*b, decoded);
    } catch (const std::bad_alloc&) {
        begun = Begun::Failed;
    }
    if (begun == Begun::InPlace) return decode(b->bytes.data(), b->bytes.size(), out);
    if (begun == Begun::Failed) return false;
    // A progressive file is read whole when its decode starts; otherwise the rest
    // is checked here while the rows are decoded beside.
    const bool read_whole = jpeg_input_complete(&b->cinfo);
    try {
        b->rows = std::make_shared<PendingRows>(decoded.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::shared_ptr<PendingRows> rows = b->rows;
    decoded.pending = RowsInFlight(rows);
    try {
        std::thread([b] { write_rows(*b); }).detach();
    } catch (const std::system_error&) {
        write_rows(*b);
    }
    bool ok = read_whole || whole_file_decodes(b->bytes.data(), b->bytes.size());
    // Should the check fail where decoding does not, the decode's answer stands.
    if (!ok) ok = rows->wait_done();
    if (ok) out = std::move(decoded);
    return ok;
}

bool decode(const uint8_t* data, size_t size, Pixels& out) {
    Pixels decoded;
    const bool ok =
        decompress([&](jpeg_decompress_struct& cinfo, ErrorJump& err, std::vector<JSAMPLE>& row) {
            return run_decode(cinfo, err, data, size, decoded, row);
        });
    if (ok) out = std::move(decoded);
    return ok;
}

bool encode(const uint32_t* argb, uint32_t width, uint32_t height, int quality,
            std::vector<uint8_t>& out) {
    if (width == 0 || height == 0) return false;
    jpeg_compress_struct cinfo;
    ErrorJump err;
    std::memset(&cinfo, 0, sizeof cinfo);
    set_up_errors(err);
    cinfo.err = &err.mgr;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    std::vector<JSAMPLE> row;
    bool ok = false;
    try {
        ok = run_encode(cinfo, err, argb, width, height, quality, &buffer, &length, row);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    jpeg_destroy_compress(&cinfo);
    if (ok) out.assign(buffer, buffer + length);
    std::free(buffer);
    return ok;
}

}  // namespace gdip::jpeg
