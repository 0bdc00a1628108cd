#include "support/archive_writer.h"

#include <archive.h>
#include <archive_entry.h>

#include <clocale>
#include <memory>

namespace sevenza_test {

bool write_archive(const std::string& path, const std::string& format,
                   const std::vector<ArchiveEntry>& entries, const std::string& options) {
    // libarchive converts names through the locale's character set.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::unique_ptr<archive, decltype(&archive_write_free)> a(archive_write_new(),
                                                              archive_write_free);
    if (archive_write_set_format_by_name(a.get(), format.c_str()) != ARCHIVE_OK) return false;
    if (!options.empty() && archive_write_set_options(a.get(), options.c_str()) != ARCHIVE_OK)
        return false;
    if (archive_write_open_filename(a.get(), path.c_str()) != ARCHIVE_OK) return false;
    for (const auto& e : entries) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), e.name.c_str());
        archive_entry_set_perm(entry.get(), static_cast<mode_t>(e.mode));
        archive_entry_set_mtime(entry.get(), 1700000000, 0);
        switch (e.kind) {
            case ArchiveEntry::Kind::kFile:
                archive_entry_set_filetype(entry.get(), AE_IFREG);
                archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.data.size()));
                break;
            case ArchiveEntry::Kind::kFolder:
                archive_entry_set_filetype(entry.get(), AE_IFDIR);
                break;
            case ArchiveEntry::Kind::kSymlink:
                archive_entry_set_filetype(entry.get(), AE_IFLNK);
                archive_entry_set_symlink_utf8(entry.get(), e.target.c_str());
                break;
            case ArchiveEntry::Kind::kHardlink:
                archive_entry_set_filetype(entry.get(), AE_IFREG);
                archive_entry_set_hardlink_utf8(entry.get(), e.target.c_str());
                break;
        }
        if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK) return false;
        if (e.kind == ArchiveEntry::Kind::kFile && !e.data.empty() &&
            archive_write_data(a.get(), e.data.data(), e.data.size()) !=
                static_cast<la_ssize_t>(e.data.size())) {
            return false;
        }
    }
    return archive_write_close(a.get()) == ARCHIVE_OK;
}

}  // namespace sevenza_test
