// Archives made by the tests themselves, through libarchive's writer, with
// whatever names a hostile archive could carry.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

namespace sevenza_test {

struct ArchiveEntry {
    std::string name;
    std::string data;    // a file's bytes
    std::string target;  // a symbolic link's target
    int mode = 0644;
    mode_t type = AE_IFREG;
};

inline ArchiveEntry file(std::string name, std::string data, int mode = 0644) {
    return {std::move(name), std::move(data), "", mode};
}
inline ArchiveEntry folder(std::string name) { return {std::move(name), "", "", 0755, AE_IFDIR}; }
inline ArchiveEntry symlink(std::string name, std::string target) {
    return {std::move(name), "", std::move(target), 0777, AE_IFLNK};
}

// format: a libarchive format name ("7zip", "zip"); options as libarchive's writer
// takes them ("zip:compression=store").
inline bool write_archive(const std::string& path, const std::string& format,
                          const std::vector<ArchiveEntry>& entries,
                          const std::string& options = "") {
    std::setlocale(LC_CTYPE, "C.UTF-8");  // libarchive converts names through it
    std::unique_ptr<archive, decltype(&archive_write_free)> a(archive_write_new(),
                                                              archive_write_free);
    if (archive_write_set_format_by_name(a.get(), format.c_str()) != ARCHIVE_OK ||
        (!options.empty() && archive_write_set_options(a.get(), options.c_str()) != ARCHIVE_OK) ||
        archive_write_open_filename(a.get(), path.c_str()) != ARCHIVE_OK)
        return false;
    for (const auto& e : entries) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), e.name.c_str());
        archive_entry_set_perm(entry.get(), static_cast<mode_t>(e.mode));
        archive_entry_set_mtime(entry.get(), 1700000000, 0);
        archive_entry_set_filetype(entry.get(), e.type);
        if (e.type == AE_IFREG) archive_entry_set_size(entry.get(), la_int64_t(e.data.size()));
        if (e.type == AE_IFLNK) archive_entry_set_symlink_utf8(entry.get(), e.target.c_str());
        if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK ||
            archive_write_data(a.get(), e.data.data(), e.data.size()) != la_ssize_t(e.data.size()))
            return false;
    }
    return archive_write_close(a.get()) == ARCHIVE_OK;
}

}  // namespace sevenza_test
