// System values: the screen's from the layer's screen layout (the primary monitor's,
// as on Windows, besides the virtual screen's), the frame sizes windows are laid out
// with, and the keyboard repeat at its quickest (delay 1 of 0-3, speed 31 of 0-31).
#include <windows.h>

#include <w32/screen.h>

#include "cursor_art.h"

namespace {

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

constexpr int kCaption = 23;  // as window frames are laid out
constexpr int kThickFrame = 8;
constexpr int kDialogFrame = 3;
constexpr int kMenu = 20;

}  // namespace

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CYSCREEN:
        case SM_CXFULLSCREEN:
        case SM_CYFULLSCREEN:
        case SM_CXMAXIMIZED:
        case SM_CYMAXIMIZED:
        case SM_XVIRTUALSCREEN:
        case SM_YVIRTUALSCREEN:
        case SM_CXVIRTUALSCREEN:
        case SM_CYVIRTUALSCREEN:
        case SM_CMONITORS: {
            const w32::screen::Layout layout = w32::screen::current();
            const w32::screen::Monitor& primary = layout.primary();
            const RECT all = layout.bounds();
            switch (index) {
                case SM_CXSCREEN:
                    return width(primary.rect);
                case SM_CYSCREEN:
                    return height(primary.rect);
                case SM_CXFULLSCREEN:
                    return width(primary.work);
                case SM_CYFULLSCREEN:
                    return height(primary.work) - kCaption;
                case SM_CXMAXIMIZED:
                    return width(primary.work) + 2 * kThickFrame;
                case SM_CYMAXIMIZED:
                    return height(primary.work) + 2 * kThickFrame;
                case SM_XVIRTUALSCREEN:
                    return all.left;
                case SM_YVIRTUALSCREEN:
                    return all.top;
                case SM_CXVIRTUALSCREEN:
                    return width(all);
                case SM_CYVIRTUALSCREEN:
                    return height(all);
                default:
                    return static_cast<int>(layout.monitors.size());
            }
        }
        case SM_SAMEDISPLAYFORMAT:
            return 1;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
        case SM_CYVTHUMB:
        case SM_CXHTHUMB:
            return 17;
        case SM_CYCAPTION:
            return kCaption;
        case SM_CYSMCAPTION:
            return 17;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return kDialogFrame;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return kThickFrame;
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return w32::user::kCursorSize;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CYMENU:
            return kMenu;
        case SM_CXSIZE:
        case SM_CYSIZE:
            return kCaption - 1;
        case SM_CXMIN:
            return 132;
        case SM_CYMIN:
            return kCaption + 2 * kThickFrame;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
        case SM_CXDRAG:
        case SM_CYDRAG:
            return 4;
        case SM_MOUSEPRESENT:
            return 1;
        case SM_CMOUSEBUTTONS:
            return 3;
        case SM_SWAPBUTTON:
        case SM_REMOTESESSION:
            return 0;
    }
    return 0;
}

BOOL WINAPI SystemParametersInfoW(UINT action, UINT, PVOID value, UINT) {
    switch (action) {
        case SPI_GETWORKAREA:
            if (!value) break;
            *static_cast<RECT*>(value) = w32::screen::current().primary().work;
            return TRUE;
        case SPI_GETKEYBOARDDELAY:
            if (!value) break;
            *static_cast<int*>(value) = 1;
            return TRUE;
        case SPI_GETKEYBOARDSPEED:
            if (!value) break;
            *static_cast<DWORD*>(value) = 31;
            return TRUE;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
    SetLastError(ERROR_NOACCESS);
    return FALSE;
}
