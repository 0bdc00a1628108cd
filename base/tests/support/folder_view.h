// Test-side views of a temporary folder: Windows paths of nested names, and what
// a folder holds.
#pragma once

#include <string>

#include "testing/temp_dir.h"

namespace testing_support {

// The drive path of a name below the folder; "/" in the name becomes "\".
std::wstring WinPath(const TempDir& dir, const std::string& relative);
bool IsFolder(const std::string& path);
// Names in a folder, sorted and separated by blanks, without "." and "..".
std::string ListFolder(const std::string& path);

}  // namespace testing_support
