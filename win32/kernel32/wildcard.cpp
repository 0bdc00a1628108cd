#include <w32/wildcard.h>

#include "kernel32/case_fold.h"

namespace w32 {
namespace {

bool glob(std::wstring_view p, std::wstring_view s) {
    size_t pi = 0, si = 0;
    size_t star = std::wstring_view::npos, star_si = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == L'*') {
            star = pi++;
            star_si = si;
        } else if (pi < p.size() && (p[pi] == L'?' || fold_case(p[pi]) == fold_case(s[si]))) {
            ++pi;
            ++si;
        } else if (star != std::wstring_view::npos) {
            pi = star + 1;
            si = ++star_si;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == L'*') ++pi;
    return pi == p.size();
}

}  // namespace

bool has_wildcards(std::wstring_view pattern) {
    return pattern.find_first_of(L"*?") != std::wstring_view::npos;
}

bool wildcard_match(std::wstring_view pattern, std::wstring_view name) {
    if (pattern == L"*.*") return true;
    const bool has_dot = name.find(L'.') != std::wstring_view::npos;
    if (pattern.size() > 2 && pattern.substr(pattern.size() - 2) == L".*") {
        if (glob(pattern, name)) return true;
        return !has_dot && glob(pattern.substr(0, pattern.size() - 2), name);
    }
    if (pattern.size() > 1 && pattern.back() == L'.' && pattern != L"..") {
        return !has_dot && glob(pattern.substr(0, pattern.size() - 1), name);
    }
    return glob(pattern, name);
}

}  // namespace w32
