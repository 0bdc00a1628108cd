// Case folding for names that Windows matches without regard to case (profile
// sections and keys, lstrcmpi): every Unicode letter, not only A to Z.
#pragma once

#include <string_view>

namespace w32 {

wchar_t fold_case(wchar_t c);
bool equal_no_case(std::wstring_view a, std::wstring_view b);

}  // namespace w32
