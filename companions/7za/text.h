// UTF-8 for the messages and the names libarchive gives, through the layer's codec.
#pragma once

#include <string>

namespace sevenza {

std::string to_utf8(const std::wstring& text);

}  // namespace sevenza
