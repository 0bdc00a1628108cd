// A folder of the test's own under $TMPDIR (or /tmp), removed at the end.
#pragma once

#include <string>

namespace sevenza_test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // The same as a drive path, as the client would write it.
    std::wstring win(const std::string& name = "") const;

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& data);

}  // namespace sevenza_test
