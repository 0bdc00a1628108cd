// The engine file shipped beside the library: one INI section per game key with
// the installer's download address, size, MD5 and file name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dravon {

struct GameEntry {
    std::string key;
    std::string url;
    uint64_t size = 0;
    std::string md5;   // 32 lower-case hex digits
    std::string file;  // a plain file name, no folders
};

enum class EngineFileError { kNone, kUnreadable, kUnknownGame, kMalformedEntry };

// Looks the key up in the file at `path`; the file is read on every call, so a
// replaced engine file takes effect at once.
std::optional<GameEntry> find_game(const std::string& path, const std::string& key,
                                   EngineFileError& error);

}  // namespace dravon
