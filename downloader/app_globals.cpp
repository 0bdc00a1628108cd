#include "downloader/app_globals.h"

#include <wchar.h>

#include "base/string_util.h"
#include "downloader/config_manager.h"
#include "skin/skin.h"

namespace {

constexpr size_t kBufferChars = 100;

wchar_t g_game_key[kBufferChars];
wchar_t g_instance_name[kBufferChars];
wchar_t g_user_channel[kBufferChars];

}  // namespace

void CopyToBuffer100(wchar_t* buffer, const wchar_t* source) {
    if (buffer == nullptr) return;
    size_t n = source ? wcsnlen(source, kBufferChars - 1) : 0;
    wmemcpy(buffer, source ? source : L"", n);
    buffer[n] = L'\0';
}

void InitAppGlobals(HINSTANCE instance) {
    wchar_t key[kBufferChars] = {};
    LoadStringW(instance, 202, key, static_cast<int>(kBufferChars));
    CopyToBuffer100(g_game_key, key);
    const std::wstring name = base::ToUpper(std::wstring(g_game_key) + L"DOWNLOADER_INSWND");
    CopyToBuffer100(g_instance_name, name.c_str());
}

void InitChannelGlobal() {
    CopyToBuffer100(g_user_channel, GetConfigManager()->GetUserChannel().c_str());
}

std::wstring GetGameKey() { return g_game_key; }

const wchar_t* GetGameKeyPtr() { return g_game_key; }

const wchar_t* GetInstanceWndClassName() { return g_instance_name; }

const wchar_t* GetUserChannelPtr() { return g_user_channel; }

std::wstring GetLogName() { return GetGameKey() + L"_downloader_log"; }

std::wstring GetGameTitle() { return GetDefaultWndCaption(); }

std::wstring GetDownloadDirName() { return GetSkinWString(L"download_dir_name"); }
