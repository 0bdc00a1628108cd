// "Fails with this error" as one check, for the Win32 layer's tests.
#pragma once

#include <windows.h>

namespace testing_support {

// The last error a call left when it failed, 0 when it did not.
inline int Failed(bool failed) { return failed ? static_cast<int>(GetLastError()) : 0; }

}  // namespace testing_support
