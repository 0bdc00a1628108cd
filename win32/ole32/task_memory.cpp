// COM task memory: the allocator for memory handed across interfaces.
#include <objbase.h>

#include <cstdlib>

LPVOID WINAPI CoTaskMemAlloc(SIZE_T size) { return std::malloc(size ? size : 1); }

LPVOID WINAPI CoTaskMemRealloc(LPVOID p, SIZE_T size) { return std::realloc(p, size ? size : 1); }

void WINAPI CoTaskMemFree(LPVOID p) { std::free(p); }
