// The child program of the process tests. Its first known word among the
// arguments says what to do (so it works however the command line split):
//   exit <code>          end with that code
//   exitprocess <code>   end through ExitProcess
//   sleep <ms>           sleep, then end with 0
//   record <file>        write <file> (image, folder, arguments, open descriptors)
//                        and <file>.w (GetCommandLineW as raw wide characters), end with 0
// Without arguments it answers one line to each command on its input, until it ends:
//   create <owned> <name>      CreateMutexW: "<ok> <last error>"
//   wait <ms>, release, close  on that mutex: the wait's result, "<ok> <error>", "<ok>"
//   open <access> <share> <path>  CreateFileW, kept open: "<ok>"
#include <windows.h>

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The descriptors open when the program starts, before it opens any itself.
std::vector<int> open_descriptors() {
    std::vector<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return fds;
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.' && atoi(e->d_name) != dirfd(dir)) fds.push_back(atoi(e->d_name));
    closedir(dir);
    return fds;
}

void record(const std::string& file, int argc, char** argv) {
    const std::vector<int> fds = open_descriptors();
    char buf[PATH_MAX] = {};
    std::ofstream out(file, std::ios::binary);
    for (int fd : fds) out << "fd=" << fd << "\n";
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

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

int commands() {
    HANDLE mutex = nullptr;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        std::string word, name;
        unsigned long a = 0, b = 0;
        in >> word >> a;
        if (word == "create" && in >> name) {
            mutex = CreateMutexW(nullptr, a, widen(name).c_str());
            std::cout << (mutex != nullptr) << " " << GetLastError();
        } else if (word == "wait") {
            std::cout << WaitForSingleObject(mutex, a);
        } else if (word == "release") {
            BOOL ok = ReleaseMutex(mutex);
            std::cout << ok << " " << (ok ? 0 : GetLastError());
        } else if (word == "close") {
            std::cout << CloseHandle(mutex);
        } else if (word == "open" && in >> b >> name) {
            std::cout << (CreateFileW(widen(name).c_str(), a, b, nullptr, OPEN_EXISTING, 0,
                                      nullptr) != INVALID_HANDLE_VALUE);
        }
        std::cout << std::endl;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return commands();
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
