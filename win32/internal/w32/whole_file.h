// Whole files for the layer's own stores (registry, profiles, the window
// rendezvous): read one at once, or replace one so that a reader or a crash sees
// the old content or the new, never a part. Results are errno values, 0 on success.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace w32 {

// Appends the file's bytes to *out.
int read_whole_file(const std::string& path, std::string* out);

// Writes every byte to fd, through short writes and interruptions.
int write_all(int fd, std::string_view data);

struct AtomicWrite {
    mode_t mode = 0666;      // of a new file, through the umask
    bool keep_mode = false;  // an existing file's permission bits carry over
    bool replace = true;     // false: EEXIST when the file is already there
    bool durable = true;     // the data and the new name reach the disk first
    // The caller keeps other writers out (a lock), so one temporary name serves
    // and a writer that dies leaves no more than that one file behind.
    bool serialized = false;
};

// Writes data to a fresh file beside path and renames it into place; on failure
// the temporary file is gone and path is as it was. A symbolic link at path is
// replaced, not followed: resolve it first to write through it.
int write_file_atomically(const std::string& path, std::string_view data,
                          const AtomicWrite& how = {});

// Removes the temporary files that writers of path which are no longer running
// left beside it (a writer killed in the middle of a replace).
void remove_stale_temp_files(const std::string& path);

}  // namespace w32
