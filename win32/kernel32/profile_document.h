// An INI file as the profile calls see it. Lines are kept as they were read, line
// ends included, so a write changes only the lines it must and the file keeps its
// encoding; section and key names match without regard to case or the blanks
// around them, the first match wins. A line without "=" is no key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace w32 {

class ProfileDocument {
public:
    enum class Encoding { Ansi, Utf8Bom, Utf16Le, Utf16Be };

    // A new, empty ANSI file.
    ProfileDocument() = default;

    // False with the last error set when the file cannot be read (a missing file
    // gives ERROR_FILE_NOT_FOUND).
    static bool load(const std::string& path, ProfileDocument* out);
    // Replaces the file whole through a temporary file beside it; false with the
    // last error set.
    bool save(const std::string& path) const;

    // Every section header and every key line, as written, in file order.
    std::vector<std::wstring> sections() const;
    std::vector<std::wstring> keys(std::wstring_view section) const;
    // The value as written, blanks around it removed; nullopt when there is no such key.
    std::optional<std::wstring> value(std::wstring_view section, std::wstring_view key) const;

    // Each answers whether the document changed.
    bool set_value(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    bool delete_key(std::wstring_view section, std::wstring_view key);
    bool delete_section(std::wstring_view section);

    Encoding encoding() const { return encoding_; }

    // The file a write replaces: a symbolic link is followed, not replaced.
    static std::string write_target(const std::string& path);

private:
    struct Line {
        std::string raw;  // the bytes of the line in the file's encoding, no line end
        std::wstring text;
        std::string end;  // its line end as read; "" for a last line without one
    };

    // [begin, end) of the lines of the first section with that name, begin being
    // its header; nullopt when there is none.
    std::optional<std::pair<size_t, size_t>> find_section(std::wstring_view section) const;
    std::optional<size_t> find_key(std::pair<size_t, size_t> range, std::wstring_view key) const;
    Line make_line(std::wstring text) const;

    Encoding encoding_ = Encoding::Ansi;
    std::vector<Line> lines_;
};

}  // namespace w32
