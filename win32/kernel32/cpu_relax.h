// The pause a spinning thread takes between looks, so the core's sibling and the
// memory system are not flooded.
#pragma once

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}
