// The machine identifier of the statistics reports: 32 lower-case hexadecimal
// characters that stay the same for a machine across runs and installs.
#pragma once

#include <cstddef>

namespace base {

// Bytes an identifier needs: 32 characters and the terminator.
constexpr size_t kMidBufferSize = 33;

// The identifier, NUL-terminated, into out. Does nothing for a null buffer or one
// smaller than kMidBufferSize. The security suite's stored identifier wins when it
// is valid; otherwise the processor, the first disk serial and a network adapter's
// address are hashed ("Mid2Failed" when none of them answers).
void ComputeMid2(char* out, size_t size);

// The suite's identifier (HKEY_LOCAL_MACHINE "Software\Harlin\Morsk", value "mid":
// 32 hexadecimal characters and their 32-character check value) when it is valid.
bool ReadSuiteMid(char* out, size_t size);

// The lower-case hexadecimal digest of at most the first 259 bytes of text; out is
// zero-filled and gets at most size - 1 characters. True when all 32 fit.
bool HashMidText(const char* text, char* out, size_t size);

// "<vendor>:<feature flags>" from CPUID leaves 0 and 1, e.g. "GenuineIntel:178bfbff".
// False where the processor has no CPUID.
bool GetCpuIdText(char* out, size_t size);

}  // namespace base
