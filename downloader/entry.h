// The program's spine: prepares the process, creates the controller, starts it and
// runs the message loop until the client quits.
#pragma once

#include <windows.h>

namespace downloader {

// The entry function's work; answers the message loop's exit code.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show);
int Run(LPWSTR command_line, int show);

}  // namespace downloader
