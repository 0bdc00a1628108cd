// The downloader's entry.
#include <windows.h>

#include "downloader/entry.h"

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line,
                               int show) {
    return downloader::WinMain(instance, previous, command_line, show);
}
