// One root of the registry kept in a file: <dir>/<name>.store, where <dir> is
// WIN32_REGISTRY_DIR, else $XDG_CONFIG_HOME/win32-registry, else
// ~/.config/win32-registry.
//
// Every change is written through at once: under an exclusive flock of
// <name>.lock the file is read again, changed, written to <name>.store.tmp,
// fsync'ed and renamed over the store, so a crash leaves the old or the new
// store and two processes writing at once lose nothing. Readers take no lock:
// the rename makes every file they open complete.
#pragma once

#include "registry_tree.h"

#include <sys/types.h>

#include <functional>
#include <optional>
#include <memory>
#include <mutex>
#include <string>

namespace w32::reg {

class Store {
public:
    explicit Store(std::string name) : name_(std::move(name)) {}

    // Runs fn on the current tree. ERROR_REGISTRY_CORRUPT when the file does not
    // parse, ERROR_REGISTRY_IO_FAILED when it cannot be read.
    LSTATUS read(const std::function<LSTATUS(const Key& root)>& fn);
    // Runs fn on the current tree under the store's lock, and saves the tree when
    // fn answers ERROR_SUCCESS and sets changed. fn changes nothing when it fails.
    LSTATUS write(const std::function<LSTATUS(Key& root, bool& changed)>& fn);

    static Store& machine();
    static Store& user();

private:
    struct FileStamp {
        dev_t dev = 0;
        ino_t ino = 0;  // 0: no file
        off_t size = 0;
        time_t sec = 0;
        long nsec = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static std::optional<FileStamp> stamp(const std::string& file);
    // The parsed tree of the file's current text, from the cache when unchanged.
    LSTATUS load(const std::string& file, Key** root);

    std::string name_;
    std::mutex mu_;
    std::string cached_file_;
    std::string cached_text_;
    std::unique_ptr<Key> cached_root_;
    FileStamp cached_stamp_;
};

std::string registry_dir();

}  // namespace w32::reg
