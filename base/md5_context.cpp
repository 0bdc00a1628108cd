#include "base/md5_context.h"

#include <cstring>

#include "base/md5_block.h"

namespace base {
namespace {

const unsigned char kPadding[64] = {0x80};

void StoreLittleEndian(uint32_t word, unsigned char* out) {
    out[0] = static_cast<unsigned char>(word);
    out[1] = static_cast<unsigned char>(word >> 8);
    out[2] = static_cast<unsigned char>(word >> 16);
    out[3] = static_cast<unsigned char>(word >> 24);
}

}  // namespace

void Md5Init(Md5Context* context, uint32_t seed) {
    context->count[0] = context->count[1] = 0;
    context->state[0] = 0x67452301u + 11u * seed;
    context->state[1] = 0xefcdab89u + 71u * seed;
    context->state[2] = 0x98badcfeu + 37u * seed;
    context->state[3] = 0x10325476u + 97u * seed;
}

void Md5Update(Md5Context* context, const unsigned char* data, uint32_t length) {
    uint32_t index = (context->count[0] >> 3) & 0x3f;
    const uint32_t low_before = context->count[0];
    context->count[0] += length << 3;
    if (context->count[0] < low_before) ++context->count[1];
    context->count[1] += length >> 29;

    // Whole blocks are hashed where they lie; only the ends pass through the buffer.
    if (index > 0) {
        const uint32_t take = length < 64 - index ? length : 64 - index;
        std::memcpy(context->buffer + index, data, take);
        index += take;
        data += take;
        length -= take;
        if (index < 64) return;
        Md5Transform(context->state, context->buffer);
    }
    Md5TransformBlocks(context->state, data, length / 64);
    if (length % 64) std::memcpy(context->buffer, data + (length & ~63u), length % 64);
}

void Md5Final(Md5Context* context) {
    const uint32_t bits_low = context->count[0];
    const uint32_t bits_high = context->count[1];
    const uint32_t index = (bits_low >> 3) & 0x3f;
    Md5Update(context, kPadding, index < 56 ? 56 - index : 120 - index);

    // The buffer now holds 56 bytes; the length goes into a copy, the buffer keeps them.
    unsigned char block[64];
    std::memcpy(block, context->buffer, 56);
    StoreLittleEndian(bits_low, block + 56);
    StoreLittleEndian(bits_high, block + 60);
    Md5Transform(context->state, block);
    for (int i = 0; i < 4; ++i) StoreLittleEndian(context->state[i], context->digest + 4 * i);
}

void Md5OfString(const char* text, unsigned char digest[16]) {
    Md5Context context;
    Md5Init(&context, 0);
    Md5Update(&context, reinterpret_cast<const unsigned char*>(text),
              static_cast<uint32_t>(std::strlen(text)));
    Md5Final(&context);
    std::memcpy(digest, context.digest, 16);
}

}  // namespace base
