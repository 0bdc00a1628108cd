#include "gui/win_version.h"

#include <windows.h>

namespace Gui {
namespace {

OSVERSIONINFOW Query() {
    // The record's own size: with 4-byte wide characters it is not the 276 bytes of
    // a 2-byte WCHAR build, and a wrong size would make every test answer false.
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExW(&info);  // on failure the record reads as zeros
    return info;
}

}  // namespace

bool IsWin2K() { return Query().dwMajorVersion >= 5; }

bool IsWinXP() {
    const OSVERSIONINFOW v = Query();
    return v.dwMajorVersion > 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1);
}

bool IsWinVista() { return Query().dwMajorVersion >= 6; }

}  // namespace Gui
