// The MD5 compression function of RFC 1321: the one implementation in the project,
// shared by both digest front ends of the base library and compiled into the
// download engine as source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace base {

// Folds one 64-byte block (16 little-endian words) into the four state words.
void Md5Transform(uint32_t state[4], const unsigned char block[64]);
// The same for `blocks` consecutive blocks, the state kept in registers between them.
void Md5TransformBlocks(uint32_t state[4], const unsigned char* data, size_t blocks);

}  // namespace base
