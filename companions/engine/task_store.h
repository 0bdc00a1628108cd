// The user's task store: one small record file per game key, replaced atomically,
// and beside it a lock file that a transfer holds for as long as it runs, so two
// processes never write one partial file. Each record names the boot it was
// written in: a record from an earlier boot vouches only for its synced bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "posix_file.h"

namespace dravon {

struct TaskRecord {
    std::string key;
    std::string save_folder;  // the program's (Windows) save folder, UTF-8
    std::string url;
    uint64_t size = 0;
    std::string md5;
    std::string file;  // the installer's file name
    std::string channel;
    std::string validator;   // ETag or Last-Modified the bytes so far came with
    uint64_t committed = 0;  // bytes of the partial file written before a checkpoint
    std::string md5_state;   // hash state after `committed` bytes
    // Bytes of the partial file known to be on disk, and the hash state after them:
    // all that can be trusted once the machine has restarted.
    uint64_t synced = 0;
    std::string synced_md5_state;
    bool complete = false;
    std::string verified;    // the installer's identity when its MD5 was checked
    std::string last_error;  // why the last transfer failed, for diagnosis
};

class TaskStore {
public:
    TaskStore(std::string dir, std::string boot_id)
        : dir_(std::move(dir)), boot_id_(std::move(boot_id)) {}

    bool ensure_dir() const;
    std::optional<TaskRecord> load(const std::string& key) const;
    bool save(const TaskRecord& record) const;
    void remove(const std::string& key) const;
    std::optional<FileLock> try_lock(const std::string& key, bool& busy) const;

private:
    std::string path_of(const std::string& key, const char* suffix) const;
    std::string dir_;
    std::string boot_id_;
};

}  // namespace dravon
