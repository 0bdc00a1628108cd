#include "registry_view.h"

#include "registry_store.h"

#include <w32/object.h>

#include <algorithm>
#include <iterator>
#include <set>

namespace w32::reg {
namespace {

class KeyObject : public Object {
public:
    explicit KeyObject(KeyRef ref) : ref(std::move(ref)) {}
    Kind kind() const override { return Kind::Other; }
    const KeyRef ref;
};

// Where a key of a root lives: a store and a path in it.
struct Location {
    Store* store;
    Path path;
};

Path concat(const Path& a, const Path& b) {
    Path out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// The places to read, in order of precedence.
std::vector<Location> locations(Root root, const Path& path) {
    switch (root) {
        case Root::Machine:
            return {{&Store::machine(), path}};
        case Root::User:
            return {{&Store::user(), path}};
        case Root::Classes: {
            Path classes{L"Software", L"Classes"};
            return {{&Store::user(), concat(classes, path)},
                    {&Store::machine(), concat(classes, path)}};
        }
    }
    return {};
}

// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, or a store failure.
LSTATUS exists_at(const Location& loc) {
    return loc.store->read([&](const Key& root) -> LSTATUS {
        return root.find(loc.path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

// The one place a write to ref goes.
LSTATUS write_location(const KeyRef& ref, Location* out) {
    auto locs = locations(ref.root, ref.path);
    if (locs.size() > 1) {
        LSTATUS s = exists_at(locs[0]);
        if (s == ERROR_SUCCESS) {
            *out = locs[0];
            return ERROR_SUCCESS;
        }
        if (s != ERROR_FILE_NOT_FOUND) return s;
        locs.erase(locs.begin());
    }
    *out = locs[0];
    return ERROR_SUCCESS;
}

// Adds what below has and top lacks: values after top's own, subkeys recursively.
void underlay(Key& top, const Key& below) {
    for (auto& v : below.values)
        if (!top.value(v.name)) top.values.push_back(v);
    for (auto& [folded, sub] : below.subkeys) {
        auto it = top.subkeys.find(folded);
        if (it == top.subkeys.end()) {
            top.subkeys.emplace(folded, sub->clone());
        } else {
            underlay(*it->second, *sub);
        }
    }
}

// A key that no place holds any more; the roots always exist.
LSTATUS gone(const KeyRef& ref) { return ref.path.empty() ? ERROR_SUCCESS : ERROR_KEY_DELETED; }

}  // namespace

LSTATUS resolve(HKEY key, KeyRef* out) {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT) {
        out->root = key == HKEY_LOCAL_MACHINE  ? Root::Machine
                    : key == HKEY_CURRENT_USER ? Root::User
                                               : Root::Classes;
        out->path.clear();
        out->access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    if (is_predefined(key)) return ERROR_INVALID_HANDLE;
    auto obj = std::dynamic_pointer_cast<KeyObject>(get_object(reinterpret_cast<HANDLE>(key)));
    if (!obj) return ERROR_INVALID_HANDLE;
    *out = obj->ref;
    return ERROR_SUCCESS;
}

bool is_predefined(HKEY key) {
    auto v = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
    return v >= 0xFFFFFFFF80000000ull && v <= 0xFFFFFFFF800000FFull;
}

HKEY new_key_handle(KeyRef ref) {
    return reinterpret_cast<HKEY>(new_handle(std::make_shared<KeyObject>(std::move(ref))));
}

bool close_key_handle(HKEY key) {
    auto obj = std::dynamic_pointer_cast<KeyObject>(get_object(reinterpret_cast<HANDLE>(key)));
    return obj && close_handle(reinterpret_cast<HANDLE>(key));
}

REGSAM normalize_access(REGSAM desired) {
    REGSAM out = desired & ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (out & (GENERIC_ALL | MAXIMUM_ALLOWED)) out |= KEY_ALL_ACCESS;
    if (out & GENERIC_READ) out |= KEY_READ;
    if (out & GENERIC_WRITE) out |= KEY_WRITE;
    if (out & GENERIC_EXECUTE) out |= KEY_EXECUTE;
    return out & KEY_ALL_ACCESS;
}

LSTATUS split_path(const wchar_t* sub_key, Path* out) {
    out->clear();
    if (!sub_key) return ERROR_SUCCESS;
    std::wstring_view s(sub_key);
    if (!s.empty() && s.front() == L'\\') return ERROR_BAD_PATHNAME;
    size_t i = 0;
    while (i < s.size()) {
        size_t j = s.find(L'\\', i);
        if (j == std::wstring_view::npos) j = s.size();
        if (j == i) return ERROR_BAD_PATHNAME;
        if (j - i > 255) return ERROR_INVALID_PARAMETER;
        out->emplace_back(s.substr(i, j - i));
        i = j + 1;
    }
    return ERROR_SUCCESS;
}

LSTATUS key_exists(const KeyRef& ref) {
    if (ref.path.empty()) return ERROR_SUCCESS;
    for (auto& loc : locations(ref.root, ref.path)) {
        LSTATUS s = exists_at(loc);
        if (s != ERROR_FILE_NOT_FOUND) return s;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS query_value(const KeyRef& ref, std::wstring_view name, Value* out) {
    bool any_key = false;
    for (auto& loc : locations(ref.root, ref.path)) {
        LSTATUS s = loc.store->read([&](const Key& root) -> LSTATUS {
            const Key* k = root.find(loc.path);
            if (!k) return ERROR_FILE_NOT_FOUND;
            any_key = true;
            const Value* v = k->value(name);
            if (!v) return ERROR_FILE_NOT_FOUND;
            *out = *v;
            return ERROR_SUCCESS;
        });
        if (s != ERROR_FILE_NOT_FOUND) return s;
    }
    if (any_key) return ERROR_FILE_NOT_FOUND;
    return ref.path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
}

// The values of the first place come first and are all distinct: an index among
// them is answered directly, so a key's values enumerate at the same cost per call
// however many there are. Later places (the merged classes view) skip the names of
// the places before them.
LSTATUS value_at(const KeyRef& ref, DWORD index, Value* out) {
    const auto locs = locations(ref.root, ref.path);
    std::set<std::wstring> earlier;  // folded names of the places already passed
    bool any_key = false, found = false;
    size_t left = index;
    for (size_t i = 0; i < locs.size() && !found; ++i) {
        const Location& loc = locs[i];
        LSTATUS s = loc.store->read([&](const Key& root) -> LSTATUS {
            const Key* k = root.find(loc.path);
            if (!k) return ERROR_SUCCESS;
            any_key = true;
            if (earlier.empty()) {
                if (left < k->values.size()) {
                    *out = k->values[left];
                    found = true;
                    return ERROR_SUCCESS;
                }
                left -= k->values.size();
            } else {
                for (auto& v : k->values) {
                    if (earlier.count(fold(v.name))) continue;
                    if (left == 0) {
                        *out = v;
                        found = true;
                        return ERROR_SUCCESS;
                    }
                    --left;
                }
            }
            if (i + 1 < locs.size())
                for (auto& v : k->values) earlier.insert(fold(v.name));
            return ERROR_SUCCESS;
        });
        if (s != ERROR_SUCCESS) return s;
    }
    if (found) return ERROR_SUCCESS;
    if (!any_key && gone(ref) != ERROR_SUCCESS) return ERROR_KEY_DELETED;
    return ERROR_NO_MORE_ITEMS;
}

LSTATUS subkey_at(const KeyRef& ref, DWORD index, std::wstring* name, uint64_t* last_write) {
    struct Entry {
        std::wstring name;
        uint64_t last_write;
    };
    std::map<std::wstring, Entry> merged;  // by folded name, the first place's spelling
    bool any_key = false;
    for (auto& loc : locations(ref.root, ref.path)) {
        LSTATUS s = loc.store->read([&](const Key& root) -> LSTATUS {
            const Key* k = root.find(loc.path);
            if (!k) return ERROR_SUCCESS;
            any_key = true;
            for (auto& [folded, sub] : k->subkeys)
                merged.emplace(folded, Entry{sub->name, sub->last_write});
            return ERROR_SUCCESS;
        });
        if (s != ERROR_SUCCESS) return s;
    }
    if (!any_key && gone(ref) != ERROR_SUCCESS) return ERROR_KEY_DELETED;
    if (index >= merged.size()) return ERROR_NO_MORE_ITEMS;
    auto it = merged.begin();
    std::advance(it, index);
    *name = it->second.name;
    *last_write = it->second.last_write;
    return ERROR_SUCCESS;
}

LSTATUS create_key(const KeyRef& parent, const Path& sub, bool* created) {
    const Path full = concat(parent.path, sub);
    const bool classes_root = parent.root == Root::Classes && parent.path.empty();
    auto locs = locations(parent.root, full);
    Location loc = locs[0];
    if (parent.root == Root::Classes) {
        // The key, else its deepest existing ancestor, decides: the user's copy
        // when it is there, else the machine's.
        loc = locs[1];
        for (size_t depth = full.size(); depth > 0; --depth) {
            const Path prefix(full.begin(), full.begin() + static_cast<long>(depth));
            auto at = locations(Root::Classes, prefix);
            LSTATUS user = exists_at(at[0]);
            if (user != ERROR_SUCCESS && user != ERROR_FILE_NOT_FOUND) return user;
            if (user == ERROR_SUCCESS) {
                loc = locs[0];
                break;
            }
            LSTATUS machine = exists_at(at[1]);
            if (machine != ERROR_SUCCESS && machine != ERROR_FILE_NOT_FOUND) return machine;
            if (machine == ERROR_SUCCESS) break;
        }
    }
    const Path parent_path(loc.path.begin(), loc.path.end() - static_cast<long>(sub.size()));
    const bool parent_elsewhere = parent.root == Root::Classes && !classes_root;
    if (parent_elsewhere && key_exists(parent) != ERROR_SUCCESS) return ERROR_KEY_DELETED;
    if (loc.path.size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
    return loc.store->write([&](Key& root, bool& changed) -> LSTATUS {
        // In the merged view the parent may live in the other store.
        if (parent.root != Root::Classes && !root.find(parent_path)) return ERROR_KEY_DELETED;
        if (root.find(loc.path)) {
            *created = false;
            return ERROR_SUCCESS;
        }
        size_t existing = 0;
        for (const Key* k = &root; existing < loc.path.size(); ++existing)
            if (!(k = k->child(loc.path[existing]))) break;
        if (loc.path.size() - existing > kMaxNewLevels) return ERROR_INVALID_PARAMETER;
        root.create(loc.path, now_filetime(), created);
        changed = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS set_value(const KeyRef& ref, Value value) {
    Location loc;
    LSTATUS s = write_location(ref, &loc);
    if (s != ERROR_SUCCESS) return s;
    bool classes_root = ref.root == Root::Classes && ref.path.empty();
    if (ref.root == Root::Classes && !classes_root && key_exists(ref) != ERROR_SUCCESS)
        return ERROR_KEY_DELETED;
    return loc.store->write([&](Key& root, bool& changed) -> LSTATUS {
        Key* k =
            classes_root ? root.create(loc.path, now_filetime(), nullptr) : root.find(loc.path);
        if (!k) return ERROR_KEY_DELETED;
        k->set_value(std::move(value));
        k->last_write = now_filetime();
        changed = true;
        return ERROR_SUCCESS;
    });
}

LSTATUS delete_value(const KeyRef& ref, std::wstring_view name) {
    for (auto& loc : locations(ref.root, ref.path)) {
        LSTATUS s = loc.store->write([&](Key& root, bool& changed) -> LSTATUS {
            Key* k = root.find(loc.path);
            if (!k || !k->erase_value(name)) return ERROR_FILE_NOT_FOUND;
            k->last_write = now_filetime();
            changed = true;
            return ERROR_SUCCESS;
        });
        if (s != ERROR_FILE_NOT_FOUND) return s;
    }
    LSTATUS e = key_exists(ref);
    return e == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED
           : e == ERROR_SUCCESS      ? ERROR_FILE_NOT_FOUND
                                     : e;
}

LSTATUS delete_key(const KeyRef& parent, const Path& sub) {
    Path full = concat(parent.path, sub);
    if (full.empty()) return ERROR_ACCESS_DENIED;
    for (auto& loc : locations(parent.root, full)) {
        LSTATUS s = loc.store->write([&](Key& root, bool& changed) -> LSTATUS {
            Path up(loc.path.begin(), loc.path.end() - 1);
            Key* p = root.find(up);
            Key* k = p ? p->child(loc.path.back()) : nullptr;
            if (!k) return ERROR_FILE_NOT_FOUND;
            if (!k->subkeys.empty()) return ERROR_ACCESS_DENIED;
            p->subkeys.erase(fold(loc.path.back()));
            p->last_write = now_filetime();
            changed = true;
            return ERROR_SUCCESS;
        });
        if (s != ERROR_FILE_NOT_FOUND) return s;
    }
    return ERROR_FILE_NOT_FOUND;
}

LSTATUS copy_subtree(const KeyRef& ref, std::unique_ptr<Key>* out) {
    std::unique_ptr<Key> merged;
    for (auto& loc : locations(ref.root, ref.path)) {
        LSTATUS s = loc.store->read([&](const Key& root) -> LSTATUS {
            const Key* k = root.find(loc.path);
            if (!k) return ERROR_SUCCESS;
            if (merged) {
                underlay(*merged, *k);
            } else {
                merged = k->clone();
            }
            return ERROR_SUCCESS;
        });
        if (s != ERROR_SUCCESS) return s;
    }
    if (!merged) {
        if (gone(ref) != ERROR_SUCCESS) return ERROR_KEY_DELETED;
        merged = std::make_unique<Key>();  // a merged root neither store holds yet
    }
    *out = std::move(merged);
    return ERROR_SUCCESS;
}

LSTATUS replace_subtree(const KeyRef& ref, Key tree) {
    Location loc;
    LSTATUS s = write_location(ref, &loc);
    if (s != ERROR_SUCCESS) return s;
    const bool classes_root = ref.root == Root::Classes && ref.path.empty();
    if (ref.root == Root::Classes && !classes_root && key_exists(ref) != ERROR_SUCCESS)
        return ERROR_KEY_DELETED;
    return loc.store->write([&](Key& root, bool& changed) -> LSTATUS {
        const uint64_t now = now_filetime();
        Key* k = classes_root ? root.create(loc.path, now, nullptr) : root.find(loc.path);
        if (!k) return ERROR_KEY_DELETED;
        k->values = std::move(tree.values);
        k->subkeys = std::move(tree.subkeys);
        k->last_write = now;
        changed = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace w32::reg
