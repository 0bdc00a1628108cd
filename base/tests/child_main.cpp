// A helper program for the base tests, run as a real child process.
//   child exe          prints its GetExePath and GetExeDir, one per line (UTF-8)
//   child hold <path>  opens the file without delete sharing, prints "ready" and keeps
//                      it open until a line or the end of its standard input
//   child mid          prints what the machine identifier is made of here, one
//                      "name=value" a line ("-" for a probe that found nothing)
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "base/disk_serial.h"
#include "base/mac_address.h"
#include "base/machine_id.h"
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
        if (read(0, &c, 1) < 0) return 3;
        CloseHandle(file);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "mid") == 0) {
        char mid[64] = {}, cpu[100] = {}, cards[100] = {}, netbios[100] = {};
        base::ComputeMid2(mid, sizeof mid);
        const bool found[] = {mid[0] != '\0', base::GetCpuIdText(cpu, sizeof cpu),
                              base::MacByNetworkCards(cards, sizeof cards),
                              base::MacByNetbios(netbios, sizeof netbios)};
        const char* names[] = {"mid", "cpu", "cards", "netbios"};
        const char* values[] = {mid, cpu, cards, netbios};
        for (int i = 0; i < 4; ++i) printf("%s=%s\n", names[i], found[i] ? values[i] : "-");
        return 0;
    }
    return 1;
}
