// Path texts: the program's own path and folder, and splitting, joining and
// comparing Windows paths (backslash separated) as text.
#pragma once

#include <string>

namespace base {

// Full path of the running program, whatever its length.
std::wstring GetExePath();
// The program's folder, without a trailing backslash.
std::wstring GetExeDir();

// Up to and including the first backslash ("C:\"), or empty.
std::wstring GetRootPath(const std::wstring& path);
// C:\a\b\ and C:\a\b both give C:\a; a root stays itself.
std::wstring GetParentDir(const std::wstring& path);
// An existing folder unchanged; otherwise the text before the last backslash, with
// doubled backslashes made single and slashes made backslashes.
std::wstring GetFolderOfPath(const std::wstring& path);
std::wstring NormalizeSlashes(const std::wstring& path);
// "b" for C:\a\b\ (which must end in a separator); empty otherwise.
std::wstring GetLastFolderName(const std::wstring& path);
// Appends a backslash to a non-empty path that lacks one; always true.
bool AddBackslash(std::wstring& path);
// Same file name, root and folder names, ignoring the case of A-Z.
bool IsSamePath(const std::wstring& a, const std::wstring& b);

}  // namespace base
