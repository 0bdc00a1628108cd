// The skin package: a zip (stored entries) on disk holding skin.info and the
// skin's images. Entries are read whole into memory.
#pragma once

#include <string>

namespace skin {

// The entry's bytes; false when the package cannot be opened or has no such entry.
bool ReadPackageEntry(const std::wstring& package_path, const std::string& entry_name,
                      std::string& out);

}  // namespace skin
