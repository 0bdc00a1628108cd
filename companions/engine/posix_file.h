// Small owners and helpers over POSIX files: descriptors, advisory locks, atomic
// replacement of small files, and moves that also work across file systems.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dravon {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// An exclusive flock held for the life of the object; the kernel drops it when the
// process dies, so a killed download never leaves its task locked.
class FileLock {
public:
    // nullopt when another open file holds it (`busy`) or it cannot be opened.
    static std::optional<FileLock> try_acquire(const std::string& path, bool& busy);
    FileLock(FileLock&&) = default;
    FileLock& operator=(FileLock&&) = default;

private:
    explicit FileLock(UniqueFd fd) : fd_(std::move(fd)) {}
    UniqueFd fd_;
};

// Creates the folder and its parents; true when it exists afterwards.
bool make_dirs(const std::string& path, unsigned mode = 0755);
// Temporary file beside `path`, written, flushed to disk, renamed over `path`.
bool write_file_atomic(const std::string& path, const std::string& content);
bool read_file(const std::string& path, std::string& content);
void sync_parent_dir(const std::string& path);
// rename(), or copy, flush and unlink when the two lie on different file systems.
bool move_file(const std::string& from, const std::string& to);
std::optional<uint64_t> file_size(const std::string& path);
std::string parent_dir(const std::string& path);
// Changes whenever the machine starts; empty when it cannot be read.
std::string current_boot_id();
std::string join_path(const std::string& dir, const std::string& name);

}  // namespace dravon
