#include "pack.h"

#include <string.h>

namespace rcpack {
namespace {

constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtGroupIcon = 14;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint16_t Get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
uint32_t Get32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint32_t GetBig32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}
void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One image of a group, as the group directory describes it.
struct Image {
    uint8_t width, height, colors;
    uint16_t planes, bit_count;
    Bytes data;
};

bool IsPng(const Bytes& b) { return b.size() >= 8 && memcmp(b.data(), kPngSignature, 8) == 0; }

bool FromPng(const Bytes& file, std::vector<Image>* out, std::string* error) {
    if (file.size() < 24 || memcmp(file.data() + 12, "IHDR", 4) != 0) {
        *error = "PNG without a header chunk";
        return false;
    }
    uint32_t w = GetBig32(file, 16), h = GetBig32(file, 20);
    if (w == 0 || h == 0 || w > 256 || h > 256) {
        *error = "an icon image is 1 to 256 pixels wide and high";
        return false;
    }
    out->push_back(
        {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(h & 0xFF), 0, 1, 32, file});
    return true;
}

bool FromIco(const Bytes& file, std::vector<Image>* out, std::string* error) {
    if (file.size() < 6 || Get16(file, 0) != 0 || Get16(file, 2) != 1 || Get16(file, 4) == 0) {
        *error = "neither an .ico nor a .png file";
        return false;
    }
    uint16_t count = Get16(file, 4);
    if (file.size() < 6 + 16u * count) {
        *error = "truncated icon directory";
        return false;
    }
    for (uint16_t i = 0; i < count; ++i) {
        size_t e = 6 + 16u * i;
        uint32_t bytes = Get32(file, e + 8), offset = Get32(file, e + 12);
        if (offset > file.size() || bytes > file.size() - offset || bytes == 0) {
            *error = "icon image " + std::to_string(i) + " lies outside the file";
            return false;
        }
        Image img{file[e], file[e + 1], file[e + 2], Get16(file, e + 4), Get16(file, e + 6), {}};
        img.data.assign(file.begin() + offset, file.begin() + offset + bytes);
        out->push_back(std::move(img));
    }
    return true;
}

}  // namespace

bool BuildIcon(const Bytes& file, uint32_t group_id, uint16_t lang, uint32_t* next_image_id,
               std::vector<Resource>* out, std::string* error) {
    std::vector<Image> images;
    if (!(IsPng(file) ? FromPng(file, &images, error) : FromIco(file, &images, error)))
        return false;

    Bytes dir;
    Put16(dir, 0);
    Put16(dir, 1);
    Put16(dir, static_cast<uint16_t>(images.size()));
    for (auto& img : images) {
        if (*next_image_id > 0xFFFF) {
            *error = "too many icon images";
            return false;
        }
        uint16_t id = static_cast<uint16_t>((*next_image_id)++);
        dir.push_back(img.width);
        dir.push_back(img.height);
        dir.push_back(img.colors);
        dir.push_back(0);
        Put16(dir, img.planes);
        Put16(dir, img.bit_count);
        Put32(dir, static_cast<uint32_t>(img.data.size()));
        Put16(dir, id);

        Resource r;
        r.type.id = kRtIcon;
        r.name.id = id;
        r.lang = lang;
        r.data = std::move(img.data);
        out->push_back(std::move(r));
    }
    Resource group;
    group.type.id = kRtGroupIcon;
    group.name.id = group_id;
    group.lang = lang;
    group.data = std::move(dir);
    out->push_back(std::move(group));
    return true;
}

}  // namespace rcpack
