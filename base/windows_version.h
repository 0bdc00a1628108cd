// Which Windows the program runs on.
#pragma once

#include <stdint.h>

namespace base {

// Exactly this major and minor version.
bool IsWindowsVersion(uint32_t major, uint32_t minor);
// An x64 or Itanium system, whatever this process is built for.
bool Is64BitWindows();
// Version 6 (Vista) or later.
bool IsVistaOrLater();
// ntdll's version numbers, build without its flag bits; false (outputs untouched)
// when ntdll does not offer them.
bool GetNtVersionNumbers(uint32_t* major, uint32_t* minor, uint32_t* build);

}  // namespace base
