// What the layer reads about processes from /proc.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace w32::procfs {

struct Stat {
    char state = '?';  // R, S, Z, ...
    pid_t ppid = 0;
    uint64_t start = 0;  // clock ticks after boot; tells a reused pid apart
    long threads = 0;
};

// Every process id, ascending (threads that are not a group's leader are left out).
std::vector<pid_t> list_pids();
bool read_stat(pid_t pid, Stat* out);
// True for the leader of a thread group (a process id rather than a thread id).
bool is_process(pid_t pid);
// The executable's Linux path, without the " (deleted)" mark; "" when unreadable.
std::string exe_path(pid_t pid);
// The kernel's short name of the process (/proc/<pid>/comm), for processes whose
// executable cannot be read.
std::string comm(pid_t pid);

struct Mapping {
    uintptr_t base;
    std::string path;
};
// Files mapped from their start (the image first, then shared objects), each once.
std::vector<Mapping> modules(pid_t pid);

}  // namespace w32::procfs
