// CRegistry: one open registry key with BOOL-answering operations over the wide registry
// functions. Every operation answers FALSE at once when no key is held or a name it needs
// is null. Open and Create replace the held key without closing it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CRegistry {
public:
    explicit CRegistry(HKEY key = nullptr) : key_(key) {}
    virtual ~CRegistry() { Close(); }
    // Owns the key it opened: copies would close it twice.
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    void Close();

    BOOL Open(LPCWSTR sub_key, REGSAM access);
    BOOL Create(LPCWSTR sub_key, REGSAM access);

    // The value's text up to its first terminator or the end of its data, whichever comes
    // first; a value stored without a terminator is read whole. Out is left alone on failure.
    BOOL ReadString(LPCWSTR value_name, std::wstring& out);
    // Four bytes of the value whatever its type; out is left alone on failure.
    BOOL ReadDword(LPCWSTR value_name, DWORD& out);
    BOOL WriteDword(LPCWSTR value_name, DWORD value);
    // REG_SZ with every character of the text and its terminator.
    BOOL WriteString(LPCWSTR value_name, LPCWSTR text);
    BOOL DeleteValue(LPCWSTR value_name);
    // Deletes parent\sub_key; the held key only has to be present.
    BOOL DeleteKey(HKEY parent, LPCWSTR sub_key);
    // Writes the held key's subtree to a new file; FALSE when the file exists.
    BOOL SaveKey(LPCWSTR file);
    // Replaces the held key's values and subkeys with those of a file SaveKey wrote.
    BOOL RestoreKey(LPCWSTR file);
    // Appends the held key's subkey names in index order, until enumeration fails.
    void EnumSubkeys(std::vector<std::wstring>& names);

    HKEY GetKey() const { return key_; }
    // Replaces the held key; the old one is not closed.
    void SetKey(HKEY key) { key_ = key; }

private:
    HKEY key_;
};
