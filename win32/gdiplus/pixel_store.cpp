#include "gdiplus/pixel_store.h"

#include <sys/mman.h>

namespace gdip {
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLarge = size_t{8} << 20;

}  // namespace

void* allocate_pixels(size_t bytes) {
    if (bytes < kLarge) {
        void* p = std::malloc(bytes ? bytes : 1);
        if (!p) throw std::bad_alloc();
        return p;
    }
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
    madvise(p, rounded, MADV_HUGEPAGE);  // only advice: without it pages stay small
    return p;
}

void free_pixels(void* p, size_t) noexcept { std::free(p); }

}  // namespace gdip
