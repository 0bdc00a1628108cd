// Windows version tests that decide how cursors are built; asked anew on every call.
#pragma once

namespace Gui {

bool IsWin2K();     // 5.0 or later
bool IsWinXP();     // 5.1 or later
bool IsWinVista();  // 6.0 or later

}  // namespace Gui
