// A private temporary folder for one test, removed with everything in it, and a
// drive table (WIN32_DRIVES) whose drives are folders inside it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

class FileTestFolder {
public:
    const std::string& path() const { return dir_.path(); }

    // Makes <folder>/<name> and answers its Linux path.
    std::string make_dir(const std::string& name) const {
        std::string p = path() + "/" + name;
        std::filesystem::create_directories(p);
        return p;
    }

    // WIN32_DRIVES = spec, where "%" stands for this folder, until this object goes.
    void set_drives(std::string spec) {
        for (size_t pos; (pos = spec.find('%')) != std::string::npos;) spec.replace(pos, 1, path());
        drives_.reset();
        drives_.emplace("WIN32_DRIVES", spec);
    }

private:
    testing_support::TempDir dir_;
    std::optional<testing_support::ScopedEnv> drives_;
};
