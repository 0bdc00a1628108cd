// Where pointer and keyboard input enters the layer: the X11 presenter's events and
// SendInput both come through here, so each becomes the same messages on the queue
// of the thread that owns the window they reach. Callable from any thread.
#pragma once

#include <windef.h>

#include <string>

namespace w32::input {

enum class Mouse { Move, LeftDown, LeftUp, RightDown, RightUp, MiddleDown, MiddleUp, Wheel };

// The pointer at screen point p did what (wheel: delta in WHEEL_DELTA units); time
// is a GetTickCount stamp, 0 for now.
void mouse(Mouse what, POINT p, int wheel, DWORD time);

// A key went down (or up): its virtual key (left and right modifiers may be named
// apart: VK_LSHIFT, VK_RCONTROL, ...), its scan code and extended flag, and for a
// press the text it types.
void key(WORD vk, WORD scan, bool extended, bool up, const std::u32string& text, DWORD time);
// A character typed without a key (VK_PACKET).
void character(char32_t ch, DWORD time);
// The keys that are down now, when the process learns them afresh (null: none).
void keys_down(const bool* down_by_vk);

// What the desktop did to a top-level window, applied on the window's thread as the
// messages Windows sends: the keyboard focus arrived (top) or went to another program
// (null), the window was moved, minimised or restored, or asked to close.
void system_focus(HWND top);
void system_moved(HWND top, RECT rect);
void system_minimized(HWND top, bool minimized);
void system_close(HWND top);

// US-layout text of a virtual key given the shift, control, alt and caps-lock state.
std::u32string key_text(WORD vk, bool shift, bool ctrl, bool alt, bool caps);

}  // namespace w32::input
