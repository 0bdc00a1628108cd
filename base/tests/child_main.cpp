// A helper program for the base tests, run as a real child process.
//   child exe          prints its GetExePath and GetExeDir, one per line (UTF-8)
//   child hold <path>  opens the file without delete sharing, prints "ready" and
//                      keeps it open until its standard input closes
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "base/path_util.h"
#include "base/string_util.h"

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "exe") == 0) {
        printf("%s\n%s\n", base::WideToUtf8(base::GetExePath()).c_str(),
               base::WideToUtf8(base::GetExeDir()).c_str());
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "hold") == 0) {
        const std::wstring path = base::Utf8ToWide(argv[2]);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 2;
        printf("ready\n");
        fflush(stdout);
        char c;
        while (read(0, &c, 1) > 0) {
        }
        CloseHandle(file);
        return 0;
    }
    return 1;
}
