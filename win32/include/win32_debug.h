// The layer's own debugging aids (no Windows counterpart).
#pragma once

#include "windows.h"

W32_BEGIN_C

// Writes the pixels of a window (frame included, as its top-level surface holds
// them) to a PNG file at path (a Windows or Linux path): opaque RGB, or RGBA for a
// layered window whose per-pixel alpha UpdateLayeredWindow supplied.
// FALSE with the last error set when the window or the file fails.
BOOL WINAPI Win32DumpWindowPng(HWND hwnd, LPCWSTR path);

// The tray stand-in's view of one notification-area icon.
typedef struct _WIN32_TRAY_ICON_STATE {
    HWND owner;
    UINT id;
    UINT flags;             // the NIF_* fields ever set on the icon
    UINT callback_message;  // 0 until NIF_MESSAGE sets one
    HICON icon;
    DWORD state;            // NIS_* bits
    UINT timeout;
    WCHAR tip[128];
} WIN32_TRAY_ICON_STATE;

// Clicks an icon: posts its callback message to the owner with wParam = id and
// lParam = button_message (WM_LBUTTONUP, WM_RBUTTONUP, ...). FALSE with
// ERROR_NOT_FOUND when there is no such icon, ERROR_INVALID_PARAMETER when it has
// no callback message or is hidden.
BOOL WINAPI Win32TrayClick(HWND owner, UINT id, UINT button_message);

// Number of icons of owner in the tray (of every owner when owner is NULL).
UINT WINAPI Win32TrayIconCount(HWND owner);

// Copies an icon's state; FALSE with ERROR_NOT_FOUND when there is no such icon.
BOOL WINAPI Win32TrayIconState(HWND owner, UINT id, WIN32_TRAY_ICON_STATE* state);
W32_END_C
