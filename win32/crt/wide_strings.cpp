// Wide string helpers of the Windows runtime, in its default "C" locale: only the
// letters A to Z have case.
#include <windows.h>

#include <limits.h>
#include <wchar.h>

namespace {

wchar_t lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

int _wtoi(const wchar_t* text) {
    if (!text) return 0;
    long v = wcstol(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    return _wcsnicmp(a, b, static_cast<size_t>(-1));
}

int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t count) {
    if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
    for (size_t i = 0; i < count; ++i) {
        wchar_t x = lower(a[i]), y = lower(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (!x) break;
    }
    return 0;
}
