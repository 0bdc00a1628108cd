// Conversions for the code pages that are not UTF-8 (936 GBK, 54936 GB18030, and
// whatever else iconv knows as "CP<n>"), through iconv.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace w32 {

// Undecodable bytes become U+FFFD; with stop_on_invalid the conversion stops at the
// first one instead. *invalid tells whether there was any. False when iconv does
// not know the code page.
bool iconv_to_wide(UINT codepage, std::string_view in, bool stop_on_invalid, std::wstring& out,
                   bool* invalid);

// Characters the code page lacks become default_char (and *used_default is set);
// with stop_on_invalid the conversion stops at the first one instead.
bool iconv_from_wide(UINT codepage, std::wstring_view in, std::string_view default_char,
                     bool stop_on_invalid, std::string& out, bool* used_default);

}  // namespace w32
