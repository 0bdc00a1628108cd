// The resource manifest: a small text file listing what a module embeds.
// One entry a line; a line starting with '#' is a comment. Tokens are words or
// "quoted text" (escapes \n \r \t \0 \" \\). Text is UTF-8.
//
//   LANGUAGE <primary> <sub>            language of the entries that follow (default 0 0)
//   STRING <id> "text"                  string table entry
//   ICON <id> <file>                    icon group from an .ico or a .png file
//   VERSION FILEVERSION a.b.c.d         fixed file version (PRODUCTVERSION likewise)
//   VERSION TRANSLATION <lang> <cp>     the string table's language and code page
//   VERSION "Key" "value"               a StringFileInfo value
//   <type> <name> <file>                any other resource: type and name are
//                                       "quoted" strings, bare words or integer ids
//
// File paths are relative to the manifest's folder unless absolute.
#pragma once

#include <stdint.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rcpack {

struct ResId {
    bool is_string = false;
    uint32_t id = 0;
    std::string name;  // UTF-8, when is_string
};

struct FileResource {
    ResId type;
    ResId name;
    uint16_t lang = 0;
    std::string path;
    int line = 0;
};

struct StringEntry {
    uint32_t id = 0;
    uint16_t lang = 0;
    std::u32string text;
    int line = 0;
};

struct IconEntry {
    uint32_t id = 0;
    uint16_t lang = 0;
    std::string path;
    int line = 0;
};

struct VersionInfo {
    bool present = false;
    bool has_product = false;
    uint16_t lang = 0;  // language of the version resource itself
    uint16_t file[4] = {0, 0, 0, 0};
    uint16_t product[4] = {0, 0, 0, 0};
    uint16_t translation_lang = 0x0409;
    uint16_t translation_codepage = 1200;
    std::vector<std::pair<std::u32string, std::u32string>> strings;
};

struct Manifest {
    std::vector<FileResource> files;
    std::vector<StringEntry> strings;
    std::vector<IconEntry> icons;
    VersionInfo version;
};

// Parses text; relative file paths are joined to base_dir. On failure answers
// false with "line N: what" in *error.
bool ParseManifest(std::string_view text, const std::string& base_dir, Manifest* out,
                   std::string* error);

// UTF-8 to UTF-32; false on malformed input.
bool DecodeUtf8(std::string_view in, std::u32string* out);

}  // namespace rcpack
