// The child program of the process tests. Its first known word among the
// arguments says what to do (so it works however the command line split):
//   exit <code>          end with that code
//   exitprocess <code>   end through ExitProcess
//   sleep <ms>           sleep, then end with 0
//   record <file>        write <file> (image, folder, arguments) and <file>.w
//                        (GetCommandLineW as raw wide characters), end with 0
#include <windows.h>

#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <string>

namespace {

void record(const std::string& file, int argc, char** argv) {
    char buf[PATH_MAX] = {};
    std::ofstream out(file, std::ios::binary);
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    out << "image=" << std::string(buf, n > 0 ? static_cast<size_t>(n) : 0) << "\n";
    out << "cwd=" << (getcwd(buf, sizeof buf) ? buf : "") << "\n";
    out << "cmdline_env=" << (getenv("WIN32_CMDLINE") ? "present" : "absent") << "\n";
    for (int i = 1; i < argc; ++i) out << "arg=" << argv[i] << "\n";
    out.close();

    const wchar_t* line = GetCommandLineW();
    std::ofstream wide(file + ".w", std::ios::binary);
    wide.write(reinterpret_cast<const char*>(line),
               static_cast<std::streamsize>(wcslen(line) * sizeof(wchar_t)));
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        std::string word = argv[i];
        const char* operand = argv[i + 1];
        if (word == "exit") return atoi(operand);
        if (word == "exitprocess") ExitProcess(static_cast<UINT>(atoi(operand)));
        if (word == "sleep") {
            usleep(static_cast<useconds_t>(atoi(operand)) * 1000);
            return 0;
        }
        if (word == "record") {
            record(operand, argc, argv);
            return 0;
        }
    }
    return 100;
}
