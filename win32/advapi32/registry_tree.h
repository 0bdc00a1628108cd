// The registry's in-memory tree of one root, and its text form on disk.
//
// Names compare without regard to case; keys keep the spelling they were created
// with. Subkeys enumerate in name order, values in the order they were first set.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace w32::reg {

using Path = std::vector<std::wstring>;

// As on Windows: a tree is at most 512 levels deep, and one call creates at most 32.
constexpr size_t kMaxDepth = 512;
constexpr size_t kMaxNewLevels = 32;

struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

struct Key {
    std::wstring name;
    uint64_t last_write = 0;  // FILETIME ticks
    std::vector<Value> values;
    std::map<std::wstring, std::unique_ptr<Key>> subkeys;  // by folded name

    Key* child(std::wstring_view name) const;
    Key* find(const Path& path) const;
    const Value* value(std::wstring_view name) const;
    // Sets or replaces a value, keeping the position of one it replaces.
    void set_value(Value v);
    bool erase_value(std::wstring_view name);
    // Creates the missing keys of path; *created tells whether the last one is new.
    Key* create(const Path& path, uint64_t now, bool* created);
    // A deep copy: the key, its values and its whole subtree.
    std::unique_ptr<Key> clone() const;
};

// Case folding for names: simple upper-casing over all of Unicode.
std::wstring fold(std::wstring_view name);
bool same_name(std::wstring_view a, std::wstring_view b);

uint64_t now_filetime();

std::string serialize(const Key& root);
// False when text is not a complete store (wrong header, a bad line, no end mark).
// Keys deeper than kMaxDepth are left out with their values.
bool parse(std::string_view text, Key* root);

}  // namespace w32::reg
