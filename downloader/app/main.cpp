// The downloader's entry. The download client is not built yet: for now the
// program shows what the platform layer sees and says so.
#include <windows.h>

#include <cstdio>

#include "win32_unixpath.h"

int main() {
    std::printf("Game downloader: not complete yet; the download client is still being built.\n");
    std::printf("Platform layer: Z:\\tmp maps to %s, C:\\ maps to %s\n", Win32PathToUnix(L"Z:\\tmp").c_str(),
                Win32PathToUnix(L"C:\\").c_str());
    return 0;
}
