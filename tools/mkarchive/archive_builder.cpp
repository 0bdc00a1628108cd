#include "archive_builder.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "stored_zip.h"

namespace mkarchive {
namespace {

struct WriterFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

std::string text_of(archive* a) {
    const char* text = archive_error_string(a);
    return text ? text : "unknown error";
}

bool read_whole(const std::string& path, std::string* data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool build_stored_zip(const std::string& temporary, const std::vector<Member>& members,
                      long long mtime, std::string* error) {
    std::vector<StoredFile> files;
    for (const auto& m : members) {
        StoredFile f;
        struct stat st;
        if (::stat(m.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            !read_whole(m.path, &f.data)) {
            *error = "cannot read " + m.path;
            return false;
        }
        f.name = m.name;
        f.executable = (st.st_mode & 0100) != 0;
        files.push_back(std::move(f));
    }
    std::string bytes;
    if (!make_stored_zip(files, mtime, &bytes, error)) return false;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        *error = "cannot write " + temporary;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool finish(const std::string& temporary, const std::string& output, std::string* error) {
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
        *error = "cannot rename " + temporary + " to " + output;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

Member parse_member(const std::string& spec) {
    size_t eq = spec.find('=');
    if (eq != std::string::npos && eq > 0) return {spec.substr(0, eq), spec.substr(eq + 1)};
    size_t slash = spec.find_last_of('/');
    return {slash == std::string::npos ? spec : spec.substr(slash + 1), spec};
}

bool build_archive(const std::string& output, const std::vector<Member>& members,
                   const Options& options, std::string* error) {
    // Names are UTF-8; libarchive converts them through the locale.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const std::string temporary = output + ".part";
    if (options.format == "zip" && options.store) {
        return build_stored_zip(temporary, members, options.mtime, error) &&
               finish(temporary, output, error);
    }
    std::unique_ptr<archive, WriterFree> a(archive_write_new());
    if (archive_write_set_format_by_name(a.get(), options.format.c_str()) != ARCHIVE_OK) {
        *error = "unknown format " + options.format + ": " + text_of(a.get());
        return false;
    }
    if (options.format == "zip") {
        if (archive_write_set_format_option(a.get(), "zip", "compression", "deflate") !=
            ARCHIVE_OK) {
            *error = text_of(a.get());
            return false;
        }
    } else if (options.store && archive_write_set_format_option(a.get(), "7zip", "compression",
                                                                "store") != ARCHIVE_OK) {
        *error = text_of(a.get());
        return false;
    }
    if (archive_write_open_filename(a.get(), temporary.c_str()) != ARCHIVE_OK) {
        *error = "cannot write " + temporary + ": " + text_of(a.get());
        return false;
    }
    for (const auto& m : members) {
        std::string data;
        struct stat st;
        if (::stat(m.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            !read_whole(m.path, &data)) {
            *error = "cannot read " + m.path;
            std::remove(temporary.c_str());
            return false;
        }
        std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), m.name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), (st.st_mode & 0100) ? 0755 : 0644);
        archive_entry_set_mtime(entry.get(), static_cast<time_t>(options.mtime), 0);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(data.size()));
        if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK ||
            (!data.empty() && archive_write_data(a.get(), data.data(), data.size()) !=
                                  static_cast<la_ssize_t>(data.size()))) {
            *error = "cannot add " + m.path + ": " + text_of(a.get());
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        *error = "cannot finish " + temporary + ": " + text_of(a.get());
        std::remove(temporary.c_str());
        return false;
    }
    return finish(temporary, output, error);
}

}  // namespace mkarchive
