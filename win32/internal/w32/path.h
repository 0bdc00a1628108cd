// The drive table and the mapping between Windows and Linux paths.
//
// Default drives: C: is $HOME, Z: is /. WIN32_DRIVES replaces the table:
// "C=/home/u;D=/mnt/data:remote" (types: fixed, remote, removable, cdrom, ramdisk;
// a further ":ro" makes the drive refuse writes, as write-protected media do).
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
    bool read_only = false;
    int64_t free_bytes = -1;  // ":free=N" fixes the free space a test sees; -1: the real one
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

// The drive whose folder holds the Linux path most closely (false when none does).
bool drive_of(const std::string& unix_path, Drive* out);
// True when the path is the folder of some drive ("C:\").
bool is_drive_root(const std::string& unix_path);
// True when the path lies on a drive marked ":ro"; writes there fail with access denied.
bool write_protected(const std::string& unix_path);

}  // namespace w32
