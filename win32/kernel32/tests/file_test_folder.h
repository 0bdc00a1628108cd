// A test's own folder with a drive table (WIN32_DRIVES) of folders inside it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

class FileTestFolder : public testing_support::TempDir {
public:
    // Makes <folder>/<name> and answers its Linux path.
    std::string make_dir(const std::string& name) const {
        std::filesystem::create_directories(file(name));
        return file(name);
    }
    // WIN32_DRIVES = spec, where "%" stands for this folder, until this object goes.
    void set_drives(std::string spec) {
        for (size_t pos; (pos = spec.find('%')) != std::string::npos;) spec.replace(pos, 1, path());
        drives_.reset();
        drives_ = std::make_unique<testing_support::ScopedEnv>("WIN32_DRIVES", spec);
    }

private:
    std::unique_ptr<testing_support::ScopedEnv> drives_;
};
