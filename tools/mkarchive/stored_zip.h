// A stored (uncompressed) zip whose local headers carry the CRC and sizes up
// front, with no data descriptors, so a reader can walk it or index it in place.
// libarchive's writer streams and always appends descriptors, hence this one.
#pragma once

#include <string>
#include <vector>

namespace mkarchive {

struct StoredFile {
    std::string name;
    std::string data;
    bool executable = false;
};

// The whole archive's bytes; false when it would need zip64 (4 GiB, 65535 files).
bool make_stored_zip(const std::vector<StoredFile>& files, long long mtime, std::string* out,
                     std::string* error);

}  // namespace mkarchive
