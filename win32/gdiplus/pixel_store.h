// Pixel words that are not cleared when allocated: every decoder writes each pixel
// it allocates, so clearing 4 bytes a pixel first would only cost time. Kept free
// of Windows headers for the codecs that cannot include them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace gdip {

// Images beyond this many pixels are refused before anything is allocated for
// them: no image a program shows needs more, and a small file can claim far more.
constexpr uint64_t kMaxPixels = 64ull << 20;

inline bool size_allowed(uint64_t width, uint64_t height) {
    return width != 0 && height != 0 && width <= kMaxPixels / height;
}

// Large blocks come in huge pages where the system offers them: a decoded photo
// then costs a few dozen page faults instead of thousands.
void* allocate_pixels(size_t bytes);
void free_pixels(void* p, size_t bytes) noexcept;

template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocate_pixels(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept { free_pixels(p, n * sizeof(T)); }

    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PixelStore = std::vector<uint32_t, DefaultInitAllocator<uint32_t>>;

}  // namespace gdip
