// Path text editing with Windows' rules: only '\' separates, roots are kept, and a
// combined path is canonicalised ("." and ".." resolved, never above the root).
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// The root a path starts with: "X:\", "X:", "\\server\share\", "\" or nothing.
size_t root_length(std::wstring_view p) {
    if (p.size() >= 2 && p[1] == L':') return p.size() >= 3 && p[2] == L'\\' ? 3 : 2;
    if (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\') {
        size_t server_end = p.find(L'\\', 2);
        if (server_end == std::wstring_view::npos) return p.size();
        size_t share_end = p.find(L'\\', server_end + 1);
        return share_end == std::wstring_view::npos ? p.size() : share_end + 1;
    }
    return !p.empty() && p[0] == L'\\' ? 1 : 0;
}

std::wstring canonicalize(std::wstring_view p) {
    size_t root_len = root_length(p);
    std::wstring out(p.substr(0, root_len));
    std::wstring_view rest = p.substr(root_len);
    const bool trailing = !rest.empty() && rest.back() == L'\\';
    std::vector<std::wstring_view> parts;
    while (!rest.empty()) {
        size_t sep = rest.find(L'\\');
        std::wstring_view part = rest.substr(0, sep);
        if (part == L"..") {
            if (!parts.empty() && parts.back() != L"..") {
                parts.pop_back();
            } else if (root_len == 0) {
                parts.push_back(part);  // a relative path may still climb
            }
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        if (sep == std::wstring_view::npos) break;
        rest.remove_prefix(sep + 1);
    }
    if (!parts.empty() && root_len > 0 && out.back() != L'\\' && out.back() != L':') out += L'\\';
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += L'\\';
        out += parts[i];
    }
    if (trailing && !parts.empty()) out += L'\\';
    if (out.empty()) out = L"\\";
    return out;
}

bool fully_qualified(std::wstring_view p) {
    return (p.size() >= 2 && p[1] == L':') || (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\');
}

}  // namespace

LPWSTR WINAPI PathCombineW(LPWSTR dest, LPCWSTR dir, LPCWSTR file) {
    if (!dest) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!dir && !file) {
        dest[0] = L'\0';
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::wstring_view d = dir ? dir : L"";
    std::wstring_view f = file ? file : L"";
    std::wstring combined;
    if (!f.empty() && fully_qualified(f)) {
        combined = f;
    } else if (!f.empty() && f[0] == L'\\') {
        // A rooted file goes on the root of the folder's drive.
        std::wstring root(d.substr(0, root_length(d)));
        if (!root.empty() && root.back() != L'\\') root += L'\\';
        combined = root.empty() ? std::wstring(f) : root + std::wstring(f.substr(1));
    } else {
        combined = d;
        if (!f.empty()) {
            if (!combined.empty() && combined.back() != L'\\') combined += L'\\';
            combined += f;
        }
    }
    std::wstring result = canonicalize(combined);
    if (result.size() >= MAX_PATH) {
        dest[0] = L'\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    result.copy(dest, result.size());
    dest[result.size()] = L'\0';
    return dest;
}

LPWSTR WINAPI PathAddBackslashW(LPWSTR path) {
    if (!path) return nullptr;
    size_t len = std::wstring_view(path).size();
    if (len >= MAX_PATH) return nullptr;
    if (len > 0 && path[len - 1] != L'\\') {
        if (len + 1 >= MAX_PATH) return nullptr;
        path[len++] = L'\\';
        path[len] = L'\0';
    }
    return path + len;
}

BOOL WINAPI PathRemoveFileSpecW(LPWSTR path) {
    if (!path) return FALSE;
    std::wstring_view p(path);
    if (p.empty()) return FALSE;
    // The root of a drive or share stays: "C:\" "\" "\\".
    size_t keep;
    if (p.size() >= 2 && p[1] == L':') {
        keep = p.size() >= 3 && p[2] == L'\\' ? 3 : 2;
    } else if (p.size() >= 2 && p[0] == L'\\' && p[1] == L'\\') {
        keep = 2;
    } else {
        keep = p[0] == L'\\' ? 1 : 0;
    }
    size_t last = p.rfind(L'\\');
    size_t cut = (last == std::wstring_view::npos || last < keep) ? keep : last;
    if (cut >= p.size()) return FALSE;
    path[cut] = L'\0';
    return TRUE;
}
