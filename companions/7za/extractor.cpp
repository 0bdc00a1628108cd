#include "extractor.h"

#include <archive.h>
#include <archive_entry.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "entry_path.h"
#include "unique_fd.h"

namespace sevenza {
namespace {

struct ArchiveFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

std::string errno_text(int error) { return std::strerror(error); }

std::string archive_text(archive* a) {
    const char* text = archive_error_string(a);
    return text ? text : "unknown archive error";
}

// Opens, creating where missing, the folders `parts` below `root`. A component
// that is a file or a symbolic link stops the walk.
UniqueFd open_folders(int root, const std::vector<std::string>& parts, size_t count,
                      std::string* why) {
    UniqueFd current(::dup(root));
    if (!current) {
        *why = errno_text(errno);
        return UniqueFd();
    }
    for (size_t i = 0; i < count; ++i) {
        const char* part = parts[i].c_str();
        if (::mkdirat(current.get(), part, 0777) != 0 && errno != EEXIST) {
            *why = "cannot create folder " + parts[i] + ": " + errno_text(errno);
            return UniqueFd();
        }
        int fd = ::openat(current.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            int error = errno;
            *why = (error == ENOTDIR || error == ELOOP)
                       ? "a file or link named " + parts[i] + " is in the way"
                       : "cannot open folder " + parts[i] + ": " + errno_text(error);
            return UniqueFd();
        }
        current.reset(fd);
    }
    return current;
}

// A fresh temporary file in `folder`, named so that it cannot be an entry's name
// already used by this archive run and is easy to recognise when left by a crash.
UniqueFd create_temporary(int folder, std::string* name, std::string* why) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, 0) != sizeof random) continue;
        char text[32];
        std::snprintf(text, sizeof text, ".7za-%02x%02x%02x%02x%02x%02x.tmp", random[0], random[1],
                      random[2], random[3], random[4], random[5]);
        int fd = ::openat(folder, text, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            *name = text;
            return UniqueFd(fd);
        }
        if (errno != EEXIST) {
            *why = "cannot create a temporary file: " + errno_text(errno);
            return UniqueFd();
        }
    }
    *why = "cannot create a temporary file";
    return UniqueFd();
}

bool write_all(int fd, const char* data, size_t size, int64_t offset) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

enum class WriteOutcome { kWritten, kSkipped, kFailed };

class FileWriter {
public:
    // budget: the bytes the run may still write; what this entry writes comes off it.
    FileWriter(archive* a, archive_entry* entry, mode_t umask_bits, uint64_t* budget)
        : a_(a), entry_(entry), umask_(umask_bits), budget_(budget) {}

    WriteOutcome Write(int folder, const std::string& name, Overwrite overwrite, std::string* why) {
        struct stat st;
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(st.st_mode)) {
                *why = "a folder of that name is in the way";
                return WriteOutcome::kFailed;
            }
            if (overwrite == Overwrite::kSkip) return WriteOutcome::kSkipped;
            if (overwrite == Overwrite::kAsk) {
                *why = "the file exists (-aoa replaces it, -aos keeps it)";
                return WriteOutcome::kFailed;
            }
        }
        std::string temporary;
        UniqueFd fd = create_temporary(folder, &temporary, why);
        if (!fd) return WriteOutcome::kFailed;
        bool ok = CopyData(fd.get(), why) && Finish(fd.get(), why);
        if (ok && ::close(fd.release()) != 0) {
            *why = "cannot write: " + errno_text(errno);
            ok = false;
        }
        // The rename swaps the name only: whoever has the old file open or mapped
        // keeps reading the old bytes.
        if (ok && ::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) {
            *why = "cannot replace the file: " + errno_text(errno);
            ok = false;
        }
        if (!ok) ::unlinkat(folder, temporary.c_str(), 0);
        return ok ? WriteOutcome::kWritten : WriteOutcome::kFailed;
    }

private:
    bool CopyData(int fd, std::string* why) {
        const bool sized = archive_entry_size_is_set(entry_);
        const int64_t declared = sized ? archive_entry_size(entry_) : -1;
        if (sized && static_cast<uint64_t>(declared) > *budget_) {
            *why = "the archive expands beyond the output bound";
            return false;
        }
        int64_t end = 0;
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            int r = archive_read_data_block(a_, &block, &size, &offset);
            if (r == ARCHIVE_EOF) break;
            // A warning here is a CRC or size that does not match: the data is damaged.
            if (r != ARCHIVE_OK) {
                *why = "data error: " + archive_text(a_);
                return false;
            }
            const int64_t block_end = offset + static_cast<int64_t>(size);
            if (offset < 0 || (sized && block_end > declared)) {
                *why = "data error: more data than the entry's size";
                return false;
            }
            if (static_cast<uint64_t>(block_end) > *budget_) {
                *why = "the archive expands beyond the output bound";
                return false;
            }
            if (!write_all(fd, static_cast<const char*>(block), size, offset)) {
                *why = "cannot write: " + errno_text(errno);
                return false;
            }
            end = std::max<int64_t>(end, block_end);
        }
        if (sized && end < declared) {
            // Only a sparse entry may end in a hole; anything else is data missing.
            if (archive_entry_sparse_count(entry_) == 0) {
                *why = "data error: less data than the entry's size";
                return false;
            }
            if (::ftruncate(fd, declared) != 0) {
                *why = "cannot write: " + errno_text(errno);
                return false;
            }
            end = declared;
        }
        *budget_ -= static_cast<uint64_t>(end);
        return true;
    }

    bool Finish(int fd, std::string* why) {
        mode_t mode = archive_entry_perm(entry_) & 0777;
        if (mode == 0) mode = 0666;
        mode = (mode | 0600) & ~umask_;
        if (::fchmod(fd, mode) != 0) {
            *why = "cannot set the file's mode: " + errno_text(errno);
            return false;
        }
        if (archive_entry_mtime_is_set(entry_)) {
            struct timespec times[2];
            times[0].tv_sec = 0;
            times[0].tv_nsec = UTIME_NOW;
            times[1].tv_sec = archive_entry_mtime(entry_);
            times[1].tv_nsec = archive_entry_mtime_nsec(entry_);
            ::futimens(fd, times);  // a file system without times is no failure
        }
        if (::fsync(fd) != 0) {
            *why = "cannot write: " + errno_text(errno);
            return false;
        }
        return true;
    }

    archive* a_;
    archive_entry* entry_;
    mode_t umask_;
    uint64_t* budget_;
};

// What libarchive also "reads" that is no archive: an empty input, a text taken for
// a file list, raw data.
bool is_archive_format(int format) {
    const int base = format & ARCHIVE_FORMAT_BASE_MASK;
    return base != ARCHIVE_FORMAT_EMPTY && base != ARCHIVE_FORMAT_MTREE &&
           base != ARCHIVE_FORMAT_RAW;
}

mode_t current_umask() {
    mode_t bits = ::umask(0);
    ::umask(bits);
    return bits;
}

}  // namespace

Extractor::Extractor(std::string output_folder, Overwrite overwrite, Reporter report_error,
                     uint64_t max_output)
    : output_folder_(std::move(output_folder)),
      overwrite_(overwrite),
      report_error_(std::move(report_error)),
      max_output_(max_output) {}

ExtractResult Extractor::Extract(const std::string& archive_path) {
    ExtractResult result;
    ArchivePtr a(archive_read_new());
    if (!a) {
        report_error_(archive_path, "out of memory");
        return result;
    }
    archive_read_support_format_all(a.get());
    archive_read_support_filter_all(a.get());
    if (archive_read_open_filename(a.get(), archive_path.c_str(), 1 << 16) != ARCHIVE_OK) {
        report_error_(archive_path, "cannot open the file as an archive: " + archive_text(a.get()));
        return result;
    }
    UniqueFd root(::open(output_folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) {
        report_error_(output_folder_, "cannot open the output folder: " + errno_text(errno));
        return result;
    }
    const mode_t umask_bits = current_umask();
    uint64_t budget = max_output_;

    for (bool first = true;; first = false) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(a.get(), &entry);
        if (first) {
            if (!is_archive_format(archive_format(a.get()))) {
                report_error_(archive_path, "cannot open the file as an archive");
                return result;
            }
            result.opened = true;
        }
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) {
            report_error_(archive_path, "damaged archive: " + archive_text(a.get()));
            ++result.errors;
            if (r == ARCHIVE_FATAL) break;
            continue;
        }
        const char* raw = archive_entry_pathname_utf8(entry);
        if (!raw) raw = archive_entry_pathname(entry);
        if (!raw) {
            report_error_("?", "refused: the entry's name is in an unknown character set");
            ++result.errors;
            continue;
        }
        std::string name = raw;

        std::vector<std::string> parts;
        std::string why;
        if (!split_entry_path(name, &parts, &why)) {
            report_error_(name, "refused: " + why);
            ++result.errors;
            continue;
        }
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || type == AE_IFLNK) {
            report_error_(name, "refused: links are not extracted");
            ++result.errors;
            continue;
        }
        if (type == AE_IFDIR) {
            if (open_folders(root.get(), parts, parts.size(), &why)) {
                ++result.folders;
            } else {
                report_error_(name, why);
                ++result.errors;
            }
            continue;
        }
        if (type != AE_IFREG) {
            report_error_(name, "refused: not a file or a folder");
            ++result.errors;
            continue;
        }
        UniqueFd folder = open_folders(root.get(), parts, parts.size() - 1, &why);
        if (!folder) {
            report_error_(name, why);
            ++result.errors;
            continue;
        }
        FileWriter writer(a.get(), entry, umask_bits, &budget);
        switch (writer.Write(folder.get(), parts.back(), overwrite_, &why)) {
            case WriteOutcome::kWritten:
                ++result.files;
                break;
            case WriteOutcome::kSkipped:
                ++result.skipped;
                break;
            case WriteOutcome::kFailed:
                report_error_(name, why);
                ++result.errors;
                break;
        }
    }
    return result;
}

}  // namespace sevenza
