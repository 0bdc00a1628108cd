#include "kernel32/case_fold.h"

#include <locale.h>
#include <wctype.h>

namespace w32 {

namespace {

// The process's own locale is the program's business; the tables of C.UTF-8
// cover all of Unicode whatever it is.
locale_t unicode_ctype() {
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

wchar_t fold_case(wchar_t c) {
    if (c < 0x80) return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    locale_t loc = unicode_ctype();
    return loc ? static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), loc)) : c;
}

bool equal_no_case(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && fold_case(a[i]) != fold_case(b[i])) return false;
    }
    return true;
}

}  // namespace w32
