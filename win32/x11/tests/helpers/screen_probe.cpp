// The layer's screen as a program sees it, one line for each request on standard input:
//   metrics      the screen, the virtual screen, the monitors, the work area, the desktop
//                window and the screen DC
//   monitor X Y  the monitor that holds the point, or "none"
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

int main() {
    for (std::string line; std::getline(std::cin, line); fflush(stdout)) {
        RECT a{}, b{};
        MONITORINFOEXW info{};
        info.cbSize = sizeof info;
        POINT p;
        if (line == "metrics") {
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &a, 0);
            GetWindowRect(GetDesktopWindow(), &b);
            HDC dc = GetDC(nullptr);
            printf(
                "screen %dx%d virtual %d,%d %dx%d monitors %d work %d,%d,%d,%d desktop "
                "%d,%d,%d,%d dc %dx%d\n",
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                GetSystemMetrics(SM_CMONITORS), a.left, a.top, a.right, a.bottom, b.left, b.top,
                b.right, b.bottom, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
            ReleaseDC(nullptr, dc);
        } else if (sscanf(line.c_str(), "monitor %d %d", &p.x, &p.y) == 2 &&
                   GetMonitorInfoW(MonitorFromPoint(p, MONITOR_DEFAULTTONULL), &info)) {
            a = info.rcMonitor, b = info.rcWork;
            printf("monitor %d,%d,%d,%d work %d,%d,%d,%d %s %ls\n", a.left, a.top, a.right,
                   a.bottom, b.left, b.top, b.right, b.bottom,
                   info.dwFlags & MONITORINFOF_PRIMARY ? "primary" : "secondary", info.szDevice);
        } else {
            printf("none\n");
        }
    }
}
