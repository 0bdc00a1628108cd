// The standard reflected CRC-32 (polynomial 0xEDB88320, start 0xFFFFFFFF, result inverted).
#pragma once

#include <cstddef>
#include <cstdint>

namespace base {

// One step on a running (not yet inverted) CRC.
void Crc32Byte(unsigned char byte, uint32_t* crc);
uint32_t Crc32Buffer(const void* data, size_t length);
// The CRC of a file's contents into *crc; answers 0, or the Windows error code when the
// file cannot be opened or read (*crc then covers what was read, inverted as always).
uint32_t Crc32File(const wchar_t* path, uint32_t* crc);

}  // namespace base
