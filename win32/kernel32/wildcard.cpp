#include <w32/wildcard.h>

#include <locale.h>
#include <wctype.h>

namespace w32 {
namespace {

locale_t unicode_locale() {
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return loc;
}

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

wchar_t fold_case(wchar_t c) {
    if (c < 0x80) return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    locale_t loc = unicode_locale();
    return loc ? static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), loc)) : c;
}

bool equal_no_case(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold_case(a[i]) != fold_case(b[i])) return false;
    }
    return true;
}

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
