// Whole-file reads and writes through the layer's own file calls, so paths, share
// modes and error codes behave as for any other file the program opens.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace gdip {

// False with the last error set.
bool read_whole_file(const WCHAR* filename, std::vector<uint8_t>& out);
bool write_whole_file(const WCHAR* filename, const std::vector<uint8_t>& bytes);

}  // namespace gdip
