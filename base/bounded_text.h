// Length-limited copy and append into fixed narrow buffers: a step that does not
// fit changes nothing and answers false, so no buffer is ever overrun or cut.
#pragma once

#include <cstddef>
#include <cstring>

namespace base {

inline bool CopyText(char* out, size_t size, const char* text) {
    if (!out || !text) return false;
    const size_t n = strlen(text);
    if (n >= size) return false;
    memcpy(out, text, n + 1);
    return true;
}

inline bool AppendText(char* out, size_t size, const char* text) {
    if (!out || !text) return false;
    const size_t used = strnlen(out, size);
    if (used >= size) return false;
    return CopyText(out + used, size - used, text);
}

}  // namespace base
