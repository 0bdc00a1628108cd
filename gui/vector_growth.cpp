#include "gui/vector_growth.h"

#include <cstring>
#include <new>

namespace Gui {

void* VectorRawAlloc(VectorBase& v, int n, int size) {
    void* fresh =
        n > 0 ? ::operator new(static_cast<size_t>(n) * static_cast<size_t>(size)) : nullptr;
    v.alloc = n;
    void* old = v.vector;
    // A shrink keeps only what fits instead of writing past the new array.
    if (v.items > n) v.items = n;
    if (old && fresh && v.items > 0)
        memcpy(fresh, old, static_cast<size_t>(v.items) * static_cast<size_t>(size));
    v.vector = fresh;
    return old;
}

void VectorReAlloc(VectorBase& v, int n, int size) { VectorFree(VectorRawAlloc(v, n, size)); }

void* VectorGrow(VectorBase& v, int size) {
    int n = v.alloc + v.alloc / 2;
    if (n < v.alloc + 1) n = v.alloc + 1;
    return VectorRawAlloc(v, n, size);
}

void VectorGrowAndFree(VectorBase& v, int size) { VectorFree(VectorGrow(v, size)); }

void VectorFree(void* array) { ::operator delete(array); }

}  // namespace Gui
