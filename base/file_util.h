// Files and folders through the Windows file functions: existence and write
// tests, creating and deleting folder trees, and copies that retry or replace a
// locked destination. Failures are results; the copying functions also log.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace base {

bool IsExistingFile(const std::wstring& path);  // exists and is not a folder
bool PathExists(const wchar_t* path);           // one trailing backslash ignored
// Creates and deletes "SM_testdir.dat" in the folder to prove it can be written.
bool CanWriteFolder(const wchar_t* folder);
// Creates the folder with its parents; 0 usable, 1 not a folder, 2 not writable.
int CheckFolder(const wchar_t* folder);
bool IsUsableFolder(const std::wstring& folder);
// Whether another holder keeps the file from being renamed (tried by moving it to
// "<path>.tmp" and back).
bool IsFileInUse(const std::wstring& path);
int64_t GetFileSize64(const std::wstring& path);  // -1 when it cannot be opened
// Up to 129 bytes from the file's start, up to the first zero byte.
std::string ReadFileHead(const std::wstring& path);

// Creates the folder and its missing parents. A name without a backslash that
// does not exist answers true without creating anything.
bool EnsureDirectory(const wchar_t* path);
// Deletes a folder tree. A symbolic link to a folder (the folder itself or an
// entry inside) is removed as a link; what it points at is left alone.
bool DeleteDirectory(const wchar_t* folder);
// keep false: deletes the folder. keep true: empties it except the files named in
// keep_names (case of A-Z ignored).
void ClearFolder(const std::wstring& folder, bool keep,
                 const std::vector<std::wstring>& keep_names);

// Copies a tree; folders whose names start with "." and links to folders are not
// copied. With overwrite, files are replaced through DeepCopyFile; without, existing
// ones are kept.
bool CopyFolder(const std::wstring& source, const std::wstring& destination, bool overwrite,
                bool stop_on_failure);
// Replaces the destination even when it is read-only or cannot be deleted (then
// it is moved aside to "<destination>.tmp").
bool DeepCopyFile(const std::wstring& source, const std::wstring& destination);
// CopyFileW with overwriting, up to four attempts one second apart.
bool CopyPathFile(const std::wstring& source, const std::wstring& destination);

}  // namespace base
