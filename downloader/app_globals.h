// The process-wide texts the client derives from its game key: the key itself, the
// instance name (the single-instance mutex and the hidden window class) and the user
// channel, each in a buffer of 100 wide characters; and the names built from them.
// The buffers are filled on the user-interface thread during the start; other
// threads only read them afterwards.
#pragma once

#include <windows.h>

#include <string>

// A bounded copy: at most 99 characters and the terminator; a longer text is cut.
void CopyToBuffer100(wchar_t* buffer, const wchar_t* source);

// String resource 202 of the module as the game key, and the instance name from it.
void InitAppGlobals(HINSTANCE instance);
// The configuration's user channel into its buffer.
void InitChannelGlobal();

std::wstring GetGameKey();
const wchar_t* GetGameKeyPtr();
// The game key followed by "DOWNLOADER_INSWND", in upper case.
const wchar_t* GetInstanceWndClassName();
const wchar_t* GetUserChannelPtr();
// The base of the daily log files' names.
std::wstring GetLogName();
// The game's display name, from the skin.
std::wstring GetGameTitle();
// The sub-folder of the download path that receives the download, from the skin.
std::wstring GetDownloadDirName();
