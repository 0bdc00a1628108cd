// The user's task store: one small record file per game key, replaced atomically,
// and beside it a lock file that a transfer holds for as long as it runs, so two
// processes never write one partial file.
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
    uint64_t committed = 0;  // bytes of the partial file known to be on disk
    std::string md5_state;   // hash state after `committed` bytes
    bool complete = false;
    std::string last_error;  // why the last transfer failed, for diagnosis
};

class TaskStore {
public:
    explicit TaskStore(std::string dir) : dir_(std::move(dir)) {}

    bool ensure_dir() const;
    std::optional<TaskRecord> load(const std::string& key) const;
    bool save(const TaskRecord& record) const;
    void remove(const std::string& key) const;
    std::optional<FileLock> try_lock(const std::string& key, bool& busy) const;

private:
    std::string path_of(const std::string& key, const char* suffix) const;
    std::string dir_;
};

}  // namespace dravon
