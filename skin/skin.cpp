#include "skin/skin.h"

#include <memory>
#include <vector>

#include "base/string_util.h"
#include "skin/skin_loader.h"
#include "skin/skin_manager.h"
#include "skin/skin_package.h"

namespace skin {

namespace {

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

bool WriteWholeFile(const std::wstring& path, const void* data, size_t size) {
    std::unique_ptr<void, HandleCloser> file(CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}

}  // namespace

bool LoadSkinPackage(const std::wstring& package_path) {
    std::string info;
    if (!ReadPackageEntry(package_path, "skin.info", info)) return false;
    return SkinLoader::Instance().LoadInfo(info);
}

bool InstallSkinPackage(const std::wstring& working_folder, const void* data, size_t size) {
    std::wstring folder = working_folder + L"skin";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    std::wstring package = folder + L"\\skin.sk";
    if (!WriteWholeFile(package, data, size)) return false;
    bool loaded = LoadSkinPackage(package);
    // The default font is set even from an unreadable skin, so text still measures.
    downloader::SkinManager::SetDefaultFont("normal_ft");
    return loaded;
}

bool InitSkinIn(const std::wstring& working_folder) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, L"SKIN.ZIP", L"ZIP");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        downloader::SkinManager::SetDefaultFont("normal_ft");
        return false;
    }
    return InstallSkinPackage(working_folder, data, SizeofResource(module, found));
}

}  // namespace skin

bool InitSkin() {
    // The configuration's working folder is not available yet; the current folder stands in.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    std::wstring folder(buffer.data(), n < buffer.size() ? n : 0);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return skin::InitSkinIn(folder);
}

std::wstring GetSkinWString(const std::wstring& key) {
    std::string value;
    if (!skin::SkinLoader::Instance().GetString(base::WideToUtf8(key), value)) return L"";
    return base::Utf8ToWide(value.c_str());
}

std::wstring GetDefaultWndCaption() { return GetSkinWString(L"default_wnd_caption"); }
