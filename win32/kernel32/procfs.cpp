#include <w32/procfs.h>

#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

namespace w32::procfs {
namespace {

std::string proc_file(pid_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

}  // namespace

std::vector<pid_t> list_pids() {
    std::vector<pid_t> pids;
    std::unique_ptr<DIR, DirCloser> dir(opendir("/proc"));
    if (!dir) return pids;
    while (dirent* e = readdir(dir.get())) {
        char* end = nullptr;
        long v = strtol(e->d_name, &end, 10);
        if (end && *end == '\0' && v > 0) pids.push_back(static_cast<pid_t>(v));
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool read_stat(pid_t pid, Stat* out) {
    std::ifstream in(proc_file(pid, "stat"));
    std::string text;
    if (!std::getline(in, text)) return false;
    // The name sits in parentheses and may itself hold blanks and parentheses.
    auto close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(text.substr(close + 1));
    Stat s;
    std::string field;
    rest >> s.state >> s.ppid;
    // Fields 5..19 are skipped; 20 is the thread count, 22 the start time.
    for (int i = 5; i <= 19 && rest >> field; ++i) {
    }
    rest >> s.threads >> field >> s.start;
    if (!rest) return false;
    *out = s;
    return true;
}

bool is_process(pid_t pid) {
    std::ifstream in(proc_file(pid, "status"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Tgid:", 0) == 0) return std::atol(line.c_str() + 5) == pid;
    }
    return false;
}

std::string exe_path(pid_t pid) {
    char buf[PATH_MAX];
    ssize_t n = readlink(proc_file(pid, "exe").c_str(), buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, static_cast<size_t>(n));
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        path.resize(path.size() - kDeleted.size());
    return path;
}

std::string comm(pid_t pid) {
    std::ifstream in(proc_file(pid, "comm"));
    std::string name;
    std::getline(in, name);
    return name;
}

std::vector<Mapping> modules(pid_t pid) {
    std::vector<Mapping> out;
    std::string image = exe_path(pid);
    std::ifstream in(proc_file(pid, "maps"));
    std::string line;
    std::set<std::string> seen;
    size_t image_at = std::string::npos;
    while (std::getline(in, line)) {
        // address perms offset dev inode path
        std::istringstream fields(line);
        std::string range, perms, offset, dev, inode, path;
        fields >> range >> perms >> offset >> dev >> inode;
        std::getline(fields >> std::ws, path);
        if (path.empty() || path[0] != '/') continue;
        if (std::strtoull(offset.c_str(), nullptr, 16) != 0) continue;
        static const std::string kDeleted = " (deleted)";
        if (path.size() > kDeleted.size() &&
            path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
            path.resize(path.size() - kDeleted.size());
        if (!seen.insert(path).second) continue;
        uintptr_t base = std::strtoull(range.c_str(), nullptr, 16);
        if (path == image) image_at = out.size();
        out.push_back({base, path});
    }
    if (image_at != std::string::npos) {
        std::rotate(out.begin(), out.begin() + static_cast<long>(image_at),
                    out.begin() + static_cast<long>(image_at) + 1);
    } else if (!image.empty()) {
        out.insert(out.begin(), {0, image});
    }
    return out;
}

}  // namespace w32::procfs
