// Toolhelp process snapshots, read from /proc when the snapshot is taken.
#include <w32/error.h>
#include <w32/object.h>
#include <w32/procfs.h>
#include <w32/text.h>

#include <tlhelp32.h>

#include <mutex>
#include <string>
#include <vector>

namespace w32 {
namespace {

struct ProcessEntry {
    DWORD pid;
    DWORD ppid;
    DWORD threads;
    std::wstring exe;
};

class SnapshotObject : public Object {
public:
    explicit SnapshotObject(std::vector<ProcessEntry> entries) : entries_(std::move(entries)) {}
    Kind kind() const override { return Kind::Snapshot; }

    // Copies the first or the next entry into out; false past the end.
    bool copy(bool first, PROCESSENTRY32W* out) {
        std::lock_guard lock(mu_);
        if (first) next_ = 0;
        if (next_ >= entries_.size()) return false;
        const ProcessEntry& e = entries_[next_++];
        out->cntUsage = 0;
        out->th32ProcessID = e.pid;
        out->th32DefaultHeapID = 0;
        out->th32ModuleID = 0;
        out->cntThreads = e.threads;
        out->th32ParentProcessID = e.ppid;
        out->pcPriClassBase = 8;  // normal priority
        out->dwFlags = 0;
        size_t n = std::min(e.exe.size(), static_cast<size_t>(MAX_PATH - 1));
        e.exe.copy(out->szExeFile, n);
        out->szExeFile[n] = L'\0';
        return true;
    }

private:
    std::mutex mu_;
    std::vector<ProcessEntry> entries_;
    size_t next_ = 0;
};

std::string base_name(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<ProcessEntry> scan() {
    std::vector<ProcessEntry> out;
    for (pid_t pid : procfs::list_pids()) {
        procfs::Stat st;
        if (!procfs::read_stat(pid, &st)) continue;  // ended meanwhile
        // The image's file name; the kernel's short name when the image is hidden.
        std::string exe = procfs::exe_path(pid);
        std::string name = exe.empty() ? procfs::comm(pid) : base_name(exe);
        out.push_back({static_cast<DWORD>(pid), static_cast<DWORD>(st.ppid),
                       static_cast<DWORD>(st.threads), from_utf8(name)});
    }
    return out;
}

BOOL next_entry(HANDLE snapshot, LPPROCESSENTRY32W entry, bool first) {
    auto snap = get_as<SnapshotObject>(snapshot);
    if (!snap) return FALSE;
    if (!entry || entry->dwSize < sizeof(PROCESSENTRY32W)) return fail(ERROR_BAD_LENGTH);
    return snap->copy(first, entry) ? TRUE : fail(ERROR_NO_MORE_FILES);
}

}  // namespace
}  // namespace w32

using namespace w32;

HANDLE WINAPI CreateToolhelp32Snapshot(DWORD flags, DWORD) {
    // Only the process list is kept; threads, modules and heaps are not.
    std::vector<ProcessEntry> entries;
    if (flags & TH32CS_SNAPPROCESS) entries = scan();
    HANDLE h = new_handle(std::make_shared<SnapshotObject>(std::move(entries)));
    return h ? h : INVALID_HANDLE_VALUE;
}

BOOL WINAPI Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
    return next_entry(snapshot, entry, true);
}

BOOL WINAPI Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry) {
    return next_entry(snapshot, entry, false);
}
