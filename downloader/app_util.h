// Small functions the managers and windows of the client share: byte-size texts,
// resources written to files, the program's version, the default browser, the
// machine identifier of the reports, the download-drive check and opening the
// download folder. No state of their own.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>

// "999B", "1.0KB", ... "1000.0TB": the unit changes at 1000 of the current one, each
// unit is 1024 of the one before.
std::wstring FormatByteSize(int64_t bytes);
// "<downloaded>/<total>", each as FormatByteSize gives it.
std::wstring FormatSizeProgress(int64_t downloaded, int64_t total);

// The bytes of a resource of the program's module, in a buffer the caller frees with
// free(). 0 on success, E_POINTER for a null argument, 1 when a step fails.
HRESULT LoadResourceBytes(const wchar_t* name, const wchar_t* type, BYTE** buffer, DWORD* size);
// Writes the resource to the file, replacing it. True only when every byte reached the
// file and it closed cleanly; a file left half-written is deleted.
bool ExtractResourceToFile(const wchar_t* name, const wchar_t* type, const std::wstring& path);

// The program's own file version, "a.b.c.d" ("0.0.0.0" without one).
std::wstring GetOwnFileVersion();

// The executable of the user's default browser, or empty.
std::wstring GetDefaultBrowserPath();
std::wstring GetIEPath();
// Starts the default browser with the address, without the program's elevation. Only
// http and https addresses are opened, always as one quoted argument.
void OpenUrlInDefaultBrowser(const std::wstring& url);
void OpenUrl(const std::wstring& url);
void OpenUrlWithShell(const std::wstring& url);

// The machine identifier of the reports: 32 lower-case hexadecimal characters.
std::wstring GetMachineId();

// Whether the download folder can take a new download of that many bytes: room for it
// and 10 MiB more, a local folder, writable. Each refusal shows one message box.
bool CheckDownloadDisk(uint64_t size);
// Opens the download folder (its game sub-folder when that exists) in the file manager.
void OpenDownloadFolder();

HINSTANCE CallShellExecute(HWND window, const wchar_t* verb, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t* directory, int show);
