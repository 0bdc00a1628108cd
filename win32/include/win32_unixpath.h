// The one bridge from Windows paths to Linux paths, for code that hands a path to
// something outside the layer (libc fopen, minizip, zlib, libarchive).
#pragma once

#include <string>

// "Z:\tmp\a.txt" -> "/tmp/a.txt"; drive paths go through the drive table
// (C: = home, Z: = root, or WIN32_DRIVES), relative paths stay relative with '/'.
// Answers "" for a path no drive maps (a UNC share, an unknown drive).
std::string Win32PathToUnix(const wchar_t* path);
std::string Win32PathToUnixA(const char* path);  // the path in the ANSI code page (UTF-8)

// "/tmp/a.txt" -> L"Z:\tmp\a.txt", through the drive whose folder holds it most closely.
std::wstring UnixPathToWin32(const std::string& path);
