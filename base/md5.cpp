#include "base/md5.h"

#include <cstring>

#include "base/md5_block.h"

namespace base {

MD5::MD5() { Reset(); }

void MD5::Reset() {
    started_ = 0;
    state_[0] = 0x67452301u;
    state_[1] = 0xefcdab89u;
    state_[2] = 0x98badcfeu;
    state_[3] = 0x10325476u;
    count_[0] = count_[1] = 0;
    std::memset(buffer_, 0, sizeof(buffer_));
    std::memset(digest_, 0, sizeof(digest_));
    std::memset(digest_text_, 0, sizeof(digest_text_));
}

int MD5::Update(const unsigned char* data, int32_t length) {
    if (length < 0 || (data == nullptr && length > 0)) return 0;
    if (!started_) Reset();
    started_ = 1;

    const uint32_t bytes = static_cast<uint32_t>(length);
    uint32_t index = (count_[0] >> 3) & 0x3f;
    const uint32_t low_before = count_[0];
    count_[0] += bytes << 3;
    if (count_[0] < low_before) ++count_[1];
    count_[1] += bytes >> 29;

    // Whole blocks are hashed where they lie; only the ends pass through the buffer.
    uint32_t left = bytes;
    if (index > 0) {
        const uint32_t take = left < 64 - index ? left : 64 - index;
        std::memcpy(buffer_ + index, data, take);
        index += take;
        data += take;
        left -= take;
        if (index < 64) return 1;
        Md5Transform(state_, buffer_);
    }
    Md5TransformBlocks(state_, data, left / 64);
    if (left % 64) std::memcpy(buffer_, data + (left & ~63u), left % 64);
    return 1;
}

int MD5::UpdateText(const wchar_t* text) {
    if (text == nullptr) return 0;
    // wchar_t holds whole code points here; the digest is over UTF-16, so characters past
    // the basic plane become surrogate pairs.
    unsigned char chunk[256];
    int32_t used = 0;
    auto put_unit = [&](uint32_t unit) {
        if (used + 2 > static_cast<int32_t>(sizeof(chunk))) {
            Update(chunk, used);
            used = 0;
        }
        chunk[used++] = static_cast<unsigned char>(unit);
        chunk[used++] = static_cast<unsigned char>(unit >> 8);
    };
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        const uint32_t c = static_cast<uint32_t>(*p);
        if (c > 0xffff && c <= 0x10ffff) {
            put_unit(0xd800 + ((c - 0x10000) >> 10));
            put_unit(0xdc00 + ((c - 0x10000) & 0x3ff));
        } else {
            put_unit(c > 0x10ffff ? 0xfffd : c);
        }
    }
    return Update(chunk, used);
}

const wchar_t* MD5::FinalHex() {
    if (!started_) return nullptr;
    const uint32_t bits_low = count_[0];
    const uint32_t bits_high = count_[1];
    const uint32_t index = (bits_low >> 3) & 0x3f;
    static const unsigned char kPadding[64] = {0x80};
    Update(kPadding, static_cast<int32_t>(index < 56 ? 56 - index : 120 - index));
    unsigned char length[8];
    for (int i = 0; i < 4; ++i) {
        length[i] = static_cast<unsigned char>(bits_low >> (8 * i));
        length[4 + i] = static_cast<unsigned char>(bits_high >> (8 * i));
    }
    Update(length, 8);

    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        digest_[i] = static_cast<unsigned char>(state_[i / 4] >> (8 * (i % 4)));
        digest_text_[2 * i] = kHex[digest_[i] >> 4];
        digest_text_[2 * i + 1] = kHex[digest_[i] & 0x0f];
    }
    digest_text_[32] = L'\0';
    started_ = 0;
    return digest_text_;
}

const wchar_t* MD5::HashText(const wchar_t* text) {
    if (text == nullptr) return nullptr;
    Reset();
    UpdateText(text);
    return FinalHex();
}

}  // namespace base
