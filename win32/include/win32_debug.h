// The layer's own debugging aids (no Windows counterpart).
#pragma once

#include "windows.h"

W32_BEGIN_C

// Writes the pixels of a window (frame included, as its top-level surface holds
// them) to a PNG file at path (a Windows or Linux path), opaque RGB.
// FALSE with the last error set when the window or the file fails.
BOOL WINAPI Win32DumpWindowPng(HWND hwnd, LPCWSTR path);

W32_END_C
