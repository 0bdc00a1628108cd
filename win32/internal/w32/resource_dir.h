// The resources of one module: the blobs of its resource section, indexed by
// type, name and language. Entries point into memory the owner keeps mapped.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace w32 {

// A resource type or name: an integer id, or text compared without regard to case.
struct ResName {
    bool is_string = false;
    uint32_t id = 0;
    std::wstring upper;  // when is_string

    // From an argument as Windows takes it: MAKEINTRESOURCE(id), "#123", or text.
    // False for a null pointer or empty text.
    static bool from_arg(LPCWSTR arg, ResName* out);
    bool operator==(const ResName& o) const {
        return is_string == o.is_string && (is_string ? upper == o.upper : id == o.id);
    }
};

struct ResourceEntry {
    ResName type;
    ResName name;
    WORD lang = 0;
    const uint8_t* data = nullptr;
    DWORD size = 0;
};

class ResourceDirectory {
public:
    // Indexes every blob in [base, base + size); false when the bytes are malformed.
    bool parse(const uint8_t* base, size_t size);

    // With no language: language-neutral first, then the default languages, then
    // any. With one: that language, then its primary language alone. Null with
    // the Windows error (type, name or language not found) in *error.
    const ResourceEntry* find(const ResName& type, const ResName& name, const WORD* lang,
                              DWORD* error) const;

    // The first name of a type in Windows' order (text names by their upper case,
    // then numbers, smallest first); false when the type has none.
    bool first_name(const ResName& type, ResName* out) const;

    bool owns(const ResourceEntry* e) const {
        return !entries_.empty() && e >= entries_.data() && e < entries_.data() + entries_.size();
    }

private:
    std::vector<ResourceEntry> entries_;
};

}  // namespace w32
