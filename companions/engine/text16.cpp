#include "text16.h"

#include <algorithm>

namespace dravon {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Calls `out` with each code point of the UTF-16 text.
template <typename Out>
void decode16(std::u16string_view s, Out out) {
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        out(c);
    }
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void append_utf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += char16_t(c);
    } else {
        c -= 0x10000;
        out += char16_t(0xD800 + (c >> 10));
        out += char16_t(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

std::u16string_view view16(const char16_t* s) { return s ? std::u16string_view(s) : u""; }

std::string utf16_to_utf8(std::u16string_view s) {
    std::string out;
    decode16(s, [&](char32_t c) { append_utf8(out, c); });
    return out;
}

std::wstring utf16_to_wide(std::u16string_view s) {
    std::wstring out;
    decode16(s, [&](char32_t c) { out += wchar_t(c); });
    return out;
}

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = s[i];
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t c = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : extra == 3 ? b & 0x07 : b;
        bool ok = extra >= 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + size_t(k) >= s.size() || (s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!ok || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            append_utf16(out, kReplacement);
            ++i;
            continue;
        }
        append_utf16(out, c);
        i += size_t(extra) + 1;
    }
    return out;
}

void copy_utf16(char16_t* dst, size_t capacity, std::u16string_view s) {
    if (capacity == 0) return;
    size_t n = std::min(s.size(), capacity - 1);
    if (n > 0 && n < s.size() && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;
    s.copy(dst, n);
    dst[n] = 0;
}

}  // namespace dravon
