// What the pointer and keys are doing, as the input source last reported it.
// Until one exists the pointer rests at 0,0 and every key is up.
#pragma once

#include <windows.h>

namespace w32::user {

void set_pointer_position(POINT p);
// Records a key or button as down or up (virtual key codes below 256).
void set_key_down(int virtual_key, bool down);

}  // namespace w32::user
