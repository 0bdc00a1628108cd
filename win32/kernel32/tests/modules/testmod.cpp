// A shared object with a .dll name, loaded by the module tests.
#include <windows.h>

extern "C" __attribute__((visibility("default"))) int testmod_add(int a, int b) { return a + b; }

// Sets the last error from inside the module: the program and its modules
// share one layer, so the caller sees it.
extern "C" __attribute__((visibility("default"))) void testmod_set_last_error(DWORD code) {
    SetLastError(code);
}
