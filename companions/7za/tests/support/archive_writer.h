// Archives made by the tests themselves, through libarchive's writer, with
// whatever names a hostile archive could carry.
#pragma once

#include <string>
#include <vector>

namespace sevenza_test {

struct ArchiveEntry {
    enum class Kind { kFile, kFolder, kSymlink, kHardlink };
    std::string name;
    std::string data;    // a file's bytes
    std::string target;  // a link's target
    Kind kind = Kind::kFile;
    int mode = 0644;
};

inline ArchiveEntry file(std::string name, std::string data, int mode = 0644) {
    return {std::move(name), std::move(data), "", ArchiveEntry::Kind::kFile, mode};
}
inline ArchiveEntry folder(std::string name) {
    return {std::move(name), "", "", ArchiveEntry::Kind::kFolder, 0755};
}
inline ArchiveEntry symlink(std::string name, std::string target) {
    return {std::move(name), "", std::move(target), ArchiveEntry::Kind::kSymlink, 0777};
}

// format: a libarchive format name ("7zip", "zip", "pax"); options as libarchive's
// writer takes them ("zip:compression=store").
bool write_archive(const std::string& path, const std::string& format,
                   const std::vector<ArchiveEntry>& entries, const std::string& options = "");

}  // namespace sevenza_test
