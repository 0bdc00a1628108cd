// In-memory inflate and gzip file unpacking over zlib. Nothing in the program
// calls these yet; they sit beside the zip extraction for the data it may meet.
#pragma once

#include <windows.h>

namespace base {

// Inflates a zlib stream, or with gzip set a zlib or gzip stream (the header is
// detected), into *output, which is null or a malloc'd block and is grown with
// realloc; the caller frees *output (also after a failure) and *output_length
// says how much is valid. Answers Z_OK, Z_DATA_ERROR when the stream does not
// end, or zlib's error.
int InflateBuffer(const unsigned char* input, unsigned long length, unsigned char** output,
                  unsigned long* output_length, bool gzip);

// InflateBuffer with header detection, then the result written to the file at its
// position. Z_ERRNO when the write fails.
int InflateToFile(const unsigned char* input, unsigned long length, HANDLE file);
// The same followed by four zero bytes.
int InflateToFileWithTerminator(const unsigned char* input, unsigned long length, HANDLE file);

// Unpacks a gzip file into the target (replaced). False when either cannot be
// opened, zlib finds the data damaged or a write fails. zlib may take a file
// cut short for a whole one.
bool GunzipFile(const wchar_t* gzip_path, const wchar_t* target_path);

}  // namespace base
