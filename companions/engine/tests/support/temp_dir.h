// A private folder under $TMPDIR (or /tmp), removed with everything in it.
#pragma once

#include <string>

namespace enginetest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string sub(const std::string& name) const;  // created on demand

private:
    std::string path_;
};

}  // namespace enginetest
