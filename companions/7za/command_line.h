// The tool's command line: split as the archiver splits its own (a quote toggles
// quoting and is dropped, a backslash is a plain character), then read as a
// command, switches and an archive name.
#pragma once

#include <string>
#include <vector>

namespace sevenza {

// Words of a command line, the program's own name included.
std::vector<std::wstring> split_words(const std::wstring& line);

enum class Overwrite {
    kAsk,   // no -ao switch: an existing file is an error (nobody is there to ask)
    kAll,   // -aoa
    kSkip,  // -aos
};

struct Request {
    enum class Command { kNone, kExtract };
    Command command = Command::kNone;
    std::wstring archive;        // as given: a Windows path, absolute or relative
    std::wstring output_folder;  // -o; empty means the current folder
    Overwrite overwrite = Overwrite::kAsk;
};

// Reads the words after the program name; false with a message on a bad line.
bool parse_request(const std::vector<std::wstring>& words, Request* request, std::string* error);

}  // namespace sevenza
