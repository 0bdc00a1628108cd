#include "downloader/app_util.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <crtext.h>

#include "base/file_util.h"
#include "base/file_version.h"
#include "base/log.h"
#include "base/machine_id.h"
#include "base/path_util.h"
#include "base/registry.h"
#include "base/string_util.h"
#include "base/token_util.h"
#include "downloader/app_globals.h"
#include "downloader/config_manager.h"
#include "downloader/main_wnd_manager.h"

namespace {

constexpr int64_t kSpareBytes = 10 * 1024 * 1024;
constexpr size_t kCommandLineChars = 2047;

std::wstring FormatUnit(double value, const wchar_t* unit) {
    wchar_t text[64];
    swprintf(text, 64, L"%.1f%ls", value, unit);
    return text;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && base::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The folders of the path that do not exist yet, deepest first.
std::vector<std::wstring> MissingFolders(std::wstring folder) {
    std::vector<std::wstring> missing;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    while (!folder.empty() && !PathFileExistsW(folder.c_str())) {
        missing.push_back(folder);
        std::wstring parent = base::GetParentDir(folder);
        if (parent == folder) break;
        folder = parent;
    }
    return missing;
}

}  // namespace

std::wstring FormatByteSize(int64_t bytes) {
    if (bytes < 1000) return std::to_wstring(bytes) + L"B";
    double v = static_cast<double>(bytes) / 1024;
    if (v < 1000) return FormatUnit(v, L"KB");
    v /= 1024;
    if (v < 1000) return FormatUnit(v, L"MB");
    v /= 1024;
    if (v < 1000) return FormatUnit(v, L"GB");
    return FormatUnit(v / 1024, L"TB");
}

std::wstring FormatSizeProgress(int64_t downloaded, int64_t total) {
    return FormatByteSize(downloaded) + L"/" + FormatByteSize(total);
}

HRESULT LoadResourceBytes(const wchar_t* name, const wchar_t* type, BYTE** buffer, DWORD* size) {
    if (!name || !type || !buffer || !size) return E_POINTER;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, name, type);
    if (!found) return 1;
    const DWORD length = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return 1;
    BYTE* copy = static_cast<BYTE*>(malloc(length ? length : 1));
    if (!copy) return 1;
    memcpy(copy, data, length);
    *buffer = copy;
    *size = length;
    return 0;
}

bool ExtractResourceToFile(const wchar_t* name, const wchar_t* type, const std::wstring& path) {
    BYTE* bytes = nullptr;
    DWORD size = 0;
    if (LoadResourceBytes(name, type, &bytes, &size) != 0) return false;
    bool ok = false;
    if (FILE* file = _wfopen(path.c_str(), L"wb")) {
        ok = fwrite(bytes, 1, size, file) == size;
        ok = fclose(file) == 0 && ok;
        if (!ok) DeleteFileW(path.c_str());
    }
    free(bytes);
    return ok;
}

std::wstring GetOwnFileVersion() {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return base::GetFileVersionString(path);
}

std::wstring GetDefaultBrowserPath() {
    std::wstring progid;
    CRegistry choice(HKEY_CURRENT_USER);
    if (!choice.Open(L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\Ftp\\"
                     L"UserChoice",
                     KEY_READ) ||
        !choice.ReadString(L"Progid", progid)) {
        return L"";
    }
    std::wstring command;
    CRegistry classes(HKEY_CLASSES_ROOT);
    if (!classes.Open((progid + L"\\shell\\open\\command").c_str(), KEY_READ) ||
        !classes.ReadString(L"", command)) {
        return L"";
    }
    const size_t first = command.find(L'"');
    const size_t second = first == std::wstring::npos ? first : command.find(L'"', first + 1);
    if (second == std::wstring::npos) return L"";
    return command.substr(first + 1, second - first - 1);
}

std::wstring GetIEPath() {
    std::wstring path;
    CRegistry key(HKEY_LOCAL_MACHINE);
    if (!key.Open(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
                  KEY_READ) ||
        !key.ReadString(L"", path)) {
        return L"";
    }
    return path;
}

void OpenUrlInDefaultBrowser(const std::wstring& url) {
    // The address is one quoted argument that cannot close its quotes, and only web
    // addresses are taken, so no text can reach the browser as an option of its own.
    if (!StartsWithNoCase(url, L"http://") && !StartsWithNoCase(url, L"https://")) {
        LOG_ERROR << "拒绝打开非网页地址:" << url;
        return;
    }
    std::wstring safe_url = url;
    base::ReplaceAll(safe_url, L"\"", L"%22");
    std::wstring browser = GetDefaultBrowserPath();
    if (browser.empty()) browser = GetIEPath();
    if (browser.empty()) {
        // No browser registered (a desktop keeps its own choice): the shell's opener has it.
        LOG_MESSAGE << "open " << safe_url;
        CallShellExecute(nullptr, L"open", safe_url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return;
    }
    std::wstring command = L"\"" + browser + L"\" \"" + safe_url + L"\"";
    if (command.size() > kCommandLineChars) {
        LOG_ERROR << "打开网页命令行过长:" << url;
        return;
    }
    LOG_MESSAGE << command;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!base::CreateProcessByToken(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &process) &&
        !CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

void OpenUrl(const std::wstring& url) { OpenUrlInDefaultBrowser(url); }

void OpenUrlWithShell(const std::wstring& url) {
    // No browser automation object exists on this platform to fall back on.
    CallShellExecute(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring GetMachineId() {
    char mid[260] = {};
    base::ComputeMid2(mid, sizeof(mid) - 1);
    return base::AnsiToWide(mid);
}

bool CheckDownloadDisk(uint64_t size) {
    const std::wstring folder = GetConfigManager()->GetDownloadPath();
    const std::wstring root = base::GetRootPath(folder);
    ULARGE_INTEGER available = {}, total = {}, total_free = {};
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &total_free)) {
        GetMainWndManager()->MessageBox(L"获取磁盘信息失败", L"");
        return false;
    }
    const int64_t needed = static_cast<int64_t>(size) + kSpareBytes;
    const int64_t free_bytes = static_cast<int64_t>(available.QuadPart);
    LOG_MESSAGE << "下载盘剩余空间：" << free_bytes << "B";
    if (free_bytes < needed) {
        LOG_ERROR << "下载盘剩余空间不足，需要空间:" << needed << "B";
        GetMainWndManager()->MessageBox(L"下载盘剩余空间不足", L"");
        return false;
    }
    const std::vector<std::wstring> created = MissingFolders(folder);
    if (base::IsUsableFolder(folder)) {
        if (!PathIsUNCW(folder.c_str()) && !PathIsNetworkPathW(folder.c_str())) return true;
        LOG_ERROR << "下载盘为网络路径，install_path:" << folder;
        GetMainWndManager()->MessageBox(L"下载盘不能为网络路径", L"");
    } else {
        LOG_ERROR << "下载盘无读写权限，install_path:" << folder;
        GetMainWndManager()->MessageBox(L"下载盘无读写权限", L"");
    }
    // Only what the test itself created goes, and only while it is still empty:
    // whatever someone put there meanwhile stays.
    for (const std::wstring& made : created) {
        if (!RemoveDirectoryW(made.c_str())) break;
    }
    return false;
}

void OpenDownloadFolder() {
    std::wstring folder = GetConfigManager()->GetDownloadPath() + L"\\" + GetDownloadDirName();
    base::ReplaceAll(folder, L"\\\\", L"\\");
    if (!PathFileExistsW(folder.c_str())) folder = GetConfigManager()->GetDownloadPath();
    // Quoted, so a folder with blanks reaches the file manager as one argument.
    const std::wstring argument = L"\"" + folder + L"\"";
    ShellExecuteW(nullptr, nullptr, L"explorer", argument.c_str(), nullptr, SW_SHOWNORMAL);
}

HINSTANCE CallShellExecute(HWND window, const wchar_t* verb, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t* directory, int show) {
    return ShellExecuteW(window, verb, file, parameters, directory, show);
}
