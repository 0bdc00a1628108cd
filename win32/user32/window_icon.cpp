// The pictures a desktop shows a window by: an icon's, unpremultiplied, and the program
// file's own icon read from its icon group, as the Windows shell finds a program's icon
// in its file.
#include <w32/icon_pixels.h>
#include <w32/module.h>

#include <windows.h>

#include <cstring>

namespace w32::user {

namespace {

constexpr size_t kGroupHeader = 6, kGroupEntry = 14, kInfoHeader = 40;

uint32_t le32(const BYTE* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// One icon image: a bitmap header, its colour rows then its mask rows, both bottom-up
// and twice the height in the header. 32-bit images carry alpha (else the mask does),
// 24-bit ones take it from the mask; other kinds are left out.
bool decode(const BYTE* data, DWORD size, IconPicture* out) {
    if (size < kInfoHeader || le32(data) < kInfoHeader) return false;
    const int32_t w = static_cast<int32_t>(le32(data + 4));
    const int32_t h = static_cast<int32_t>(le32(data + 8)) / 2;
    const int bpp = le16(data + 14);
    if (w <= 0 || h <= 0 || w > 1024 || h > 1024 || (bpp != 32 && bpp != 24) ||
        le32(data + 16) != BI_RGB)
        return false;
    const size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    const size_t mask_stride = ((static_cast<size_t>(w) + 31) / 32) * 4;
    const BYTE* rows = data + le32(data);
    const BYTE* mask = rows + stride * h;
    if (static_cast<size_t>(mask - data) + mask_stride * h > size) return false;
    bool any_alpha = false;
    for (int32_t y = 0; bpp == 32 && y < h && !any_alpha; ++y)
        for (int32_t x = 0; x < w && !any_alpha; ++x) any_alpha = rows[y * stride + x * 4 + 3] != 0;
    out->width = w;
    out->height = h;
    out->argb.assign(static_cast<size_t>(w) * h, 0);
    for (int32_t y = 0; y < h; ++y) {
        const BYTE* row = rows + (h - 1 - y) * stride;
        const BYTE* bits = mask + (h - 1 - y) * mask_stride;
        for (int32_t x = 0; x < w; ++x) {
            const BYTE* p = row + x * (bpp / 8);
            const bool clear = (bits[x / 8] >> (7 - x % 8)) & 1;
            const uint32_t a = any_alpha ? p[3] : (clear ? 0 : 255);
            out->argb[static_cast<size_t>(y) * w + x] = a << 24 | p[2] << 16 | p[1] << 8 | p[0];
        }
    }
    return true;
}

std::vector<IconPicture> read_program_icon() {
    std::vector<IconPicture> pictures;
    ModulePtr program = program_module();
    DWORD error = 0;
    const ResourceDirectory* dir = program ? program->resources(&error) : nullptr;
    ResName group_type, name;
    group_type.id = 14;  // RT_GROUP_ICON
    if (!dir || !dir->first_name(group_type, &name)) return pictures;
    auto bytes = [](LPCWSTR id, LPCWSTR type, DWORD* size) -> const BYTE* {
        HRSRC r = FindResourceW(nullptr, id, type);
        *size = r ? SizeofResource(nullptr, r) : 0;
        return r ? static_cast<const BYTE*>(LockResource(LoadResource(nullptr, r))) : nullptr;
    };
    DWORD size = 0;
    const BYTE* group = bytes(name.is_string ? name.upper.c_str() : MAKEINTRESOURCEW(name.id),
                              RT_GROUP_ICON, &size);
    if (!group || size < kGroupHeader) return pictures;
    const size_t count = std::min<size_t>(le16(group + 4), (size - kGroupHeader) / kGroupEntry);
    for (size_t i = 0; i < count; ++i) {
        const BYTE* entry = group + kGroupHeader + i * kGroupEntry;
        DWORD image_size = 0;
        const BYTE* image = bytes(MAKEINTRESOURCEW(le16(entry + 12)), RT_ICON, &image_size);
        IconPicture picture;
        if (image && decode(image, image_size, &picture)) pictures.push_back(std::move(picture));
    }
    return pictures;
}

}  // namespace

bool icon_picture(HICON icon, IconPicture* out) {
    POINT hot;
    return icon_pixels(icon, &out->width, &out->height, &hot, &out->argb, false);
}

const std::vector<IconPicture>& program_icon() {
    static const std::vector<IconPicture> pictures = read_program_icon();
    return pictures;
}

}  // namespace w32::user
