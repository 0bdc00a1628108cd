// A private temporary folder for one test, removed with its contents at the end.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }  // Linux path
    std::wstring win() const;                          // the same as a drive path
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // The folder of that name (and those above it) made when missing; its Linux path.
    std::string folder(const std::string& name) const;
    std::wstring winfile(const std::string& name) const;  // win() + "\" + name

private:
    std::string path_;
};

// Whole file contents, or "" when it cannot be read.
std::string ReadAll(const std::string& path);
bool WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Names in a folder, sorted and separated by blanks.
std::string ListFolder(const std::string& path);

}  // namespace testing_support
