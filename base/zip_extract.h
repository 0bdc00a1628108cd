// Unpacks a zip archive from disk into a folder, entry by entry, keeping the
// entries' folders and stored dates and overwriting what is there. The folder is
// a prefix: pass it with a trailing backslash. Entries whose names would leave
// the folder (a ".." component, a leading slash or backslash, a drive letter) and
// entries whose output path does not fit MAX_PATH are skipped, never written
// elsewhere or under a cut name. Reports go to standard output only.
#pragma once

#include <windows.h>

namespace base {

// The most an archive may expand to unless the caller says otherwise.
constexpr unsigned long long kZipMaxOutput = 256ull << 20;

// True when every entry was extracted. An entry is written beside its target and
// takes its name only when its size and CRC check out; a bad entry is removed and
// ends the walk. Links already in the destination are never followed: a folder of
// an entry must be a real folder, and a file replaces a link of its name. An archive
// whose entries declare more than max_output bytes in all writes nothing.
bool ExtractZip(const wchar_t* archive_path, const wchar_t* dest_folder,
                unsigned long long max_output = kZipMaxOutput);

// The same walk, posting (window, message, wparam, percent) after each entry whose
// percent differs from the last one posted, 100 at the end and -1 when the archive
// cannot be opened or walked or an entry fails.
bool ExtractZipWithProgress(HWND window, UINT message, const wchar_t* archive_path,
                            const wchar_t* dest_folder, WPARAM wparam);

// State of a progress message: 0 running, 1 done (100), 2 failed (-1).
enum { UNZIP_PROGRESS_RUNNING = 0, UNZIP_PROGRESS_DONE = 1, UNZIP_PROGRESS_FAILED = 2 };
void DecodeUnzipProgress(WPARAM wparam, LPARAM lparam, WPARAM* out_wparam, int* state,
                         int* percent);

// CreateDirectoryW that also counts an existing folder as success.
bool CreateDirectoryIfMissing(const wchar_t* path);
// Creates every folder before each "\" or "/" of the path; the part after the last
// separator is not created. True at once for a root, false beyond MAX_PATH.
bool CreateDirectoryChain(const wchar_t* path);
// Sets a file's creation and last-write time from a DOS date-time (date in the high
// 16 bits, local time); the last-access time stays.
bool SetFileDateFromDos(const char* path, DWORD dos_date_time);

// The walk over an open archive (an unzFile); an entry that fails ends it. Answers 0,
// or the error of the entry that failed.
int ExtractAllEntries(void* archive, int without_path, int overwrite, const char* password,
                      const char* folder);

}  // namespace base
