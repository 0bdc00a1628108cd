// Bitmaps: DIB sections, device-dependent (compatible, 1-bpp) bitmaps and the
// transfers of DIB pixels into and out of them.
#include "w32/gdi.h"

#include <cstring>
#include <new>

namespace w32::gdi {

uint32_t mono_pixel(uint32_t bgra) {
    uint32_t r = (bgra >> 16) & 0xFF, g = (bgra >> 8) & 0xFF, b = bgra & 0xFF;
    return (r * 299 + g * 587 + b * 114) / 1000 >= 128 ? 0xFFFFFF : 0;
}

uint32_t Bitmap::pixel(int x, int y) const {
    const uint8_t* r = row(y);
    if (bpp == 32) {
        uint32_t v;
        std::memcpy(&v, r + x * 4, 4);
        return v;
    }
    return (r[x >> 3] & (0x80 >> (x & 7))) ? 0xFFFFFF : 0;
}

void Bitmap::set_pixel(int x, int y, uint32_t bgra) {
    uint8_t* r = row(y);
    if (bpp == 32) {
        std::memcpy(r + x * 4, &bgra, 4);
        return;
    }
    if (mono_pixel(bgra))
        r[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    else
        r[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
}

void Bitmap::fill(const pixman_box32_t& box, uint32_t bgra) {
    if (bpp == 32) {
        int y1 = bottom_up ? height - box.y2 : box.y1;
        pixman_fill(reinterpret_cast<uint32_t*>(bits), stride / 4, 32, box.x1, y1, box.x2 - box.x1,
                    box.y2 - box.y1, bgra);
        return;
    }
    for (int y = box.y1; y < box.y2; ++y)
        for (int x = box.x1; x < box.x2; ++x) set_pixel(x, y, bgra);
}

Bitmap::~Bitmap() {
    if (image_) pixman_image_unref(image_);
}

pixman_image_t* Bitmap::image() {
    if (!image_ && bpp == 32 && !bottom_up)
        image_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height,
                                          reinterpret_cast<uint32_t*>(bits), stride);
    return image_;
}

std::shared_ptr<Bitmap> make_bitmap(int width, int height, int bpp, bool bottom_up) {
    auto bm = std::make_shared<Bitmap>();
    bm->width = width;
    bm->height = height;
    bm->bpp = bpp;
    bm->bottom_up = bottom_up;
    bm->stride = bpp == 32 ? width * 4 : (width + 15) / 16 * 2;
    size_t size = static_cast<size_t>(bm->stride) * height;
    bm->storage.reset(new (std::nothrow) uint8_t[size ? size : 1]());
    if (!bm->storage) return nullptr;
    bm->bits = bm->storage.get();
    return bm;
}

}  // namespace w32::gdi

using namespace w32::gdi;

namespace {

// The bit depth of bitmaps compatible with hdc: a memory DC's selected bitmap,
// else the screen's.
int compatible_bpp(const Dc* dc) {
    if (dc && dc->type == Dc::Type::Memory && dc->surface) return dc->surface->bpp;
    return 32;
}

bool sane_size(LONG w, LONG h) { return w > 0 && h > 0 && w <= 0x7FFF * 4 && h <= 0x7FFF * 4; }

HBITMAP add_bitmap(std::shared_ptr<Bitmap> bm) {
    if (!bm) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(add_object(std::move(bm)));
}

// Copies 32-bpp DIB rows (bmi's orientation) into bm, converting to its depth.
void load_dib32(Bitmap& bm, const BITMAPINFOHEADER& h, const void* bits) {
    bool src_bottom_up = h.biHeight > 0;
    int rows = std::min<int>(bm.height, src_bottom_up ? h.biHeight : -h.biHeight);
    int cols = std::min<int>(bm.width, h.biWidth);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < rows; ++y) {
        int mem_row = src_bottom_up ? rows - 1 - y : y;
        const uint8_t* s = src + static_cast<size_t>(mem_row) * h.biWidth * 4;
        if (bm.bpp == 32) {
            std::memcpy(bm.row(y), s, static_cast<size_t>(cols) * 4);
            continue;
        }
        for (int x = 0; x < cols; ++x) {
            uint32_t v;
            std::memcpy(&v, s + x * 4, 4);
            bm.set_pixel(x, y, v);
        }
    }
}

// BI_BITFIELDS is accepted only with the masks of the one layout we store.
bool standard_masks(const BITMAPINFO& bmi) {
    if (bmi.bmiHeader.biCompression != BI_BITFIELDS) return false;
    DWORD masks[3];
    std::memcpy(masks, bmi.bmiColors, sizeof(masks));
    return masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
}

}  // namespace

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits,
                                HANDLE section, DWORD offset) {
    (void)hdc;
    (void)offset;
    std::lock_guard<std::mutex> lock(gdi_mutex());
    if (bits) *bits = nullptr;
    if (!bmi || usage != DIB_RGB_COLORS || section) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    LONG height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (h.biBitCount != 32 || (h.biCompression != BI_RGB && !standard_masks(*bmi)) ||
        !sane_size(h.biWidth, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bm = make_bitmap(h.biWidth, height, 32, h.biHeight > 0);
    if (bm) {
        bm->dib_section = true;
        bm->dib_height = h.biHeight;
        if (bits) *bits = bm->bits;
    }
    return add_bitmap(std::move(bm));
}

HBITMAP WINAPI CreateBitmap(int width, int height, UINT planes, UINT bit_count, const void* bits) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    if (width == 0 || height == 0) return static_cast<HBITMAP>(default_bitmap()->handle);
    if (planes != 1 || (bit_count != 1 && bit_count != 32) || !sane_size(width, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bm = make_bitmap(width, height, static_cast<int>(bit_count));
    if (bm && bits) std::memcpy(bm->bits, bits, static_cast<size_t>(bm->stride) * height);
    return add_bitmap(std::move(bm));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int width, int height) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = find_dc(hdc);
    if (!dc) return nullptr;
    if (width == 0 || height == 0) return static_cast<HBITMAP>(default_bitmap()->handle);
    if (!sane_size(width, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return add_bitmap(make_bitmap(width, height, compatible_bpp(dc)));
}

HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                              const BITMAPINFO* bmi, UINT usage) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    auto dc = hdc ? find_dc(hdc) : nullptr;
    if (hdc && !dc) return nullptr;
    if (!header) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    if (!sane_size(header->biWidth, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool load = (init & CBM_INIT) && bits;
    if (load && (!bmi || usage != DIB_RGB_COLORS || bmi->bmiHeader.biBitCount != 32 ||
                 bmi->bmiHeader.biCompression != BI_RGB)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bm = make_bitmap(header->biWidth, height, compatible_bpp(dc));
    if (bm && load) load_dib32(*bm, bmi->bmiHeader, bits);
    return add_bitmap(std::move(bm));
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO bmi,
                     UINT usage) {
    std::lock_guard<std::mutex> lock(gdi_mutex());
    if (!find_dc(hdc)) return 0;
    auto bm = find_as<Bitmap>(hbm);
    if (!bm || !bmi || usage != DIB_RGB_COLORS) {
        SetLastError(bm ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (!bits && h.biBitCount == 0) {
        h.biWidth = bm->width;
        h.biHeight = bm->height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bm->bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>((bm->width * bm->bpp + 31) / 32 * 4 * bm->height);
        return 1;
    }
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool bottom_up = h.biHeight > 0;
    int dib_height = bottom_up ? h.biHeight : -h.biHeight;
    h.biSizeImage = static_cast<DWORD>(h.biWidth * 4 * dib_height);
    if (start >= static_cast<UINT>(dib_height)) return 0;
    int count = static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(dib_height) - start));
    if (!bits) return count;
    int cols = std::min<int>(h.biWidth, bm->width);
    uint8_t* out = static_cast<uint8_t*>(bits);
    for (int i = 0; i < count; ++i) {
        // Scan lines count from the bottom of a bottom-up DIB, from the top otherwise.
        int line = static_cast<int>(start) + i;
        int y = bottom_up ? dib_height - 1 - line : line;
        uint8_t* o = out + static_cast<size_t>(i) * h.biWidth * 4;
        if (y < 0 || y >= bm->height) continue;
        if (bm->bpp == 32) {
            std::memcpy(o, bm->row(y), static_cast<size_t>(cols) * 4);
        } else {
            for (int x = 0; x < cols; ++x) {
                uint32_t v = bm->pixel(x, y);
                std::memcpy(o + x * 4, &v, 4);
            }
        }
    }
    return count;
}
