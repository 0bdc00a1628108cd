// Keys as the registry functions see them: a root and a path, reached through an
// HKEY. HKEY_CLASSES_ROOT is a merged view of the user's and the machine's
// Software\Classes: reads look at the user's first; a write goes to the user's
// when the key (for a new key: its deepest existing ancestor) is there, else to
// the machine's.
#pragma once

#include "registry_tree.h"

namespace w32::reg {

enum class Root { Machine, User, Classes };

struct KeyRef {
    Root root = Root::Machine;
    Path path;
    REGSAM access = 0;
};

// The key behind key: a predefined root (all access) or an opened key.
// ERROR_INVALID_HANDLE otherwise.
LSTATUS resolve(HKEY key, KeyRef* out);
HKEY new_key_handle(KeyRef ref);
bool is_predefined(HKEY key);
bool close_key_handle(HKEY key);

// KEY_READ, KEY_WRITE, ... for the generic rights and MAXIMUM_ALLOWED.
REGSAM normalize_access(REGSAM desired);
// "a\b\c" (a trailing '\' is allowed); ERROR_BAD_PATHNAME for a leading '\' or
// an empty part, ERROR_INVALID_PARAMETER for a part over 255 characters.
LSTATUS split_path(const wchar_t* sub_key, Path* out);

// Reads answer ERROR_KEY_DELETED when the key itself is gone.
LSTATUS key_exists(const KeyRef& ref);  // ERROR_SUCCESS or ERROR_FILE_NOT_FOUND
LSTATUS query_value(const KeyRef& ref, std::wstring_view name, Value* out);
LSTATUS value_at(const KeyRef& ref, DWORD index, Value* out);
LSTATUS subkey_at(const KeyRef& ref, DWORD index, std::wstring* name, uint64_t* last_write);

LSTATUS create_key(const KeyRef& parent, const Path& sub, bool* created);
LSTATUS set_value(const KeyRef& ref, Value value);
LSTATUS delete_value(const KeyRef& ref, std::wstring_view name);
// sub empty: the key itself. ERROR_ACCESS_DENIED for a root or a key with subkeys.
LSTATUS delete_key(const KeyRef& parent, const Path& sub);

// A copy of the key and its whole subtree as reads see it: in the merged view the
// user's values and keys over the machine's.
LSTATUS copy_subtree(const KeyRef& ref, std::unique_ptr<Key>* out);
// Replaces the key's values and subkeys with tree's in one write of one store (in
// the merged view: the store a write to the key goes to). The key keeps its name.
LSTATUS replace_subtree(const KeyRef& ref, Key tree);

}  // namespace w32::reg
