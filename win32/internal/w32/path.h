// The drive table and the mapping between Windows and Linux paths.
//
// Default drives: C: is $HOME, Z: is /. WIN32_DRIVES replaces the table:
// "C=/home/u;D=/mnt/data:remote" (types: fixed, remote, removable, cdrom, ramdisk).
// The table is read again whenever the variable changes.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace w32 {

struct Drive {
    wchar_t letter;    // upper case
    std::string root;  // Linux folder, without a trailing '/' (the root is "/")
    UINT type;         // DRIVE_FIXED, DRIVE_REMOTE, ...
};

std::vector<Drive> drives();
bool find_drive(wchar_t letter, Drive* out);

// Windows path -> Linux path. Drive paths ("C:\x", "\\?\C:\x") are made absolute
// and normalised lexically ("a\..\b"); a rooted path ("\x") uses the current
// folder's drive; a relative path stays relative. "" when nothing maps it (a UNC
// share, a device, an unknown drive).
std::string to_unix(std::wstring_view win);

// Linux path (absolute or relative to the current folder) -> drive path.
std::wstring to_windows(const std::string& unix_path);

}  // namespace w32
