// The layer's screen as a program sees it, one line for each request on standard input:
//   metrics      the screen, the virtual screen, the monitors, the work area, the desktop
//                window and the screen DC
//   monitor X Y  the monitor that holds the point, or "none"
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

int main() {
    for (std::string line; std::getline(std::cin, line);) {
        char out[512] = "?";
        POINT p;  // LONG is int here
        if (line == "metrics") {
            RECT work{}, desktop{};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            GetWindowRect(GetDesktopWindow(), &desktop);
            HDC dc = GetDC(nullptr);
            snprintf(out, sizeof out,
                     "screen %dx%d virtual %d,%d %dx%d monitors %d work %d,%d,%d,%d desktop "
                     "%d,%d,%d,%d dc %dx%d",
                     GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                     GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                     GetSystemMetrics(SM_CMONITORS), work.left, work.top, work.right, work.bottom,
                     desktop.left, desktop.top, desktop.right, desktop.bottom,
                     GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
            ReleaseDC(nullptr, dc);
        } else if (sscanf(line.c_str(), "monitor %d %d", &p.x, &p.y) == 2) {
            MONITORINFOEXW info{};
            info.cbSize = sizeof info;
            if (!GetMonitorInfoW(MonitorFromPoint(p, MONITOR_DEFAULTTONULL), &info)) {
                snprintf(out, sizeof out, "none");
            } else {
                const RECT &m = info.rcMonitor, &w = info.rcWork;
                snprintf(out, sizeof out, "monitor %d,%d,%d,%d work %d,%d,%d,%d %s %ls",
                         m.left, m.top, m.right, m.bottom, w.left, w.top, w.right, w.bottom,
                         info.dwFlags & MONITORINFOF_PRIMARY ? "primary" : "secondary",
                         info.szDevice);
            }
        }
        printf("%s\n", out);
        fflush(stdout);
    }
}
