#include "input_state.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace {

// x in the high half, y in the low, so a reader never sees half an update.
std::atomic<uint64_t> g_pointer{0};
std::atomic<bool> g_keys[256];

uint64_t pack(POINT p) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32) | static_cast<uint32_t>(p.y);
}

}  // namespace

namespace w32::user {

void set_pointer_position(POINT p) { g_pointer.store(pack(p)); }

void set_key_down(int virtual_key, bool down) {
    if (virtual_key >= 0 && virtual_key < 256) g_keys[virtual_key].store(down);
}

}  // namespace w32::user

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    uint64_t v = g_pointer.load();
    point->x = static_cast<LONG>(static_cast<int32_t>(v >> 32));
    point->y = static_cast<LONG>(static_cast<int32_t>(v & 0xFFFFFFFFu));
    return TRUE;
}

// The default clip rectangle is the screen: the pointer never leaves it.
BOOL WINAPI SetCursorPos(int x, int y) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    const int bottom = top + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1;
    POINT p = {std::clamp(x, left, std::max(left, right)),
               std::clamp(y, top, std::max(top, bottom))};
    w32::user::set_pointer_position(p);
    return TRUE;
}

BOOL WINAPI GetKeyboardState(PBYTE state) {
    if (!state) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    for (int vk = 0; vk < 256; ++vk) state[vk] = g_keys[vk].load() ? 0x80 : 0;
    return TRUE;
}

// Only the "down" bit (0x80) is kept; no key toggles here.
BOOL WINAPI SetKeyboardState(PBYTE state) {
    if (!state) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    for (int vk = 0; vk < 256; ++vk) g_keys[vk].store((state[vk] & 0x80) != 0);
    return TRUE;
}

SHORT WINAPI GetKeyState(int virtual_key) {
    if (virtual_key < 0 || virtual_key >= 256) return 0;
    // Bit 15 is "down"; the toggle bit stays 0 as no key toggles here yet.
    return g_keys[virtual_key].load() ? static_cast<SHORT>(0x8000) : 0;
}
