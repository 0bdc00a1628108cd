// The MD5 compression function of RFC 1321, shared by both digest front ends.
#pragma once

#include <cstdint>

namespace base {

// Folds one 64-byte block (16 little-endian words) into the four state words.
void Md5Transform(uint32_t state[4], const unsigned char block[64]);

}  // namespace base
