// A private temporary folder for one test, removed with everything in it, and a
// drive table (WIN32_DRIVES) whose drives are folders inside it.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

class FileTestFolder {
public:
    FileTestFolder() {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/w32files.XXXXXX";
        path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~FileTestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    FileTestFolder(const FileTestFolder&) = delete;
    FileTestFolder& operator=(const FileTestFolder&) = delete;

    const std::string& path() const { return path_; }

    // Makes <folder>/<name> and answers its Linux path.
    std::string make_dir(const std::string& name) const {
        std::string p = path_ + "/" + name;
        std::filesystem::create_directories(p);
        return p;
    }

    // WIN32_DRIVES = spec, where "%" stands for this folder.
    void set_drives(std::string spec) const {
        for (size_t pos; (pos = spec.find('%')) != std::string::npos;) spec.replace(pos, 1, path_);
        setenv("WIN32_DRIVES", spec.c_str(), 1);
    }

private:
    std::string path_;
};
