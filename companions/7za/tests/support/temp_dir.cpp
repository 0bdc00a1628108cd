#include "support/temp_dir.h"

#include <stdlib.h>
#include <win32_unixpath.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace sevenza_test {

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/sevenza-XXXXXX";
    if (mkdtemp(tmpl.data())) path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::wstring TempDir::win(const std::string& name) const {
    return UnixPathToWin32(name.empty() ? path_ : file(name));
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

}  // namespace sevenza_test
