// An archive entry's name as folder components below the output folder. Names
// that would land anywhere else are refused, not repaired.
#pragma once

#include <string>
#include <vector>

namespace sevenza {

// Splits at '/' and '\' (neither can be part of a Windows file name) and drops
// "." and empty components. Refuses (false, with the reason) absolute names,
// drive or stream names (any ':'), ".." components, and names that come to nothing.
bool split_entry_path(const std::string& name, std::vector<std::string>* components,
                      std::string* reason);

}  // namespace sevenza
