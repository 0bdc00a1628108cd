// lstrcmp and lstrcmpi. Windows compares these linguistically, not by code: case
// is only a tie-breaker (lower before upper), and punctuation sorts before digits,
// digits before letters, and hyphens and apostrophes count only to break ties. This
// is that order for the characters programs compare
// (identifiers, hexadecimal texts, paths), not a full collation.
#include "kernel32/case_fold.h"

#include <w32/text.h>
#include <windows.h>

#include <string>
#include <utility>

namespace {

// Primary weight: the class, then the folded character within it.
std::pair<int, wchar_t> primary(wchar_t c) {
    wchar_t f = w32::fold_case(c);
    int cls;
    if (f >= L'0' && f <= L'9') {
        cls = 1;
    } else if ((f >= L'a' && f <= L'z') || f >= 0x80) {
        cls = 2;
    } else {
        cls = 0;
    }
    return {cls, f};
}

int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// The word sort passes over hyphens and apostrophes, so that "coop" and "co-op" sort
// together; they only break ties, the text with fewer of them first.
bool is_word_joiner(wchar_t c) { return c == L'-' || c == L'\''; }

std::wstring without_joiners(std::wstring_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (wchar_t c : s)
        if (!is_word_joiner(c)) out += c;
    return out;
}

int compare_letters(std::wstring_view a, std::wstring_view b, bool ignore_case) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto pa = primary(a[i]);
        auto pb = primary(b[i]);
        if (pa != pb) return pa < pb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    if (ignore_case) return 0;
    for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;
        // Same letter, different case: the lower-case one sorts first.
        const bool a_lower = w32::fold_case(a[i]) == a[i];
        const bool b_lower = w32::fold_case(b[i]) == b[i];
        if (a_lower != b_lower) return a_lower ? -1 : 1;
        return sign(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    }
    return 0;
}

int compare(std::wstring_view a, std::wstring_view b, bool ignore_case) {
    const std::wstring la = without_joiners(a), lb = without_joiners(b);
    if (int r = compare_letters(la, lb, ignore_case)) return r;
    if (la.size() == a.size() && lb.size() == b.size()) return 0;
    if (a.size() - la.size() != b.size() - lb.size())
        return a.size() - la.size() < b.size() - lb.size() ? -1 : 1;
    return sign(a.compare(b));
}

int compare_null(const void* a, const void* b) {
    if (!a && !b) return 0;
    return a ? 1 : -1;
}

std::wstring widen(LPCSTR s) {
    std::wstring out;
    w32::decode_utf8(s, out);
    return out;
}

}  // namespace

int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) return compare_null(lpString1, lpString2);
    return compare(lpString1, lpString2, false);
}

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) return compare_null(lpString1, lpString2);
    return compare(lpString1, lpString2, true);
}

// Narrow text is in the ANSI code page, UTF-8 here.
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    if (!lpString1 || !lpString2) return compare_null(lpString1, lpString2);
    return compare(widen(lpString1), widen(lpString2), false);
}

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    if (!lpString1 || !lpString2) return compare_null(lpString1, lpString2);
    return compare(widen(lpString1), widen(lpString2), true);
}
