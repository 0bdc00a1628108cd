// MultiByteToWideChar and WideCharToMultiByte.
//
// CP_ACP, CP_OEMCP and CP_THREAD_ACP are UTF-8, but they accept the flags and
// default-character arguments that callers pass for an ANSI code page, which the
// explicit CP_UTF8 rejects as Windows does.
#include "kernel32/iconv_codec.h"

#include <w32/error.h>
#include <w32/text.h>

#include <limits.h>
#include <string.h>
#include <wchar.h>

#include <string>

namespace {

enum class Page { Ansi, Utf8, Other };

Page page_of(UINT codepage) {
    switch (codepage) {
        case CP_ACP:
        case CP_OEMCP:
        case CP_THREAD_ACP:
            return Page::Ansi;
        case CP_UTF8:
            return Page::Utf8;
        default:
            return Page::Other;
    }
}

// Code pages whose flags follow the UTF-8 rules.
bool strict_flags(UINT codepage) { return codepage == CP_UTF8 || codepage == 54936; }

template <class Ch>
int deliver(const std::basic_string<Ch>& out, Ch* dst, int cap) {
    if (out.size() > static_cast<size_t>(INT_MAX)) {
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return 0;
    }
    const int size = static_cast<int>(out.size());
    if (cap == 0) return size;
    if (size > cap) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(dst, out.data(), out.size() * sizeof(Ch));
    return size;
}

// Joins surrogate pairs that arrive as two wide units, so iconv sees characters.
std::wstring join_surrogates(std::wstring_view in) {
    std::wstring out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        auto c = static_cast<uint32_t>(in[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size()) {
            auto d = static_cast<uint32_t>(in[i + 1]);
            if (d >= 0xDC00 && d <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                ++i;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

bool overlaps(const void* a, size_t a_size, const void* b, size_t b_size) {
    auto pa = reinterpret_cast<uintptr_t>(a);
    auto pb = reinterpret_cast<uintptr_t>(b);
    return pa < pb + b_size && pb < pa + a_size;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t len =
        cbMultiByte == -1 ? strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (cchWideChar > 0 && overlaps(lpMultiByteStr, len, lpWideCharStr,
                                    static_cast<size_t>(cchWideChar) * sizeof(wchar_t))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }

    const bool fail_on_invalid = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
    if (strict_flags(CodePage)) {
        if (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
    } else if ((dwFlags & ~static_cast<DWORD>(MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS |
                                              MB_ERR_INVALID_CHARS)) ||
               ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }

    std::string_view in(lpMultiByteStr, len);
    std::wstring out;
    bool invalid = false;
    if (page_of(CodePage) != Page::Other) {
        invalid = !w32::decode_utf8(in, out);
    } else if (!w32::iconv_to_wide(CodePage, in, fail_on_invalid, out, &invalid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (invalid && fail_on_invalid) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return deliver(out, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t len =
        cchWideChar == -1 ? wcslen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
    if (cbMultiByte > 0 && overlaps(lpWideCharStr, len * sizeof(wchar_t), lpMultiByteStr,
                                    static_cast<size_t>(cbMultiByte))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }

    const bool fail_on_invalid = (dwFlags & WC_ERR_INVALID_CHARS) != 0;
    const DWORD known = WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_ERR_INVALID_CHARS |
                        WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS;
    if (strict_flags(CodePage)) {
        if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        if (lpDefaultChar || lpUsedDefaultChar) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
    } else if ((dwFlags & ~known) || (fail_on_invalid && page_of(CodePage) == Page::Other)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }

    std::wstring_view in(lpWideCharStr, len);
    std::string out;
    bool invalid = false;
    if (page_of(CodePage) != Page::Other) {
        invalid = !w32::encode_utf8(in, out);
        // UTF-8 spells every character, so an ANSI caller's default is never used.
        if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
    } else {
        std::string_view def = "?";
        if (lpDefaultChar && *lpDefaultChar) {
            // A double-byte default is a lead byte and its trail byte.
            const bool lead =
                static_cast<unsigned char>(lpDefaultChar[0]) >= 0x80 && lpDefaultChar[1];
            def = std::string_view(lpDefaultChar, lead ? 2 : 1);
        }
        bool used = false;
        if (!w32::iconv_from_wide(CodePage, join_surrogates(in), def, fail_on_invalid, out,
                                  &used)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        invalid = used;
        if (lpUsedDefaultChar) *lpUsedDefaultChar = used ? TRUE : FALSE;
    }
    if (invalid && fail_on_invalid) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return deliver(out, lpMultiByteStr, cbMultiByte);
}
