// The growth rule of the toolkit's vectors: capacity grows by half (at least by one)
// and elements move by a plain byte copy, so every element type kept this way must
// stay valid when moved bit for bit.
#pragma once

namespace Gui {

struct VectorBase {
    void* vector = nullptr;
    int items = 0;
    int alloc = 0;
};

// New array of n elements holding the old items; answers the old array, which the
// caller frees with VectorFree once it no longer reads elements from it.
void* VectorRawAlloc(VectorBase& v, int n, int size);
void VectorReAlloc(VectorBase& v, int n, int size);
void* VectorGrow(VectorBase& v, int size);
void VectorGrowAndFree(VectorBase& v, int size);
void VectorFree(void* array);

}  // namespace Gui
