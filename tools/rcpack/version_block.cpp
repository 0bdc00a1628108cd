#include "pack.h"

#include <w32/rsrc_format.h>

#include <stdio.h>
#include <string.h>

namespace rcpack {
namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStrucVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kOsNtWindows32 = 0x00040004;
constexpr uint32_t kFileTypeApp = 1;
constexpr uint32_t kFileTypeDll = 2;

struct Node {
    std::u32string key;
    Bytes value;
    uint16_t value_length = 0;
    uint16_t type = 1;
    std::vector<Node> children;
};

void PadTo4(Bytes& b) {
    while (b.size() % 4) b.push_back(0);
}

void PutText(Bytes& b, const std::u32string& s) {
    for (char32_t c : s)
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(c >> (8 * i)));
    for (int i = 0; i < 4; ++i) b.push_back(0);
}

bool Serialise(const Node& n, Bytes* out, std::string* error) {
    Bytes b(sizeof(w32::rsrc::VersionNode), 0);
    PadTo4(b);
    PutText(b, n.key);
    PadTo4(b);
    b.insert(b.end(), n.value.begin(), n.value.end());
    for (auto& c : n.children) {
        PadTo4(b);
        Bytes child;
        if (!Serialise(c, &child, error)) return false;
        b.insert(b.end(), child.begin(), child.end());
    }
    if (b.size() > 0xFFFF) {
        *error = "version resource larger than 64 KiB";
        return false;
    }
    w32::rsrc::VersionNode h{static_cast<uint16_t>(b.size()), n.value_length, n.type};
    memcpy(b.data(), &h, sizeof h);
    *out = std::move(b);
    return true;
}

Node TextValue(const std::u32string& key, const std::u32string& value) {
    Node n;
    n.key = key;
    PutText(n.value, value);
    n.value_length = static_cast<uint16_t>(value.size() + 1);
    return n;
}

std::u32string Ascii(const char* s) { return std::u32string(s, s + strlen(s)); }

}  // namespace

bool BuildVersionBlock(const VersionInfo& v, bool dll, Bytes* out, std::string* error) {
    uint32_t fixed[13] = {
        kFixedSignature,
        kFixedStrucVersion,
        static_cast<uint32_t>(v.file[0]) << 16 | v.file[1],
        static_cast<uint32_t>(v.file[2]) << 16 | v.file[3],
        static_cast<uint32_t>(v.product[0]) << 16 | v.product[1],
        static_cast<uint32_t>(v.product[2]) << 16 | v.product[3],
        kFileFlagsMask,
        0,
        kOsNtWindows32,
        dll ? kFileTypeDll : kFileTypeApp,
        0,
        0,
        0,
    };
    Node root;
    root.key = Ascii("VS_VERSION_INFO");
    root.type = 0;
    root.value.resize(sizeof fixed);
    memcpy(root.value.data(), fixed, sizeof fixed);
    root.value_length = sizeof fixed;

    char table_key[9];
    snprintf(table_key, sizeof table_key, "%04x%04x", v.translation_lang, v.translation_codepage);
    Node table;
    table.key = Ascii(table_key);
    for (auto& [key, value] : v.strings) table.children.push_back(TextValue(key, value));
    Node string_info;
    string_info.key = Ascii("StringFileInfo");
    string_info.children.push_back(std::move(table));
    root.children.push_back(std::move(string_info));

    Node translation;
    translation.key = Ascii("Translation");
    translation.type = 0;
    uint32_t pair = v.translation_lang | static_cast<uint32_t>(v.translation_codepage) << 16;
    translation.value.resize(4);
    memcpy(translation.value.data(), &pair, 4);
    translation.value_length = 4;
    Node var_info;
    var_info.key = Ascii("VarFileInfo");
    var_info.children.push_back(std::move(translation));
    root.children.push_back(std::move(var_info));

    return Serialise(root, out, error);
}

}  // namespace rcpack
