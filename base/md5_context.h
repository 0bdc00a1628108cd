// MD5 as context functions, with a seedable start state and a finalisation that can be
// applied again to the same context (the machine identifier digests that way). Seed 0 and
// one finalisation give the plain RFC 1321 digest.
#pragma once

#include <cstdint>

namespace base {

struct Md5Context {
    uint32_t count[2];  // bits hashed so far, low word first
    uint32_t state[4];  // A, B, C, D
    unsigned char buffer[64];
    unsigned char digest[16];
};

void Md5Init(Md5Context* context, uint32_t seed);
void Md5Update(Md5Context* context, const unsigned char* data, uint32_t length);
// Pads through Md5Update and compresses the length held before the padding; the context
// is not cleared, so its bit count then includes the padding bytes (not the length), and
// another Md5Final pads and compresses again from there.
void Md5Final(Md5Context* context);
// The plain digest of a NUL-terminated string, without its terminator.
void Md5OfString(const char* text, unsigned char digest[16]);

}  // namespace base
