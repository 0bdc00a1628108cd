// Where the engine finds its files and how patient it is, from the environment
// (the knobs are listed in README.md).
#pragma once

#include <cstdint>
#include <string>

namespace dravon {

struct Settings {
    std::string engine_file;  // the game list shipped beside the library
    std::string store_dir;    // the user's task store
    int retries = 8;          // transient faults in a row before giving up
    int backoff_ms = 1000;    // first wait after a fault; doubles up to max_backoff_ms
    int max_backoff_ms = 30000;
    int stall_ms = 30000;  // no byte for this long counts as a fault
    int connect_timeout_ms = 15000;
    uint64_t checkpoint_bytes = 4 << 20;  // progress recorded at least this often
    int sync_ms = 5000;                   // data flushed to disk at least this often
    std::string boot_id;                  // tells a restart of the machine from a new process

    // `library_dir` is the folder holding the engine library.
    static Settings from_environment(const std::string& library_dir);
};

}  // namespace dravon
