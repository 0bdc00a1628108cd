// UTF-8 for the messages and the names libarchive gives; wide text is UTF-32 here.
#pragma once

#include <string>

namespace sevenza {

std::string to_utf8(const std::wstring& text);

}  // namespace sevenza
