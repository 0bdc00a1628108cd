#include <w32/text.h>

#include <stdint.h>

namespace w32 {


namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool is_high_surrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void append_utf8(uint32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

bool decode_utf8(std::string_view in, std::wstring& out) {
    bool valid = true;
    out.reserve(out.size() + in.size());
    size_t i = 0;
    const size_t n = in.size();
    while (i < n) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        int need;
        uint32_t c;
        // The range of the first continuation byte excludes overlong forms,
        // surrogates and values beyond U+10FFFF.
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2, c = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3, c = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out += kReplacement;
            valid = false;
            ++i;
            continue;
        }
        int k = 1;
        for (; k <= need; ++k) {
            if (i + k >= n) break;
            auto cb = static_cast<unsigned char>(in[i + k]);
            if (cb < lo || cb > hi) break;
            c = (c << 6) | (cb & 0x3F);
            lo = 0x80, hi = 0xBF;
        }
        if (k <= need) {
            out += kReplacement;
            valid = false;
            i += k;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += need + 1;
    }
    return valid;
}

bool encode_utf8(std::wstring_view in, std::string& out) {
    bool valid = true;
    out.reserve(out.size() + in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        auto c = static_cast<uint32_t>(in[i]);
        if (is_high_surrogate(c) && i + 1 < in.size() &&
            is_low_surrogate(static_cast<uint32_t>(in[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(in[i + 1]) - 0xDC00);
            ++i;
        } else if (c > 0x10FFFF || is_high_surrogate(c) || is_low_surrogate(c)) {
            c = kReplacement;
            valid = false;
        }
        append_utf8(c, out);
    }
    return valid;
}

std::wstring utf16_to_wide(std::u16string_view in) {
    std::wstring out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        uint32_t c = in[i];
        if (is_high_surrogate(c) && i + 1 < in.size() && is_low_surrogate(in[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00u);
            ++i;
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

std::u16string wide_to_utf16(std::wstring_view in) {
    std::u16string out;
    out.reserve(in.size());
    for (wchar_t wc : in) {
        auto c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF) {
            out += static_cast<char16_t>(kReplacement);
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string to_utf8(std::wstring_view s) {
    std::string out;
    encode_utf8(s, out);
    return out;
}

std::wstring from_utf8(std::string_view s) {
    std::wstring out;
    decode_utf8(s, out);
    return out;
}

size_t wlen(const wchar_t* s) {
    if (!s) return 0;
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace w32
