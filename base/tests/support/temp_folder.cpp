#include "support/temp_folder.h"

#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include <win32_unixpath.h>

namespace testfs {
namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
    remove(path);
    return 0;
}

}  // namespace

TempFolder::TempFolder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/base-test-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() {
    if (!path_.empty()) nftw(path_.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TempFolder::Sub(const std::string& relative) const {
    return relative.empty() ? path_ : path_ + "/" + relative;
}

std::wstring TempFolder::Win(const std::string& relative) const {
    std::wstring out = UnixPathToWin32(path_);
    if (!relative.empty()) {
        out += L'\\';
        for (char c : relative) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    }
    return out;
}

std::string ReadFile(const std::string& linux_path) {
    std::ifstream in(linux_path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteFile(const std::string& linux_path, const std::string& data) {
    std::ofstream out(linux_path, std::ios::binary | std::ios::trunc);
    out << data;
    return static_cast<bool>(out);
}

bool Exists(const std::string& linux_path) {
    struct stat st;
    return lstat(linux_path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& linux_path) {
    struct stat st;
    return stat(linux_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ListFolder(const std::string& linux_path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(linux_path.c_str())) {
        while (dirent* e = readdir(dir)) {
            std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

}  // namespace testfs
