// Writes a 7z or zip archive of given files at build time, the same bytes on
// every build of the same inputs: fixed times, and only the execute bit of a
// file's mode kept.
#pragma once

#include <string>
#include <vector>

namespace mkarchive {

struct Member {
    std::string name;  // name inside the archive, '/' between folders
    std::string path;  // file on disk
};

struct Options {
    std::string format = "7zip";  // "7zip" or "zip"
    bool store = false;           // no compression (the skin package is read in place)
    long long mtime = 1700000000;
};

// Writes `output` through a temporary file and a rename; false with a message.
bool build_archive(const std::string& output, const std::vector<Member>& members,
                   const Options& options, std::string* error);

// "name=path" or a plain path (named after its file name).
Member parse_member(const std::string& spec);

}  // namespace mkarchive
