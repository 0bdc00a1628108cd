#include "base/crc32.h"

#include "base/scoped_handle.h"

#include <array>

#include <windows.h>

namespace base {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

void Crc32Byte(unsigned char byte, uint32_t* crc) {
    *crc = kTable[(*crc ^ byte) & 0xff] ^ (*crc >> 8);
}

uint32_t Crc32Buffer(const void* data, size_t length) {
    uint32_t crc = 0xffffffffu;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < length; ++i) Crc32Byte(bytes[i], &crc);
    return ~crc;
}

uint32_t Crc32File(const wchar_t* path, uint32_t* crc) {
    uint32_t running = 0xffffffffu;
    uint32_t result = 0;
    ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid()) {
        result = GetLastError();
    } else {
        unsigned char chunk[4096];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr)) {
                // A failed read is not the end of the file: say so instead of answering
                // the CRC of a part as if it were the whole.
                result = GetLastError();
                break;
            }
            if (got == 0) break;
            for (DWORD i = 0; i < got; ++i) Crc32Byte(chunk[i], &running);
        }
    }
    if (crc != nullptr) *crc = ~running;
    return result;
}

}  // namespace base
