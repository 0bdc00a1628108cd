// A private folder under $TMPDIR (or /tmp) for one test, removed with everything
// in it when the test ends.
#pragma once

#include <string>

namespace testfs {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }          // Linux path
    std::string Sub(const std::string& relative) const;        // Linux path below it
    std::wstring Win(const std::string& relative = "") const;  // Windows path of Sub()

private:
    std::string path_;
};

std::string ReadFile(const std::string& linux_path);
bool WriteFile(const std::string& linux_path, const std::string& data);
bool Exists(const std::string& linux_path);
bool IsFolder(const std::string& linux_path);
// Names in a folder, sorted, without "." and "..".
std::string ListFolder(const std::string& linux_path);

}  // namespace testfs
